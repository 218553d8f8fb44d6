// The live connection to the sync editor over a non-blocking TCP socket, advanced a step at
// each poll so that the frame loop never waits on the network.
#include "sync/sync_editor_client.h"

#include "sync/editor_protocol.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tincrates {

namespace {

using Clock = std::chrono::steady_clock;

// What ends a connection or an attempt; `whileConnecting` says whether the editor was reached
// at all (the state is then notConnected, else lost).
struct ConnectionProblem {
    std::string why;
    bool whileConnecting = false;
};

std::string errorText(int error)
{
    return std::strerror(error);
}

// A flood from the editor is read over several frames rather than holding one up.
constexpr size_t mostBytesReadPerPoll = 1 << 20;

struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

// "localhost" and numeric addresses are taken as they are; only another name is looked up,
// which waits on the resolver.
SocketAddress resolve(const std::string& host, uint16_t port)
{
    SocketAddress address;
    auto* ipv4 = reinterpret_cast<sockaddr_in*>(&address.storage);
    auto* ipv6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
    if (host == "localhost" || inet_pton(AF_INET, host.c_str(), &ipv4->sin_addr) == 1) {
        if (host == "localhost")
            ipv4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ipv4->sin_family = AF_INET;
        ipv4->sin_port = htons(port);
        address.length = sizeof(sockaddr_in);
        return address;
    }
    if (inet_pton(AF_INET6, host.c_str(), &ipv6->sin6_addr) == 1) {
        ipv6->sin6_family = AF_INET6;
        ipv6->sin6_port = htons(port);
        address.length = sizeof(sockaddr_in6);
        return address;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (int error = getaddrinfo(host.c_str(), nullptr, &hints, &found))
        throw ConnectionProblem{"cannot find the address: " + std::string(gai_strerror(error)),
                                true};
    const addrinfo* chosen = found;
    for (const addrinfo* a = found; a; a = a->ai_next)
        if (a->ai_family == AF_INET) {
            chosen = a;
            break;
        }
    std::memcpy(&address.storage, chosen->ai_addr, chosen->ai_addrlen);
    address.length = chosen->ai_addrlen;
    freeaddrinfo(found);
    if (address.storage.ss_family == AF_INET)
        ipv4->sin_port = htons(port);
    else
        ipv6->sin6_port = htons(port);
    return address;
}

} // namespace

// One attempt or connection: owns the socket and what is waiting to be sent or read.
class SyncEditorClient::Connection {
public:
    enum class Phase { connecting, greeting, connected };

