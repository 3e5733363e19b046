#pragma once

#include <QCollator>
#include <QListWidget>
#include <QString>

// A check list whose items can each carry a hidden companion value, kept sorted by text in
// the station's collation, letters case ignored. The companion and the mark added with an
// item live in the item itself, so they stay with it when other items come and go.
class TOrbCheckListBox final : public QListWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TOrbCheckListBox)

public:
    explicit TOrbCheckListBox(QWidget* parent = nullptr);
    ~TOrbCheckListBox() override;

    void setCollation(const QLocale& locale);

    // Adds `text` with the mark `checked` and its companion value; returns the item's index,
    // which is its sorted position.
    int AddItem(const QString& companion, const QString& text, bool checked);
    // The row of the item whose text equals `text`, letter case ignored; -1 when none does.
    int IndexOf(const QString& text) const;

    QString Companion(int index) const;
    // The mark given when the item was added.
    bool CheckedWhenAdded(int index) const;
    bool Checked(int index) const;
    void setChecked(int index, bool checked);
    void setAllChecked(bool checked);
    bool AnyChecked() const;
    // Texts of the items in list order, of all of them or of the checked ones.
    QStringList Items() const;
    QStringList CheckedItems() const;

private:
    QCollator m_collator;
};
