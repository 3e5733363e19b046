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
    void show() override;
    void hide() override { m_icon.hide(); }
    void setIcon(const QIcon& icon) override { m_icon.setIcon(icon); }
    QIcon icon() const override { return m_icon.icon(); }
    void setToolTip(const QString& tip) override { m_icon.setToolTip(tip); }

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_icon;
    bool m_singleClickOpens = false;
};
