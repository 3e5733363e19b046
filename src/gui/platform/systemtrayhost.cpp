#include "systemtrayhost.h"

#include <QCursor>
#include <QGuiApplication>

SystemTrayHost::SystemTrayHost(QObject* parent)
    : TrayHost(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &SystemTrayHost::onActivated);
}

void SystemTrayHost::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        emit openRequested();
        break;
    case QSystemTrayIcon::Trigger:
        // StatusNotifierItem hosts report a left click as Trigger and never a double-click.
        if (QGuiApplication::platformName() != QLatin1String("xcb") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
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
