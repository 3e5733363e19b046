#include "screensaverwatch.h"

#include <QDBusConnection>
#include <QStringList>

DBusScreenSaverWatch::DBusScreenSaverWatch(QObject* parent)
    : ScreenSaverWatch(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    m_listening = true;
    for (const QString& interface : interfaces()) {
        // Any sender and any object path: the screen savers differ in both. QtDBus connects
        // bus signals by slot name only.
        m_listening = bus.connect(QString(), QString(), interface, QStringLiteral("ActiveChanged"), this,
                          SLOT(onActiveChanged(bool)))
            && m_listening;
    }
}

const QStringList& DBusScreenSaverWatch::interfaces()
{
    static const QStringList names { QStringLiteral("org.freedesktop.ScreenSaver"),
        QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("org.mate.ScreenSaver"),
        QStringLiteral("org.xfce.ScreenSaver") };
    return names;
}

void DBusScreenSaverWatch::onActiveChanged(bool active)
{
    if (active)
        emit started();
}
