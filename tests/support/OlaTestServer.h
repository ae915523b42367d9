#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// An olad of the test's own: a throwaway configuration with every plugin disabled, a free port
// (never the packaged 9010), run as "nobody" when the test runs as root (olad refuses root).
class OlaTestServer {
public:
    OlaTestServer();
    ~OlaTestServer();

    // Starts olad (again, on the same port) and waits until it accepts clients.
    bool start();
    void kill();
    void pause();  // SIGSTOP
    void resume(); // SIGCONT
    int port() const { return m_port; }
    qint64 pid() const { return m_olad.processId(); }

private:
    QTemporaryDir m_config;
    QProcess m_olad;
    int m_port = 0;
};

// Reads back what olad received for one universe, on a thread of its own.
class OlaFrameReader {
public:
    using Clock = std::chrono::steady_clock;
    struct Frame {
        std::array<std::uint8_t, 512> dmx{};
        Clock::time_point arrived;
    };

    OlaFrameReader();
    ~OlaFrameReader();
    // Connects and registers for universe; false when olad could not be reached.
    bool open(int port, unsigned universe);

    // Waits (up to deadline) until at least count frames have arrived; returns all of them.
    std::vector<Frame> waitForFrames(std::size_t count,
                                     std::chrono::milliseconds deadline = std::chrono::seconds(10));
    std::vector<Frame> frames();

    struct Client; // OLA's side, kept out of this header

private:
    std::unique_ptr<Client> m_client;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<Frame> m_frames;
    friend struct Client;
};
