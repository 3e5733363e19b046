#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class TrayHost;

// Watches for a notification area that appears after start-up: the desktop's autostart may
// start the program before its panel. It asks the tray host every PollMs for PatienceMs,
// since neither kind of tray host tells Qt's tray icon that it has just arrived.
class TrayWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayWatch)

public:
    static constexpr int PollMs = 1000;
    static constexpr int PatienceMs = 30000;

    explicit TrayWatch(const TrayHost& tray, QObject* parent = nullptr);

    // Starts the watch, unless a tray is already there or a watch runs.
    void start();
    bool isWatching() const { return m_poll.isActive(); }

signals:
    // Once per watch, when the tray host reports a notification area.
    void trayAppeared();

private:
    void poll();

    const TrayHost& m_tray;
    QTimer m_poll;
    QElapsedTimer m_since;
};
