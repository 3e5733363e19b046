#include "systemtrayhost.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QMenu>
#include <QVariant>

namespace
{
// Qt's rule (the generic Unix platform theme of Qt 6.4, behind xcb and Wayland): the icon is
// a StatusNotifierItem when the watcher says a host is registered, otherwise an XEmbed icon.
bool statusNotifierHostRegistered()
{
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland")))
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}
} // namespace

bool SystemTrayHost::qtUsesStatusNotifierItem()
{
    // Qt asks when its first tray icon is made and keeps the answer for the whole process:
    // a panel started or replaced later does not change how the icon is shown.
    static const bool answer = statusNotifierHostRegistered();
    return answer;
}

SystemTrayHost::SystemTrayHost(QObject* parent)
    : TrayHost(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &SystemTrayHost::onActivated);
}

void SystemTrayHost::setContextMenu(QMenu* menu)
{
    // An XEmbed icon would pop a context menu up by itself, over the station's drawn one.
    if (m_statusNotifierItem)
        m_icon.setContextMenu(menu);
}

void SystemTrayHost::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        emit openRequested();
        break;
    case QSystemTrayIcon::Trigger:
        // StatusNotifierItem hosts report a left click as Trigger and never a double-click;
        // an XEmbed icon reports every press as Trigger, before its double-click.
        if (m_statusNotifierItem)
            emit openRequested();
        break;
    case QSystemTrayIcon::Context:
        // XEmbed: the station pops up its drawn menu. A StatusNotifierItem host that calls
        // ContextMenu instead of showing the exported menu gets the drawn one as well.
        emit menuRequested(QCursor::pos());
        break;
    default:
        break;
    }
}
