#pragma once

#include "OlaDevices.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// One connection to olad, used by one thread. Requests go out at once and their answers come back
// through callbacks while run() runs, however late they come: a stalled olad is waited for on
// the connection it has, never given a pile of new ones to accept later. The connection is made
// without blocking and given up after a time-out (a blocking connect to an olad whose accept
// queue is full waits out TCP's back-off, a minute or more), and DMX frames are streamed only
// while the socket takes one without blocking. OLA's headers stay out of this one.
class OlaSession {
public:
    using DevicesAnswer = std::function<void(const std::optional<std::vector<OlaDevices::Device>>& devices,
                                             const QString& error)>;
    using PatchAnswer = std::function<void(bool patched, const QString& error)>;

    explicit OlaSession(int olaPort);
    ~OlaSession();
    OlaSession(const OlaSession&) = delete;
    OlaSession& operator=(const OlaSession&) = delete;

    // Connects to olad on this machine, waiting at most timeout, and less when stop() turns
    // true. False with error().
    bool open(std::chrono::milliseconds timeout, const std::function<bool()>& stop = {});
    // Connected, and not closed by olad since.
    bool isOpen() const;
    void close();
    QString error() const { return m_error; }

    // The answer comes from a later run(), or never, if olad closes the connection first or the
    // session is closed.
    void fetchDevices(DevicesAnswer answer);
    void patch(unsigned alias, unsigned port, unsigned universe, PatchAnswer answer);
    // False when the frame cannot go out now: the connection is closed, or full (olad stopped
    // reading).
    bool sendDmx(unsigned universe, const std::uint8_t* slots, unsigned count);
    // Handles what olad sent, waiting for it at most timeout; returns at once when wake, a
    // descriptor of the caller's (-1: none), becomes readable (it is left unread).
    void run(std::chrono::milliseconds timeout, int wake = -1);

    struct Impl; // OLA's side

private:
    int m_olaPort;
    std::unique_ptr<Impl> m_impl;
    QString m_error;
};
