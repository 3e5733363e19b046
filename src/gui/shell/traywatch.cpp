#include "traywatch.h"

#include "trayhost.h"

TrayWatch::TrayWatch(const TrayHost& tray, QObject* parent)
    : QObject(parent)
    , m_tray(tray)
{
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &TrayWatch::poll);
}

void TrayWatch::start()
{
    if (m_poll.isActive() || m_tray.isAvailable())
        return;
    m_since.start();
    m_poll.start();
}

void TrayWatch::poll()
{
    if (m_tray.isAvailable()) {
        m_poll.stop();
        emit trayAppeared();
        return;
    }
    // A desktop still without a tray after this long has none.
    if (m_since.elapsed() >= PatienceMs)
        m_poll.stop();
}
