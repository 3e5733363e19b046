#include "torbchecklistbox.h"

namespace
{
constexpr int CompanionRole = Qt::UserRole;
constexpr int AddedCheckedRole = Qt::UserRole + 1;
} // namespace

TOrbCheckListBox::TOrbCheckListBox(QWidget* parent)
    : QListWidget(parent)
{
    setCollation(QLocale());
    // Names come from the network: a long one is shortened on screen, never widens the window.
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
}

TOrbCheckListBox::~TOrbCheckListBox() = default;

void TOrbCheckListBox::setCollation(const QLocale& locale)
{
    m_collator = QCollator(locale);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
}

int TOrbCheckListBox::AddItem(const QString& companion, const QString& text, bool checked)
{
    // After every item that does not sort behind the new one: equal texts keep their order
    // of arrival.
    int row = 0;
    while (row < count() && m_collator.compare(item(row)->text(), text) <= 0)
        ++row;
    auto* entry = new QListWidgetItem(text);
    entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    entry->setData(CompanionRole, companion);
    entry->setData(AddedCheckedRole, checked);
    insertItem(row, entry);
    return row;
}

int TOrbCheckListBox::IndexOf(const QString& text) const
{
    for (int row = 0; row < count(); ++row) {
        if (item(row)->text().compare(text, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

QString TOrbCheckListBox::Companion(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(CompanionRole).toString() : QString();
}

bool TOrbCheckListBox::CheckedWhenAdded(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry && entry->data(AddedCheckedRole).toBool();
}

bool TOrbCheckListBox::Checked(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry && entry->checkState() == Qt::Checked;
}

void TOrbCheckListBox::setChecked(int index, bool checked)
{
    if (QListWidgetItem* entry = item(index))
        entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TOrbCheckListBox::setAllChecked(bool checked)
{
    for (int row = 0; row < count(); ++row)
        setChecked(row, checked);
}

bool TOrbCheckListBox::AnyChecked() const
{
    for (int row = 0; row < count(); ++row) {
        if (Checked(row))
            return true;
    }
    return false;
}

QStringList TOrbCheckListBox::Items() const
{
    QStringList texts;
    for (int row = 0; row < count(); ++row)
        texts.append(item(row)->text());
    return texts;
}

QStringList TOrbCheckListBox::CheckedItems() const
{
    QStringList texts;
    for (int row = 0; row < count(); ++row) {
        if (Checked(row))
            texts.append(item(row)->text());
    }
    return texts;
}
