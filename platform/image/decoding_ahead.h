// Images decoded on a worker thread ahead of their use, so that two cores share the decoding
// while the loading thread makes textures of those decoded before.
#pragma once

#include "platform/image/decoded_image.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tincrates {

// Threads: add, has, take and the destructor run on the owner's thread; one worker thread,
// started by the first add, decodes queued images in the order they were added. take decodes
// on the owner's thread an image the worker has not begun, and while it waits for one the
// worker is decoding, decodes the next not begun: nothing waits for the queue.
class DecodingAhead {
public:
    // What decodeImage gives for the bytes, with the bytes themselves.
    struct Result {
        std::vector<uint8_t> bytes;
        bool isDecoded = false;
        DecodedImage image; // when isDecoded
        std::string error;  // when not
    };

    DecodingAhead() = default;
    // Waits for the image the worker is decoding; the rest are dropped undecoded.
    ~DecodingAhead();
    DecodingAhead(const DecodingAhead&) = delete;
    DecodingAhead& operator=(const DecodingAhead&) = delete;

    // Queues a copy of the bytes under `key`; a key queued already keeps its first bytes.
    void add(const std::string& key, const void* data, size_t size);
    bool has(const std::string& key) const;
    // The result for `key`, which must be queued (see has), waiting for the worker when it is
    // decoding it; the key is no longer queued after.
    Result take(const std::string& key);

private:
    enum class Stage { queued, decoding, done };
    struct Entry {
        Stage stage = Stage::queued;
        Result result;
    };
    void work();
    // Decodes the first image not begun, unlocking while it does; false when there is none.
    bool beginNext(std::unique_lock<std::mutex>& lock);
    static void decode(Result& result);

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, Entry> entries;
    std::deque<std::string> order; // keys as added; those taken or begun are skipped
    bool isStopping = false;
    std::thread worker;
};

} // namespace tincrates
