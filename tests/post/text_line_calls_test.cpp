// The device calls of a text line: one texture made for its life and nothing per frame, point
// sampling for its draw with the frame's filters put back, no draw without text, and clear
// errors for sizes and scales it cannot take.
#include "post/text_line.h"

#include "call_line.h"
#include "published_device.h"
#include "support/error_of.h"
#include "support/recording_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

class TextLineCalls : public ::testing::Test {
protected:
    // The calls that one frame's setText and draw make (the scene's own go to the device).
    std::vector<std::string> frame(TextLine& line, const std::string& text)
    {
        recorder.calls.clear();
        line.setText(text);
        device->BeginScene();
        line.draw(640, 480, 1);
        device->EndScene();
        return recorder.calls;
    }

    HeadlessDevice device{640, 480};
    RecordingDevice recorder{*device.get()};
    PublishedDevice published{&recorder};
};

TEST_F(TextLineCalls, MakesOneTextureForItsLifeAndNothingPerFrame)
{
    TextLine line(80, 2);
    EXPECT_EQ(recorder.callsNamed("CreateTexture"),
        std::vector<std::string>{
            callLine("CreateTexture", 481, 18, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)});
    for (const char* text : {"beat 1.00", "beat 1.00", "beat 1.25", "", "paused"})
        for (const std::string& call : frame(line, text))
            EXPECT_NE(call.rfind("Create", 0), 0u) << call;
}

TEST_F(TextLineCalls, DrawsWithPointSamplingAndPutsTheFramesFiltersBack)
{
    TextLine line(20, 1);
    line.setText("loop");
    // Not all linear, so that putting back is told apart from setting linear.
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    recorder.calls.clear();
    device->BeginScene();
    line.draw(1440, 1080, 2);
    device->EndScene();

    std::vector<std::string> filtersAndDraws;
    for (const std::string& call : recorder.calls)
        if (call.rfind("SetSamplerState 0 5 ", 0) == 0 || call.rfind("SetSamplerState 0 6 ", 0) == 0
            || call.rfind("SetSamplerState 0 7 ", 0) == 0 || call.rfind("DrawPrimitive", 0) == 0)
            filtersAndDraws.push_back(call); // the three filters (5 to 7) and the draw
    EXPECT_EQ(filtersAndDraws,
        (std::vector<std::string>{
            callLine("SetSamplerState", 0, D3DSAMP_MAGFILTER, D3DTEXF_POINT),
            callLine("SetSamplerState", 0, D3DSAMP_MINFILTER, D3DTEXF_POINT),
            callLine("SetSamplerState", 0, D3DSAMP_MIPFILTER, D3DTEXF_NONE),
            callLine("DrawPrimitive", D3DPT_TRIANGLEFAN, 0, 2),
            callLine("SetSamplerState", 0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR),
            callLine("SetSamplerState", 0, D3DSAMP_MINFILTER, D3DTEXF_POINT),
            callLine("SetSamplerState", 0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR),
        }));
    // Blended over the picture, and blending off again after, as every overlay leaves it.
    EXPECT_EQ(recorder.callsNamed(callLine("SetRenderState", D3DRS_SRCBLEND)),
        std::vector<std::string>{callLine("SetRenderState", D3DRS_SRCBLEND, D3DBLEND_SRCALPHA)});
    EXPECT_EQ(recorder.callsNamed(callLine("SetRenderState", D3DRS_DESTBLEND)),
        std::vector<std::string>{
            callLine("SetRenderState", D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA)});
    DWORD blending = TRUE;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    EXPECT_EQ(blending, DWORD(FALSE));
}

TEST_F(TextLineCalls, DrawsNothingWithoutText)
{
    TextLine line(20, 2);
    EXPECT_TRUE(recorder.callsNamed("DrawPrimitive").empty());
    EXPECT_EQ(frame(line, ""), std::vector<std::string>{}); // not a single device call
    frame(line, "x");
    EXPECT_EQ(recorder.callsNamed("DrawPrimitive").size(), 1u);
    // Lines with no characters show no box either.
    EXPECT_EQ(frame(line, "\n"), std::vector<std::string>{});
}

TEST_F(TextLineCalls, RefusesSizesAndScalesItCannotTake)
{
    const std::string tooBig = "a text line holds 1 to 341 columns and 1 to 227 rows";
    EXPECT_EQ(errorOf([] { TextLine line(0, 1); }), tooBig);
    EXPECT_EQ(errorOf([] { TextLine line(1, 0); }), tooBig);
    EXPECT_EQ(errorOf([] { TextLine line(342, 1); }), tooBig);
    EXPECT_EQ(errorOf([] { TextLine line(1, 228); }), tooBig);
    EXPECT_EQ(errorOf([] { TextLine line(-5, -5); }), tooBig);
    EXPECT_EQ(errorOf([] { TextLine line(341, 227); }), "");

    TextLine line(10, 1);
    line.setText("x");
    EXPECT_EQ(errorOf([&] { line.draw(640, 480, 0); }), "text scale must be at least 1");
    EXPECT_EQ(errorOf([&] { line.draw(0, 480, 1); }), "text target has no pixels");
    EXPECT_EQ(errorOf([&] { line.draw(640, 0, 1); }), "text target has no pixels");

    publishSharedDevice(nullptr);
    EXPECT_EQ(errorOf([] { TextLine orphan(10, 1); }), "no graphics device");
}

TEST(TextLineScale, GrowsInWholeStepsOf480Lines)
{
    EXPECT_EQ(TextLine::scaleFor(480), 1);
    EXPECT_EQ(TextLine::scaleFor(768), 1);
    EXPECT_EQ(TextLine::scaleFor(959), 1);
    EXPECT_EQ(TextLine::scaleFor(1080), 2);
    EXPECT_EQ(TextLine::scaleFor(1440), 3);
    EXPECT_EQ(TextLine::scaleFor(2160), 4);
    // Below 480 lines the letters keep one pixel per texel rather than vanish.
    EXPECT_EQ(TextLine::scaleFor(200), 1);
    EXPECT_EQ(TextLine::scaleFor(0), 1);
}

} // namespace
} // namespace tincrates
