// Web Audio: one AudioBufferSourceNode per start; positions from the context's clock.
#include "platform/sound/web_audio_output.h"

#include <emscripten.h>

#include <string>

namespace tincrates {

namespace {

// The outputs live in Module.webAudioOutputs, keyed by number. Each remembers where in the
// sound it started (startSeconds) and when, in the context's time (startContextTime).
EM_JS(int, webAudioCreate, (), {
    const context = Module['audioContext'];
    if (!context)
        return 0;
    if (!Module.webAudioOutputs)
        Module.webAudioOutputs = {next : 1, table : {}};
    const number = Module.webAudioOutputs.next++;
    Module.webAudioOutputs.table[number] = {
        context : context,
        buffer : null,
        source : null,
        startSeconds : 0,
        startContextTime : 0,
        lastFrame : 0,
    };
    return number;
});

EM_JS(void, webAudioStopSource, (int number), {
    const output = Module.webAudioOutputs.table[number];
    if (output.source) {
        output.source.onended = null;
        output.source.stop();
        output.source.disconnect();
        output.source = null;
    }
});

// The context time of the sample that is sounding now: the output timestamp maps a moment of
// the page's clock to the context time then heard; the time since then is added. Without a
// timestamp, the context's render time less its latencies.
EM_JS(double, webAudioHeardTime, (int number), {
    const context = Module.webAudioOutputs.table[number].context;
    if (context.getOutputTimestamp) {
        const stamp = context.getOutputTimestamp();
        if (stamp.contextTime > 0 && stamp.performanceTime > 0) {
            const sincePerformance = Math.max(0, performance.now() - stamp.performanceTime);
            return Math.min(stamp.contextTime + sincePerformance / 1000, context.currentTime);
        }
    }
    return context.currentTime - (context.baseLatency || 0) - (context.outputLatency || 0);
});

EM_JS(void, webAudioStartSource, (int number), {
    const output = Module.webAudioOutputs.table[number];
    if (!output.buffer || output.startSeconds >= output.buffer.duration)
        return;
    const source = output.context.createBufferSource();
    source.buffer = output.buffer;
    source.connect(output.context.destination);
    // Starts with the next block the context renders; it is heard once the output latency
    // has passed, which the heard time accounts for.
    const when = output.context.currentTime;
    source.start(when, output.startSeconds);
    output.source = source;
    output.startContextTime = when;
});

EM_JS(void, webAudioSetSound, (int number, const int16_t* samples, int frameCount, int rate), {
    const output = Module.webAudioOutputs.table[number];
    output.buffer = null;
    output.startSeconds = 0;
    output.lastFrame = 0;
    if (frameCount <= 0)
        return;
    // Stereo, interleaved 16-bit; the context resamples to its own rate.
    const buffer = output.context.createBuffer(2, frameCount, rate);
    const left = buffer.getChannelData(0);
    const right = buffer.getChannelData(1);
    const first = samples >> 1;
    for (let i = 0; i < frameCount; ++i) {
        left[i] = HEAP16[first + 2 * i] / 32768;
        right[i] = HEAP16[first + 2 * i + 1] / 32768;
    }
    output.buffer = buffer;
});

EM_JS(void, webAudioSetStart, (int number, double seconds, double frame), {
    const output = Module.webAudioOutputs.table[number];
    output.startSeconds = seconds;
    output.lastFrame = frame;
});

// The sample frame being heard, never before the last one reported since the sound started
// or moved: the estimate jitters by a few frames, and the production's clock must not go back.
EM_JS(double, webAudioFrame, (int number, double heardTime, int rate), {
    const output = Module.webAudioOutputs.table[number];
    if (!output.buffer)
        return 0;
    let frame = Math.round(output.startSeconds * rate);
    if (output.source) {
        const elapsed = Math.max(0, heardTime - output.startContextTime);
        frame += Math.floor(elapsed * rate);
    }
    frame = Math.min(Math.max(frame, output.lastFrame), output.buffer.length);
    output.lastFrame = frame;
    return frame;
});

EM_JS(void, webAudioDestroy, (int number), {
    delete Module.webAudioOutputs.table[number];
});

} // namespace

WebAudioOutput::WebAudioOutput()
{
    output = webAudioCreate();
    if (output == 0)
        throw std::string("no Web Audio context on the page");
}

WebAudioOutput::~WebAudioOutput()
{
    webAudioStopSource(output);
    webAudioDestroy(output);
}

void WebAudioOutput::setSound(std::span<const uint8_t> pcm)
{
    webAudioStopSource(output);
    isPlaying = false;
    // The samples are copied into the browser's buffer, so the block is not read afterwards.
    size_t frameCount = pcm.size() / audioBytesPerFrame;
    webAudioSetSound(output, reinterpret_cast<const int16_t*>(pcm.data()), int(frameCount),
        int(audioSampleRate));
}

void WebAudioOutput::play()
{
    if (isPlaying)
        return;
    isPlaying = true;
    startFrom(position() / audioBytesPerFrame);
}

void WebAudioOutput::pause()
{
    if (!isPlaying)
        return;
    uint64_t heard = position() / audioBytesPerFrame;
    isPlaying = false;
    startFrom(heard);
}

void WebAudioOutput::seek(uint64_t byteOffset)
{
    startFrom(byteOffset / audioBytesPerFrame);
}

uint64_t WebAudioOutput::position() const
{
    return uint64_t(webAudioFrame(output, webAudioHeardTime(output), int(audioSampleRate)))
        * audioBytesPerFrame;
}

void WebAudioOutput::startFrom(uint64_t frame)
{
    webAudioStopSource(output);
    // Moving back is allowed here, unlike in the running estimate.
    webAudioSetStart(output, double(frame) / audioSampleRate, double(frame));
    if (isPlaying)
        webAudioStartSource(output);
}

} // namespace tincrates
