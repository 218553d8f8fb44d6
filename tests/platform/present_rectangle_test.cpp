#include "platform/gpu/gl_device.h"

#include <gtest/gtest.h>

namespace tincrates::gl {
namespace {

void expectRectangle(PresentRectangle r, int x, int y, int width, int height)
{
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, width);
    EXPECT_EQ(r.height, height);
}

TEST(PresentRectangle, KeepsThePicturesProportionsCentredInAnyWindow)
{
    expectRectangle(presentRectangle(640, 480, 640, 480), 0, 0, 640, 480);
    expectRectangle(presentRectangle(640, 480, 1920, 1080), 240, 0, 1440, 1080); // bars beside
    expectRectangle(presentRectangle(640, 480, 800, 1000), 0, 200, 800, 600);    // above, below
    expectRectangle(presentRectangle(640, 480, 1280, 1024), 0, 32, 1280, 960);
    expectRectangle(presentRectangle(640, 480, 1, 1), 0, 0, 1, 1);
    // A window not yet sized shows nothing rather than dividing by zero.
    expectRectangle(presentRectangle(640, 480, 0, 0), 0, 0, 0, 0);
}

} // namespace
} // namespace tincrates::gl
