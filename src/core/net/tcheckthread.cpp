#include "tcheckthread.h"

#include "talmailslot.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace
{
// The longest single pause; longer intervals are counted in steps of it.
constexpr int LongStep = 1000;
} // namespace

TCheckThread::TCheckThread(TALMailSlot& owner)
    : m_owner(owner)
{ }

TCheckThread::~TCheckThread()
{
    Q_ASSERT(!isRunning());
}

void TCheckThread::requestStop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
}

bool TCheckThread::takeHandOver()
{
    const std::lock_guard lock(m_mutex);
    if (!m_pending)
        return false;
    m_pending = false;
    m_inProgress = true;
    return true;
}

void TCheckThread::finishHandOver()
{
    {
        const std::lock_guard lock(m_mutex);
        m_inProgress = false;
    }
    m_changed.notify_all();
}

bool TCheckThread::waitForHandOverOrEnd()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pending || m_ended; });
    if (!m_pending)
        return false;
    m_pending = false;
    m_inProgress = true;
    return true;
}

void TCheckThread::run()
{
    // The mode is fixed at start; the long mode reads the interval afresh on every pass.
    const int period = std::min(m_owner.m_checkInterval.load(), LongStep);
    if (period >= LongStep) {
        // Starts full so that the first pass checks at once.
        qint64 elapsed = INT_MAX;
        for (;;) {
            if (elapsed >= m_owner.m_checkInterval.load()) {
                drain();
                elapsed = 0;
            }
            if (!sleepFor(LongStep))
                break;
            elapsed += LongStep;
        }
    } else {
        // A zero or negative interval would spin (or, as a Win32 Sleep, never wake).
        const int pause = std::max(period, 1);
        do
            drain();
        while (sleepFor(pause));
    }

    {
        const std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_changed.notify_all();
}

void TCheckThread::drain()
{
    MailslotBackend& backend = *m_owner.m_backend;
    for (MailslotInfo info = backend.info(); info.count > 0; info = backend.info()) {
        if (!handOver())
            return;
    }
}

bool TCheckThread::handOver()
{
    std::unique_lock lock(m_mutex);
    if (m_stop)
        return false;
    m_pending = true;
    QMetaObject::invokeMethod(&m_owner, &TALMailSlot::serveHandOver, Qt::QueuedConnection);
    // A request not yet taken is served by whoever takes it, also a stopping owner. One in
    // progress is abandoned on stop: the owner is stopping us from inside its handler.
    m_changed.wait(lock, [this] { return !m_pending && (!m_inProgress || m_stop); });
    return !m_stop;
}

bool TCheckThread::sleepFor(int msecs)
{
    std::unique_lock lock(m_mutex);
    return !m_changed.wait_for(lock, std::chrono::milliseconds(msecs), [this] { return m_stop; });
}
