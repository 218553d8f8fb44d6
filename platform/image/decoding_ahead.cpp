// The decoding queue: one worker, and the owner decoding what the worker has not begun.
#include "platform/image/decoding_ahead.h"

#include "platform/image/image_file.h"

#include <cassert>
#include <system_error>

namespace tincrates {

DecodingAhead::~DecodingAhead()
{
    {
        std::lock_guard lock(mutex);
        isStopping = true;
    }
    changed.notify_all();
    if (worker.joinable())
        worker.join();
}

void DecodingAhead::add(const std::string& key, const void* data, size_t size)
{
    {
        std::lock_guard lock(mutex);
        auto [entry, isNew] = entries.try_emplace(key);
        if (!isNew)
            return;
        const auto* bytes = static_cast<const uint8_t*>(data);
        entry->second.result.bytes.assign(bytes, bytes + size);
        order.push_back(key);
    }
    changed.notify_all();
#ifndef __EMSCRIPTEN__ // a page without shared memory has no threads: take decodes then
    if (!worker.joinable()) {
        try {
            worker = std::thread(&DecodingAhead::work, this);
        } catch (const std::system_error&) {
            // No thread to be had: take decodes each image on the owner's thread.
        }
    }
#endif
}

bool DecodingAhead::has(const std::string& key) const
{
    std::lock_guard lock(mutex);
    return entries.count(key) > 0;
}

DecodingAhead::Result DecodingAhead::take(const std::string& key)
{
    std::unique_lock lock(mutex);
    auto entry = entries.find(key);
    assert(entry != entries.end() && "take a key that was added");
    if (entry->second.stage == Stage::queued) {
        // Not begun: decoded here rather than waited for. The entry leaves the table first,
        // so the worker never sees it again.
        Result result = std::move(entry->second.result);
        entries.erase(entry);
        lock.unlock();
        decode(result);
        return result;
    }
    // While the worker decodes this one, this thread decodes the next not begun rather than
    // idle, so both cores stay busy when making textures is quicker than decoding.
    while (entry->second.stage != Stage::done) {
        if (!beginNext(lock))
            changed.wait(lock, [&] { return entry->second.stage == Stage::done; });
    }
    Result result = std::move(entry->second.result);
    entries.erase(entry);
    return result;
}

void DecodingAhead::work()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return isStopping || !order.empty(); });
        if (isStopping)
            return;
        beginNext(lock);
    }
}

bool DecodingAhead::beginNext(std::unique_lock<std::mutex>& lock)
{
    while (!order.empty()) {
        std::string key = std::move(order.front());
        order.pop_front();
        auto entry = entries.find(key);
        if (entry == entries.end() || entry->second.stage != Stage::queued)
            continue; // taken by the owner already
        entry->second.stage = Stage::decoding;
        Result& result = entry->second.result; // map nodes stay where they are
        lock.unlock();
        decode(result);
        lock.lock();
        entry->second.stage = Stage::done;
        changed.notify_all();
        return true;
    }
    return false;
}

void DecodingAhead::decode(Result& result)
{
    result.isDecoded = decodeImage(
        result.bytes.data(), result.bytes.size(), result.image, result.error);
}

} // namespace tincrates
