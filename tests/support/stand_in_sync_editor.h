// A stand-in for the sync editor in tests: listens on 127.0.0.1 at a port the system picks and
// serves one production at a time, driven step by step from the test's own thread. Nothing it
// does waits for long: each call does what can be done at once, and tests poll the production
// and the stand-in in turn until what they expect has happened (pollUntil).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace tincrates::testing {

// The bytes the editor sends, as its protocol lays them out.
namespace editorBytes {

inline void appendUint32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(value >> shift);
}

inline std::string greeting() { return "hello, demo!"; }

inline std::string setKey(uint32_t track, uint32_t row, float value, uint8_t interpolation)
{
    std::string out(1, '\0');
    appendUint32(out, track);
    appendUint32(out, row);
    appendUint32(out, std::bit_cast<uint32_t>(value));
    out += char(interpolation);
    return out;
}

inline std::string deleteKey(uint32_t track, uint32_t row)
{
    std::string out(1, '\1');
    appendUint32(out, track);
    appendUint32(out, row);
    return out;
}

inline std::string setRow(uint32_t row)
{
    std::string out(1, '\3');
    appendUint32(out, row);
    return out;
}

inline std::string pause(bool paused) { return std::string{'\4', char(paused ? 1 : 0)}; }

inline std::string saveTracks() { return std::string(1, '\5'); }

// Bytes written as hexadecimal digits, blanks between them ignored ("04 01").
inline std::string fromHex(std::string_view hex)
{
    std::string out;
    int high = -1;
    for (char c : hex) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            continue;
        if (high < 0) {
            high = digit;
        } else {
            out += char(high << 4 | digit);
            high = -1;
        }
    }
    return out;
}

} // namespace editorBytes

// Calls `step` until `isDone` holds or `limit` of wall time has passed; returns isDone().
inline bool pollUntil(const std::function<void()>& step, const std::function<bool()>& isDone,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(2000))
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        step();
        if (isDone())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

class StandInSyncEditor {
public:
    // Listens; throws std::runtime_error when the system refuses.
    StandInSyncEditor()
    {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (listener < 0)
            throw std::runtime_error("stand-in editor: no socket");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(listener, 4) != 0
            || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(listener);
            throw std::runtime_error("stand-in editor: cannot listen");
        }
        listenPort = ntohs(address.sin_port);
    }
    ~StandInSyncEditor()
    {
        closeProduction();
        stopListening();
    }
    StandInSyncEditor(const StandInSyncEditor&) = delete;
    StandInSyncEditor& operator=(const StandInSyncEditor&) = delete;

    uint16_t port() const { return listenPort; }
    // As a production is told where the editor is.
    std::string address() const { return "127.0.0.1:" + std::to_string(listenPort); }

    // Takes a waiting production when none is connected; true when one is connected.
    bool acceptProduction()
    {
        if (production < 0 && listener >= 0) {
            production = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (production >= 0) {
                receivedBytes.clear();
                isClosedByProduction = false;
            }
        }
        return production >= 0;
    }

    bool hasProduction() const { return production >= 0; }

    // Reads what the production has sent so far; notes when it has closed its end.
    void readAvailable()
    {
        if (production < 0)
            return;
        char buffer[4096];
        while (true) {
            ssize_t got = ::recv(production, buffer, sizeof buffer, 0);
            if (got > 0) {
                receivedBytes.append(buffer, size_t(got));
            } else if (got == 0) {
                isClosedByProduction = true;
                return;
            } else if (errno != EINTR) {
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    isClosedByProduction = true;
                return;
            }
        }
    }

    // Every byte the production sent on this connection.
    const std::string& received() const { return receivedBytes; }

    // Whether the production closed its end of the connection.
    bool isClosed() const { return isClosedByProduction; }

    // Sends all of `bytes`; a few kilobytes go at once into the socket's buffer, more wait up
    // to two seconds for room. Throws std::runtime_error when they cannot be sent.
    void send(std::string_view bytes)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!bytes.empty()) {
            ssize_t sent = ::send(production, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent > 0) {
                bytes.remove_prefix(size_t(sent));
                continue;
            }
            if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                throw std::runtime_error("stand-in editor: cannot send");
            if (std::chrono::steady_clock::now() >= deadline)
                throw std::runtime_error("stand-in editor: the production reads nothing");
            pollfd room{production, POLLOUT, 0};
            ::poll(&room, 1, 10);
        }
    }

    // Closes the connection to the production, as a closed editor does.
    void closeProduction()
    {
        if (production >= 0)
            ::close(production);
        production = -1;
    }

    // Stops listening, so that a production's next attempt is refused.
    void stopListening()
    {
        if (listener >= 0)
            ::close(listener);
        listener = -1;
    }

private:
    int listener = -1;
    uint16_t listenPort = 0;
    int production = -1;
    std::string receivedBytes;
    bool isClosedByProduction = false;
};

} // namespace tincrates::testing
