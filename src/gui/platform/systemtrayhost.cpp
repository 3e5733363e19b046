#include "systemtrayhost.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QVariant>

namespace
{
// Qt draws the icon through a StatusNotifierItem whenever a host has registered with the
// watcher, on X11 as well; otherwise it embeds it in an XEmbed tray.
bool statusNotifierHostRegistered()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}
} // namespace

SystemTrayHost::SystemTrayHost(QObject* parent)
    : TrayHost(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &SystemTrayHost::onActivated);
}

void SystemTrayHost::show()
{
    // Asked when the icon appears: the panel may have been started or replaced since.
    m_singleClickOpens = QGuiApplication::platformName() != QLatin1String("xcb") || statusNotifierHostRegistered();
    m_icon.show();
}

void SystemTrayHost::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        emit openRequested();
        break;
    case QSystemTrayIcon::Trigger:
        // StatusNotifierItem hosts report a left click as Trigger and never a double-click.
        if (m_singleClickOpens)
            emit openRequested();
        break;
    case QSystemTrayIcon::Context:
        // The menu is popped up by the station itself: SNI hosts would redraw a context menu.
        emit menuRequested(QCursor::pos());
        break;
    default:
        break;
    }
}
