#pragma once

#include <QPoint>
#include <QString>

#include <memory>

class QMimeData;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// Drags and drops sent as events, as the desktop delivers them, without a mouse.

// The first item anywhere in the tree whose text is exactly `text`; null when none.
QTreeWidgetItem* itemWithText(const QTreeWidget* tree, const QString& text);
// What dragging the item hands over, the item made current first as a press would.
std::unique_ptr<QMimeData> dragOf(QTreeWidget* tree, QTreeWidgetItem* item);
// The same for the first item with this text; null when none.
std::unique_ptr<QMimeData> dragOf(QTreeWidget* tree, const QString& text);

struct DropResult
{
    bool enterAccepted = false;
    bool dropAccepted = false;

    bool accepted() const { return enterAccepted && dropAccepted; }
};

// A drag that enters `target` at `pos`, offering copy and move, and is dropped there. The drop
// is sent even after a refused entry, so a drop handler must refuse on its own as well.
DropResult dropAt(QWidget* target, const QPoint& pos, const QMimeData* mime);
