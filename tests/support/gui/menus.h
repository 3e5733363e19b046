#pragma once

#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QWidget;

// Reading menus, menu bars and tray menus the way a person reads them: by caption.

enum class Shortcuts
{
    Dropped,
    Shown
};

// The captions of the entries in order, "-" for a separator; the key shown after a TAB is left
// out unless asked for.
QStringList menuCaptions(const QWidget* menu, Shortcuts shortcuts = Shortcuts::Dropped);
// The entries' object names in order; a separator's is empty.
QStringList menuObjectNames(const QWidget* menu);
// The entry with this caption (the key after a TAB aside), among the menu's own entries first,
// then in its submenus; null when there is none.
QAction* menuEntry(const QWidget* menu, const QString& caption);
// The submenu behind that entry; null when there is none.
QMenu* subMenu(const QWidget* menu, const QString& caption);
