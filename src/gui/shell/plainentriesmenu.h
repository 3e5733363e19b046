#pragma once

#include <QMenu>

// A menu drawn as plain text: its entries' pictures and check marks are left out. The tray's
// " Estado Atual" entries carry both for the desktops that draw the tray menu themselves,
// while the menu the station draws keeps them as captions only.
class PlainEntriesMenu final : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlainEntriesMenu)

public:
    using QMenu::QMenu;
    ~PlainEntriesMenu() override;

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};
