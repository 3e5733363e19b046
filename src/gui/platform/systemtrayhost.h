#pragma once

#include "trayhost.h"

#include <QSystemTrayIcon>

// The notification-area icon of the desktop (XEmbed or StatusNotifierItem hosts).
class SystemTrayHost final : public TrayHost
{
    Q_OBJECT

public:
    explicit SystemTrayHost(QObject* parent = nullptr);

    bool isAvailable() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
    bool exportsMenu() const override { return m_statusNotifierItem; }
    void setContextMenu(QMenu* menu) override;
    void show() override { m_icon.show(); }
    void hide() override { m_icon.hide(); }
    void setIcon(const QIcon& icon) override { m_icon.setIcon(icon); }
    QIcon icon() const override { return m_icon.icon(); }
    void setToolTip(const QString& tip) override { m_icon.setToolTip(tip); }

    // Whether Qt draws this process's tray icons as StatusNotifierItems rather than XEmbed
    // icons. Asked before the first icon exists, and answered once, as Qt does.
    static bool qtUsesStatusNotifierItem();

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    // Declared before the icon: the kind of tray is settled before Qt settles it.
    bool m_statusNotifierItem = qtUsesStatusNotifierItem();
    QSystemTrayIcon m_icon;
};