    Connection(int socket, Clock::time_point answerDeadline, uint32_t trackCount)
        : socket(socket), answerDeadline(answerDeadline), reader(trackCount)
    {
    }
    ~Connection() { ::close(socket); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void queue(std::string_view bytes)
    {
        output += bytes;
        unsentRowAt = std::string::npos;
    }

    // A row not yet begun on the wire is overwritten by the next.
    void queueRow(uint32_t row)
    {
        std::string bytes = encodeSetRow(row);
        if (unsentRowAt != std::string::npos && unsentRowAt >= outputSent
            && unsentRowAt + bytes.size() == output.size()) {
            output.replace(unsentRowAt, bytes.size(), bytes);
        } else {
            output += bytes;
            unsentRowAt = output.size() - bytes.size();
        }
    }

    // Sends what the socket takes now.
    void flush()
    {
        while (outputSent < output.size()) {
            ssize_t sent = ::send(socket, output.data() + outputSent, output.size() - outputSent,
                                  MSG_NOSIGNAL);
            if (sent >= 0) {
                outputSent += size_t(sent);
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return;
            } else if (errno != EINTR) {
                throw ConnectionProblem{"cannot send: " + errorText(errno)};
            }
        }
        output.clear();
        outputSent = 0;
        unsentRowAt = std::string::npos;
    }

    const int socket;
    const Clock::time_point answerDeadline;
    Phase phase = Phase::connecting;
    EditorGreetingReader greeting;
    EditorMessageReader reader;
    std::array<uint8_t, 16384> input{};
    // A problem met outside a poll (while sending a row), ending the connection at the next.
    std::optional<ConnectionProblem> deferredProblem;

private:
    std::string output;
    size_t outputSent = 0;
    size_t unsentRowAt = std::string::npos;
};

std::optional<EditorAddress> readEditorAddress(const std::string& address, std::string& problem)
{
    std::string host;
    std::string portText;
    if (!address.empty() && address.front() == '[') {
        size_t close = address.find(']');
        if (close == std::string::npos
            || (close + 1 < address.size() && address[close + 1] != ':')) {
            problem = "sync editor address \"" + address + "\": no \"]\" after the IPv6 address";
            return std::nullopt;
        }
        host = address.substr(1, close - 1);
        if (close + 1 < address.size())
            portText = address.substr(close + 2);
        else
            portText = std::to_string(SyncEditorClient::defaultPort);
    } else if (std::count(address.begin(), address.end(), ':') == 1) {
        size_t colon = address.find(':');
        host = address.substr(0, colon);
        portText = address.substr(colon + 1);
    } else {
        host = address;
        portText = std::to_string(SyncEditorClient::defaultPort);
    }
    if (host.empty())
        host = "localhost";
    bool isPort = !portText.empty() && portText.size() <= 5
        && std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; })
        && std::stoi(portText) >= 1 && std::stoi(portText) <= 65535;
    if (!isPort) {
        problem = "sync editor address \"" + address + "\": the port is not a number in 1..65535";
        return std::nullopt;
    }
    return EditorAddress{host, uint16_t(std::stoi(portText))};
}

