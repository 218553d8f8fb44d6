#include "math/fit_rectangle.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

void expectRectangle(FittedRectangle r, int x, int y, int width, int height)
{
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, width);
    EXPECT_EQ(r.height, height);
}

TEST(FitRectangle, KeepsThePicturesProportionsCentredInAnyArea)
{
    expectRectangle(fitRectangle(640, 480, 640, 480), 0, 0, 640, 480);
    expectRectangle(fitRectangle(640, 480, 1920, 1080), 240, 0, 1440, 1080); // bars beside
    expectRectangle(fitRectangle(640, 480, 3840, 2160), 480, 0, 2880, 2160);
    expectRectangle(fitRectangle(640, 480, 800, 1000), 0, 200, 800, 600);    // above, below
    expectRectangle(fitRectangle(640, 480, 1280, 1024), 0, 32, 1280, 960);
    expectRectangle(fitRectangle(640, 480, 1, 1), 0, 0, 1, 1);
    // An area not yet sized shows nothing rather than dividing by zero.
    expectRectangle(fitRectangle(640, 480, 0, 0), 0, 0, 0, 0);
    expectRectangle(fitRectangle(0, 0, 100, 50), 0, 0, 100, 50);
}

} // namespace
} // namespace tincrates
