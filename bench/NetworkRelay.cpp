#include "NetworkRelay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <list>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

struct Chunk
{
    Clock::time_point due; // when it may be handed on
    std::string bytes;
    size_t sent = 0;
};

// One end of a relayed connection: its socket and what waits to be written to it.
struct End
{
    int fd = -1;
    std::deque<Chunk> out;
    bool closed = false;  // it sent its last byte
    bool blocked = false; // its socket took only part of a chunk: wait until it takes more
};

struct Link
{
    End program, server;
    Clock::time_point connected; // the handshake's round trip is over
    bool asked = false;          // the program sent something the server has not answered yet
};

void noDelay(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void nonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Reads what the socket holds into chunks due at `due`; false once the other side closed.
bool readInto(End &from, End &to, Clock::time_point due)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = recv(from.fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            to.out.push_back({due, std::string(buffer, size_t(got))});
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (got < 0 && errno == EINTR)
            continue;
        from.closed = true;
        return false;
    }
}

// Writes the chunks that are due; stops at a socket that takes no more for now.
void writeDue(End &to, Clock::time_point now)
{
    to.blocked = false;
    while (!to.out.empty() && to.out.front().due <= now) {
        Chunk &chunk = to.out.front();
        const ssize_t put =
            send(to.fd, chunk.bytes.data() + chunk.sent, chunk.bytes.size() - chunk.sent, MSG_NOSIGNAL);
        if (put < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                to.blocked = true;
                return;
            }
            if (errno == EINTR)
                continue;
            to.out.clear();
            to.closed = true;
            return;
        }
        chunk.sent += size_t(put);
        if (chunk.sent < chunk.bytes.size()) {
            to.blocked = true;
            return;
        }
        to.out.pop_front();
    }
}

short eventsOf(const End &end)
{
    short events = end.closed ? 0 : POLLIN;
    if (end.blocked)
        events |= POLLOUT;
    return events;
}
// What the program sent, as text, one line a chunk: the messages' types and the statements'
// words, for finding out what a step sends.
void trace(const std::deque<Chunk> &chunks, size_t from, qint64 roundTrips)
{
    for (size_t i = from; i < chunks.size(); ++i) {
        std::string text;
        for (char c : chunks[i].bytes) {
            if (c >= ' ' && c < 127)
                text += c;
            else if (text.empty() || text.back() != ' ')
                text += ' ';
        }
        std::fprintf(stderr, "relay %lld> %.160s\n", roundTrips, text.c_str());
    }
}
} // namespace

NetworkRelay::NetworkRelay(quint16 serverPort, double delayMs)
    : m_serverPort(serverPort), m_delayNs(qint64(delayMs * 1e6 + 0.5)),
      m_trace(qEnvironmentVariableIsSet("KELVARA_RELAY_TRACE"))
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(m_listener, 64) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0 || pipe(m_wake) != 0)
        throw std::runtime_error("the relay cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

NetworkRelay::~NetworkRelay()
{
    const char stop = 0;
    if (write(m_wake[1], &stop, 1) != 1)
        std::terminate(); // the thread would never end
    m_thread.join();
    close(m_listener);
    close(m_wake[0]);
    close(m_wake[1]);
}

void NetworkRelay::run()
{
    const std::chrono::nanoseconds delay(m_delayNs);
    std::list<Link> links;
    for (;;) {
        std::vector<pollfd> watched{{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        Clock::time_point next = Clock::time_point::max();
        for (const Link &link : links) {
            // An end with nothing to wait for is left out (a closed socket would wake the poll at once).
            for (const End *end : {&link.program, &link.server}) {
                const short events = eventsOf(*end);
                watched.push_back({events ? end->fd : -1, events, 0});
            }
            for (const End *end : {&link.program, &link.server}) {
                if (!end->out.empty() && !end->blocked)
                    next = std::min(next, end->out.front().due);
            }
        }
        timespec wait{};
        const Clock::time_point before = Clock::now();
        if (next != Clock::time_point::max() && next > before) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(next - before).count();
            wait.tv_sec = ns / 1000000000;
            wait.tv_nsec = ns % 1000000000;
        }
        const bool waitForever = next == Clock::time_point::max();
        if (ppoll(watched.data(), watched.size(), waitForever ? nullptr : &wait, nullptr) < 0 &&
            errno != EINTR)
            break;
        if (watched[0].revents)
            break;
        const Clock::time_point now = Clock::now();
        if (watched[1].revents & POLLIN) {
            for (int program; (program = accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
                const int server = socket(AF_INET, SOCK_STREAM, 0);
                const sockaddr_in address = loopback(m_serverPort);
                if (server < 0 ||
                    connect(server, reinterpret_cast<const sockaddr *>(&address), sizeof address)) {
                    close(program);
                    if (server >= 0)
                        close(server);
                    continue;
                }
                nonBlocking(server);
                noDelay(program);
                noDelay(server);
                Link link;
                link.program.fd = program;
                link.server.fd = server;
                link.connected = now + 2 * delay;
                links.push_back(std::move(link));
                ++m_roundTrips; // the handshake
            }
        }
        size_t slot = 2;
        for (Link &link : links) {
            const pollfd &program = watched.size() > slot ? watched[slot] : pollfd{};
            const pollfd &server = watched.size() > slot + 1 ? watched[slot + 1] : pollfd{};
            slot += 2;
            if (program.fd == link.program.fd && (program.revents & (POLLIN | POLLHUP | POLLERR))) {
                const size_t before = link.server.out.size();
                readInto(link.program, link.server, std::max(now, link.connected) + delay);
                if (m_trace)
                    trace(link.server.out, before, m_roundTrips.load());
                link.asked = link.asked || link.server.out.size() > before;
            }
            if (server.fd == link.server.fd && (server.revents & (POLLIN | POLLHUP | POLLERR))) {
                const size_t before = link.program.out.size();
                readInto(link.server, link.program, now + delay);
                if (link.asked && link.program.out.size() > before) {
                    ++m_roundTrips;
                    link.asked = false;
                }
            }
            writeDue(link.program, now);
            writeDue(link.server, now);
        }
        // A connection ends once one side closed and what it sent has been handed on.
        for (auto link = links.begin(); link != links.end();) {
            if ((link->program.closed && link->server.out.empty()) ||
                (link->server.closed && link->program.out.empty())) {
                close(link->program.fd);
                close(link->server.fd);
                link = links.erase(link);
            } else {
                ++link;
            }
        }
    }
    for (Link &link : links) {
        close(link.program.fd);
        close(link.server.fd);
    }
}
