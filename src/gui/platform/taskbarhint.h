#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;
class TrayHost;

// While there is a tray the program has no taskbar button: the tray icon brings its windows
// back. The watched windows then carry the window manager's skip-taskbar hint; without a
// tray they keep their button, so they can still be reached. X11 only (the program runs on
// XWayland where it can): _NET_WM_STATE_SKIP_TASKBAR, written before a window is mapped and
// asked of the window manager while it is shown.
class TaskbarHint final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TaskbarHint)

public:
    explicit TaskbarHint(const TrayHost& tray, QObject* parent = nullptr);

    void watch(QWidget& window);
    // A tray has appeared: the windows on screen leave the taskbar too.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(QWidget& window, bool mapped) const;

    const TrayHost& m_tray;
    QList<QPointer<QWidget>> m_windows;
};
