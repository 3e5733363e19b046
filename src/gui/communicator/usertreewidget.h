#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>

class QMimeData;

// The communicator's visible user tree. Drags carry a mark of this very widget, so the drop
// targets can tell its drags from any other. Only group labels are editable, and the
// characters a group name may not hold are swallowed as they are typed; the edited text is
// handed to the window instead of being written into the item.
class UserTreeWidget final : public QTreeWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UserTreeWidget)

public:
    static constexpr char MimeType[] = "application/x-colloqua-user-entry";

    explicit UserTreeWidget(QWidget* parent = nullptr);
    ~UserTreeWidget() override;

    // Whether `mime` was made by a drag from this widget.
    bool isOwnDrag(const QMimeData* mime) const;

    using QTreeWidget::indexFromItem;
    using QTreeWidget::itemFromIndex;

signals:
    // Editing the label of `index` ended with `text`; the item still shows the old text.
    void labelEdited(const QModelIndex& index, const QString& text);

protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    Qt::DropActions supportedDropActions() const override;
    void startDrag(Qt::DropActions supportedActions) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

protected slots:
    void commitData(QWidget* editor) override;

private:
    QByteArray token() const;

    QPersistentModelIndex m_editing;
};
