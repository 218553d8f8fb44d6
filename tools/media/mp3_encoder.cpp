// MP3 encoding through LAME's buffer interface.
#include "tools/media/mp3_encoder.h"

#include <lame.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace tincrates {

namespace {

struct LameClose {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

} // namespace

std::string encodeMp3(const Pcm& pcm, int kilobitsPerSecond, int quality)
{
    if (pcm.channels < 1 || pcm.channels > 2)
        throw std::runtime_error("MP3 holds one or two channels, not "
                                 + std::to_string(pcm.channels));
    std::unique_ptr<lame_global_flags, LameClose> lame(lame_init());
    if (!lame)
        throw std::runtime_error("lame_init failed");
    lame_set_in_samplerate(lame.get(), pcm.sampleRate);
    lame_set_out_samplerate(lame.get(), pcm.sampleRate);
    lame_set_num_channels(lame.get(), pcm.channels);
    lame_set_mode(lame.get(), pcm.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame.get(), kilobitsPerSecond);
    lame_set_quality(lame.get(), quality);
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0)
        throw std::runtime_error("lame_init_params failed");

    int frames = int(pcm.samples.size()) / pcm.channels;
    std::string mp3(size_t(1.25 * frames + 7200) + 16384, '\0');
    auto* out = reinterpret_cast<unsigned char*>(mp3.data());
    std::vector<short> left(static_cast<size_t>(frames)), right(left.size());
    for (int n = 0; n < frames; ++n) {
        left[size_t(n)] = pcm.samples[size_t(n * pcm.channels)];
        right[size_t(n)] = pcm.samples[size_t(n * pcm.channels + pcm.channels - 1)];
    }
    int written = lame_encode_buffer(lame.get(), left.data(), right.data(), frames, out,
                                     int(mp3.size()));
    if (written < 0)
        throw std::runtime_error("lame_encode_buffer failed");
    int flushed = lame_encode_flush(lame.get(), out + written, int(mp3.size()) - written);
    if (flushed < 0)
        throw std::runtime_error("lame_encode_flush failed");
    mp3.resize(size_t(written + flushed));
    // The tag frame sits first; LAME fills it in only once it knows the whole stream.
    std::vector<unsigned char> tag(8192);
    size_t tagBytes = lame_get_lametag_frame(lame.get(), tag.data(), tag.size());
    if (tagBytes > 0 && tagBytes <= mp3.size())
        std::copy(tag.begin(), tag.begin() + long(tagBytes), mp3.begin());
    return mp3;
}

} // namespace tincrates
