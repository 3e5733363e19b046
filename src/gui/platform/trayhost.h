#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>

class QMenu;

// The station's mark in the notification area. The desktop uses QSystemTrayIcon; tests use
// the quiet default and drive the signals themselves.
class TrayHost : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~TrayHost() override = default;

    // False when the desktop has no notification area: the program must stay reachable
    // through its windows.
    virtual bool isAvailable() const = 0;
    // True when the desktop draws the tray menu itself (StatusNotifierItem hosts): the menu
    // given to setContextMenu is exported to it over D-Bus. False on XEmbed trays, where the
    // station pops up its own drawn menu on menuRequested.
    virtual bool exportsMenu() const = 0;
    // The menu for a host that exports menus; a host that does not keeps it unused.
    virtual void setContextMenu(QMenu* menu) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual QIcon icon() const = 0;
    virtual void setToolTip(const QString& tip) = 0;

signals:
    // A double-click, or a single activation on hosts that send no double-click.
    void openRequested();
    // The menu was asked for at `globalPos`.
    void menuRequested(const QPoint& globalPos);
};

// Remembers what it was given and shows nothing. It stands for a desktop with a
// notification area unless told otherwise.
class NullTrayHost final : public TrayHost
{
    Q_OBJECT

public:
    using TrayHost::TrayHost;

    bool isAvailable() const override { return m_available; }
    void setAvailable(bool available) { m_available = available; }
    bool exportsMenu() const override { return m_exportsMenu; }
    // Stands for a StatusNotifierItem host.
    void setExportsMenu(bool exports) { m_exportsMenu = exports; }
    void setContextMenu(QMenu* menu) override { m_contextMenu = menu; }
    QMenu* contextMenu() const { return m_contextMenu; }
    void show() override { m_visible = true; }
    void hide() override { m_visible = false; }
    void setIcon(const QIcon& icon) override { m_icon = icon; }
    QIcon icon() const override { return m_icon; }
    void setToolTip(const QString& tip) override { m_toolTip = tip; }

    bool isVisible() const { return m_visible; }
    const QString& toolTip() const { return m_toolTip; }

private:
    QIcon m_icon;
    QString m_toolTip;
    QMenu* m_contextMenu = nullptr; // not owned
    bool m_visible = false;
    bool m_available = true;
    bool m_exportsMenu = false;
};