SyncEditorClient::SyncEditorClient(std::vector<std::string> trackNames, std::string address)
{
    syncTracks.reserve(trackNames.size());
    for (std::string& name : trackNames) {
        assert(!name.empty() && name.find('\0') == std::string::npos);
        syncTracks.emplace_back(std::move(name));
    }

    std::string problem;
    std::optional<EditorAddress> where = readEditorAddress(address, problem);
    if (!where)
        throw std::runtime_error(problem);
    host = where->host;
    port = where->port;
    bool isIpv6 = host.find(':') != std::string::npos;
    hostAndPort = (isIpv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

SyncEditorClient::~SyncEditorClient() = default;

SyncEditorClient::Requests SyncEditorClient::poll(Clock::time_point now)
{
    Requests requests;
    changedInLastPoll = false;
    if (!connection && (!nextAttemptAt || now >= *nextAttemptAt))
        startAttempt(now);
    if (!connection)
        return requests;

    Connection& c = *connection;
    try {
        if (c.deferredProblem)
            throw *c.deferredProblem;
        if (c.phase == Connection::Phase::connecting) {
            pollfd waiting{c.socket, POLLOUT, 0};
            if (::poll(&waiting, 1, 0) > 0) {
                int error = 0;
                socklen_t length = sizeof error;
                if (getsockopt(c.socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                    error = errno;
                if (error != 0)
                    throw ConnectionProblem{"cannot connect: " + errorText(error), true};
                c.phase = Connection::Phase::greeting;
                c.queue(encodeGreeting());
            }
        }
        if (c.phase != Connection::Phase::connecting)
            readAvailable(requests);
        if (connection && c.phase != Connection::Phase::connecting)
            c.flush();
        if (connection && c.phase != Connection::Phase::connected && now >= c.answerDeadline)
            throw ConnectionProblem{"no answer within "
                                        + std::to_string(answerTimeLimit.count()) + " s",
                                    c.phase == Connection::Phase::connecting};
    } catch (const ConnectionProblem& p) {
        closeConnection(p.whileConnecting ? State::notConnected : State::lost, p.why, now);
    } catch (const EditorProtocolError& error) {
        closeConnection(State::lost, std::string(error.what()) + "; connection closed", now);
    }
    if (changedInLastPoll)
        ++generation;
    return requests;
}

void SyncEditorClient::readAvailable(Requests& requests)
{
    Connection& c = *connection;
    size_t budget = mostBytesReadPerPoll;
    while (budget > 0) {
        ssize_t received = ::recv(c.socket, c.input.data(), c.input.size(), 0);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            throw ConnectionProblem{"connection failed: " + errorText(errno)};
        }
        if (received == 0) {
            if (c.phase == Connection::Phase::greeting)
                throw ConnectionProblem{"the connection closed during the greeting"};
            if (c.reader.hasPartialCommand())
                throw ConnectionProblem{"the editor closed the connection within a command"};
            throw ConnectionProblem{"the editor closed the connection"};
        }
        budget -= std::min(budget, size_t(received));
        std::span<const uint8_t> bytes(c.input.data(), size_t(received));
        if (c.phase == Connection::Phase::greeting) {
            try {
                bytes = bytes.subspan(c.greeting.append(bytes));
            } catch (const EditorProtocolError&) {
                throw ConnectionProblem{"no sync editor's greeting; connection closed"};
            }
            if (!c.greeting.isComplete())
                continue;
            becomeConnected();
        }
        c.reader.append(bytes);
        applyCommands(requests);
    }
}

void SyncEditorClient::sendRow(uint32_t row)
{
    if (currentState != State::connected || connection->deferredProblem)
        return;
    connection->queueRow(row);
    try {
        connection->flush();
    } catch (const ConnectionProblem& p) {
        connection->deferredProblem = p;
    }
}

void SyncEditorClient::startAttempt(Clock::time_point now)
{
    nextAttemptAt.reset();
    currentState = State::connecting;
    try {
        SocketAddress address = resolve(host, port);
        int socket = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              0);
        if (socket < 0)
            throw ConnectionProblem{"cannot make a socket: " + errorText(errno), true};
        auto attempt = std::make_unique<Connection>(socket, now + answerTimeLimit,
                                                    uint32_t(syncTracks.size()));
        // Commands are a few bytes each, and a maker's edit should show at once.
        int noDelay = 1;
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        if (::connect(socket, reinterpret_cast<const sockaddr*>(&address.storage),
                      address.length) == 0) {
            attempt->phase = Connection::Phase::greeting;
            attempt->queue(encodeGreeting());
        } else if (errno != EINPROGRESS && errno != EINTR) {
            throw ConnectionProblem{"cannot connect: " + errorText(errno), true};
        }
        connection = std::move(attempt);
    } catch (const ConnectionProblem& p) {
        closeConnection(State::notConnected, p.why, now);
    }
}

void SyncEditorClient::closeConnection(State newState, const std::string& why,
                                       Clock::time_point now)
{
    connection.reset();
    currentState = newState;
    problem = "sync editor at " + hostAndPort + ": " + why;
    nextAttemptAt = now + retryInterval;
}

void SyncEditorClient::becomeConnected()
{
    Connection& c = *connection;
    c.phase = Connection::Phase::connected;
    currentState = State::connected;
    problem.clear();
    // The editor sends every key of each track asked for; those of the last connection may
    // have been deleted since.
    for (SyncTrack& track : syncTracks) {
        if (track.hasKeys())
            changedInLastPoll = true;
        track.clearKeys();
    }
    for (const SyncTrack& track : syncTracks)
        c.queue(encodeGetTrack(track.name()));
}

void SyncEditorClient::applyCommands(Requests& requests)
{
    while (std::optional<EditorCommand> command = connection->reader.next()) {
        switch (command->kind) {
        case EditorCommand::Kind::setKey:
            syncTracks[command->track].setKey(command->key);
            changedInLastPoll = true;
            break;
        case EditorCommand::Kind::deleteKey:
            syncTracks[command->track].deleteKey(command->key.row);
            changedInLastPoll = true;
            break;
        case EditorCommand::Kind::setRow:
            requests.row = command->row;
            break;
        case EditorCommand::Kind::pause:
            requests.paused = command->paused;
            break;
        case EditorCommand::Kind::saveTracks:
            requests.saveTracks = true;
            break;
        }
    }
}

} // namespace tincrates
