#pragma once

#include <QtGlobal>
#include <atomic>
#include <thread>

// A TCP relay on 127.0.0.1 between the program's connections and a server on this machine, that
// plays a network: every chunk it forwards, either way, is handed on `delay` after it came in (a
// TCP connect waits a round trip first, as a handshake would), and it counts round trips: each
// answer from the server after something from the program counts one, and so does each connect.
// It runs on a thread of its own; a connection to port() is relayed to the server's port. With
// KELVARA_RELAY_TRACE set, what the program sends is written to stderr.
class NetworkRelay
{
public:
    NetworkRelay(quint16 serverPort, double delayMs);
    ~NetworkRelay();
    NetworkRelay(const NetworkRelay &) = delete;
    NetworkRelay &operator=(const NetworkRelay &) = delete;

    quint16 port() const { return m_port; }
    double delayMs() const { return double(m_delayNs) / 1e6; }
    // Round trips of every connection so far.
    qint64 roundTrips() const { return m_roundTrips.load(); }

private:
    void run();

    quint16 m_serverPort;
    qint64 m_delayNs;
    int m_listener = -1;
    int m_wake[2] = {-1, -1}; // written to stop the thread
    quint16 m_port = 0;
    bool m_trace;
    std::atomic<qint64> m_roundTrips{0};
    std::thread m_thread;
};
