#pragma once

#include <QObject>

// Tells when the desktop's screen saver starts.
class ScreenSaverWatch : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~ScreenSaverWatch() override = default;

signals:
    void started();
};

// Listens on the session bus for the ActiveChanged signal of the freedesktop, GNOME, MATE
// and Xfce screen savers, whoever sends it. Without a session bus it never reports.
class DBusScreenSaverWatch final : public ScreenSaverWatch
{
    Q_OBJECT

public:
    explicit DBusScreenSaverWatch(QObject* parent = nullptr);

    static const QStringList& interfaces();
    // Whether the session bus was reached and every interface is listened to.
    bool isListening() const { return m_listening; }

private slots:
    void onActiveChanged(bool active);

private:
    bool m_listening = false;
};
