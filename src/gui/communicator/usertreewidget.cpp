#include "usertreewidget.h"

#include "groupcommands.h"

#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpressionValidator>

UserTreeWidget::UserTreeWidget(QWidget* parent)
    : QTreeWidget(parent)
{ }

UserTreeWidget::~UserTreeWidget() = default;

QByteArray UserTreeWidget::token() const
{
    return QByteArray::number(reinterpret_cast<quintptr>(this), 16);
}

bool UserTreeWidget::isOwnDrag(const QMimeData* mime) const
{
    return mime && mime->data(QLatin1String(MimeType)).split('\n').value(0) == token();
}

QStringList UserTreeWidget::mimeTypes() const
{
    return { QLatin1String(MimeType) };
}

QMimeData* UserTreeWidget::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    auto* mime = new QMimeData;
    QByteArray data = token();
    for (const QTreeWidgetItem* item : items)
        data += '\n' + item->text(0).toUtf8();
    mime->setData(QLatin1String(MimeType), data);
    return mime;
}

Qt::DropActions UserTreeWidget::supportedDropActions() const
{
    return Qt::CopyAction;
}

void UserTreeWidget::startDrag(Qt::DropActions supportedActions)
{
    Q_UNUSED(supportedActions);
    const QList<QTreeWidgetItem*> items = selectedItems();
    if (items.isEmpty())
        return;
    // A copy, never a move: the trees change only through the drop handlers, never by the
    // view removing the dragged rows.
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeData(items));
    drag->setPixmap(items.first()->icon(0).pixmap(16, 16));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

bool UserTreeWidget::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (!QTreeWidget::edit(index, trigger, event))
        return false;
    if (auto* editor = qobject_cast<QLineEdit*>(indexWidget(index))) {
        if (!editor->validator()) {
            editor->setValidator(
                new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^.'()\\[\\]|]*")), editor));
        }
        m_editing = index;
    }
    return true;
}

void UserTreeWidget::commitData(QWidget* editor)
{
    const auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (!lineEdit || !m_editing.isValid())
        return;
    const QModelIndex index = m_editing;
    m_editing = QPersistentModelIndex();
    emit labelEdited(index, lineEdit->text());
}

void UserTreeWidget::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    if (text.size() == 1 && GroupCommands::isForbiddenChar(text.at(0))) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}
