// Sound output through the browser's Web Audio. Built only for WebAssembly (emscripten).
#pragma once

#include "platform/sound/audio_output.h"

#include <cstdint>

namespace tincrates {

// Plays on the page's AudioContext (Module.audioContext), which the page makes and resumes
// when the person watching clicks: browsers start no sound without such a gesture. The
// whole sound is copied into one AudioBuffer at setSound and played by the browser's audio
// thread; the position is that of the sample being heard, from the context's output
// timestamp, so the picture follows what the ears get. Main thread only.
class WebAudioOutput final : public AudioOutput {
public:
    // Throws "no Web Audio context on the page" when the page made none.
    WebAudioOutput();
    ~WebAudioOutput() override;
    WebAudioOutput(const WebAudioOutput&) = delete;
    WebAudioOutput& operator=(const WebAudioOutput&) = delete;

    void setSound(std::span<const uint8_t> pcm) override;
    void play() override;
    void pause() override;
    void seek(uint64_t byteOffset) override;
    uint64_t position() const override;

private:
    // Plays (when playing) from sample frame `frame` on, with a new source node.
    void startFrom(uint64_t frame);

    int output = 0; // the output's number in the page's table of outputs
    bool isPlaying = false;
};

} // namespace tincrates
