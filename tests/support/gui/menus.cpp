#include "menus.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace
{
QString captionOf(const QAction* action)
{
    return action->text().section(QLatin1Char('\t'), 0, 0);
}
} // namespace

QStringList menuCaptions(const QWidget* menu, Shortcuts shortcuts)
{
    QStringList captions;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            captions.append(QStringLiteral("-"));
        else
            captions.append(shortcuts == Shortcuts::Shown ? action->text() : captionOf(action));
    }
    return captions;
}

QStringList menuObjectNames(const QWidget* menu)
{
    QStringList names;
    for (const QAction* action : menu->actions())
        names.append(action->objectName());
    return names;
}

QAction* menuEntry(const QWidget* menu, const QString& caption)
{
    const QList<QAction*> entries = menu->actions();
    for (QAction* action : entries) {
        if (captionOf(action) == caption)
            return action;
    }
    for (const QAction* action : entries) {
        if (action->menu()) {
            if (QAction* inner = menuEntry(action->menu(), caption))
                return inner;
        }
    }
    return nullptr;
}

QMenu* subMenu(const QWidget* menu, const QString& caption)
{
    const QAction* entry = menuEntry(menu, caption);
    return entry ? entry->menu() : nullptr;
}
