// In builds with asserts, a GL error stops the program at the checked call that raised it.
#include "platform/gpu/gl_check.h"

#include "support/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

#ifndef NDEBUG
TEST(GlCheckDeathTest, AGlErrorAbortsNamingTheCallAndTheError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            std::shared_ptr<Window> window = testing::testWindow();
            window->makeCurrent();
            GL_CHECK(glBindTexture(GL_RGBA, 0));
        },
        "GL error GL_INVALID_ENUM in glBindTexture\\(GL_RGBA, 0\\) at .*gl_check_test\\.cpp:");
}

TEST(GlCheck, ACallWithoutAnErrorGoesOn)
{
    std::shared_ptr<Window> window = testing::testWindow();
    window->makeCurrent();
    GLuint texture = 0;
    GL_CHECK(glGenTextures(1, &texture));
    GL_CHECK(glBindTexture(GL_TEXTURE_2D, texture));
    GL_CHECK(glDeleteTextures(1, &texture));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
#endif

} // namespace
} // namespace tincrates
