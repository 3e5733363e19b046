#include "plainentriesmenu.h"

#include <QStyleOptionMenuItem>

PlainEntriesMenu::~PlainEntriesMenu() = default;

void PlainEntriesMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const
{
    QMenu::initStyleOption(option, action);
    // The style measures and paints every entry from this option, so nothing reserves room
    // for what is not drawn.
    option->icon = QIcon();
    option->maxIconWidth = 0;
    option->checkType = QStyleOptionMenuItem::NotCheckable;
    option->checked = false;
    option->menuHasCheckableItems = false;
}
