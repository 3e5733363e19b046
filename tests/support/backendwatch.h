#pragma once

#include "mailslotbackend.h"

#include <condition_variable>
#include <memory>
#include <mutex>

// Watches the backend of a transport: counts its calls and can hold its info() calls, so a
// test can line up what a reader sees at one look. The watch is shared with the test, so it
// stays readable after the transport and its backend are gone. Thread-safe.
class BackendWatch final
{
public:
    // Wraps `backend`; the result owns it and reports to `watch`.
    static std::unique_ptr<MailslotBackend> wrap(
        std::unique_ptr<MailslotBackend> backend, const std::shared_ptr<BackendWatch>& watch);

    int createCount() const;
    int closeCount() const;
    int infoCount() const;
    // info() calls made while the server side was closed, or after the backend was destroyed.
    int infoWhileClosed() const;
    bool destroyed() const;

    // While held, info() blocks before asking the backend.
    void hold(bool held);
    // Blocks the calling thread (without running its event loop) until info() has reported a
    // waiting message at least `times` times in all; false on time-out.
    bool waitForInfoReportingWaiting(int times, int timeoutMs);

private:
    friend class WatchedBackend;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_open = false;
    bool m_destroyed = false;
    int m_createCount = 0;
    int m_closeCount = 0;
    int m_infoCount = 0;
    int m_infoWhileClosed = 0;
    int m_infoReportedWaiting = 0;
};
