// In builds with asserts, a GL error stops the program at the checked call that raised it
// where the tests run; a viewer's run reports it and goes on.
#include "platform/gpu/gl_check.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tincrates {
namespace {

#ifndef NDEBUG
TEST(GlCheckDeathTest, AGlErrorAbortsNamingTheCallAndTheError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            setenv("TINCRATES_GL_ERRORS_FATAL", "1", 1);
            std::shared_ptr<Window> window = testing::testWindow();
            window->makeCurrent();
            GL_CHECK(glBindTexture(GL_RGBA, 0));
        },
        "GL error GL_INVALID_ENUM in glBindTexture\\(GL_RGBA, 0\\) at .*gl_check_test\\.cpp:");
}

TEST(GlCheckDeathTest, WithoutTheTestsSettingAGlErrorIsReportedAndTheRunGoesOn)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("TINCRATES_GL_ERRORS_FATAL");
            std::shared_ptr<Window> window = testing::testWindow();
            window->makeCurrent();
            GL_CHECK(glBindTexture(GL_RGBA, 0));
            std::_Exit(glGetError() == GL_NO_ERROR ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "GL error GL_INVALID_ENUM in glBindTexture");
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
