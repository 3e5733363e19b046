#include "drags.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidget>

QTreeWidgetItem* itemWithText(const QTreeWidget* tree, const QString& text)
{
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

std::unique_ptr<QMimeData> dragOf(QTreeWidget* tree, QTreeWidgetItem* item)
{
    tree->setCurrentItem(item);
    return std::unique_ptr<QMimeData>(tree->model()->mimeData({ tree->indexFromItem(item) }));
}

std::unique_ptr<QMimeData> dragOf(QTreeWidget* tree, const QString& text)
{
    QTreeWidgetItem* item = itemWithText(tree, text);
    return item ? dragOf(tree, item) : nullptr;
}

DropResult dropAt(QWidget* target, const QPoint& pos, const QMimeData* mime)
{
    DropResult result;
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(pos, actions, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    result.enterAccepted = enter.isAccepted();
    QDropEvent drop(QPointF(pos), actions, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    result.dropAccepted = drop.isAccepted();
    return result;
}
