#include "recipients.h"

#include "usertree.h"

#include <QCoreApplication>

namespace
{
QString tr(const char* text)
{
    return QCoreApplication::translate("Recipients", text);
}

QString withoutMarker(const QString& entry)
{
    const UserEntryParts parts = SepararUsuario(entry);
    return UserEntryText(parts.user, parts.computer);
}
} // namespace

namespace Recipients
{
QStringList forEntry(const UserTree& visible, const UserTreeNode& entry)
{
    const UserEntryParts parts = SepararUsuario(entry.text());
    QStringList entries { UserEntryText(parts.user, parts.computer) };
    // The same user on other computers beside the entry: one message reaches them all.
    const UserTreeNode* parent = entry.parent();
    const int siblings = parent ? parent->childCount() : visible.topLevelCount();
    for (int row = 0; row < siblings; ++row) {
        const UserTreeNode* sibling = parent ? parent->child(row) : visible.topLevel(row);
        if (!sibling->isUserEntry())
            continue;
        const UserEntryParts other = SepararUsuario(sibling->text());
        if (other.user == parts.user && other.computer != parts.computer)
            entries.append(UserEntryText(other.user, other.computer));
    }
    return entries;
}

QStringList forGroup(const UserTreeNode& group)
{
    QStringList entries;
    for (int row = 0; row < group.childCount(); ++row) {
        const UserTreeNode* child = group.child(row);
        if (child->isUserEntry())
            entries.append(withoutMarker(child->text()));
    }
    return entries;
}

QStringList everyoneShown(const UserTree& visible)
{
    QStringList entries;
    for (const UserTreeNode* node : visible.nodes()) {
        if (node->isUserEntry())
            entries.append(node->text());
    }
    return entries;
}

QString tooltip(const QList<ListedRecipient>& list)
{
    QString text;
    for (const ListedRecipient& recipient : list) {
        if (!recipient.checked)
            continue;
        // The text before the first "(", as listed: the list never holds markers.
        const qsizetype open = recipient.entry.indexOf(QLatin1Char('('));
        const QString user = TrimBlanks(open >= 0 ? recipient.entry.left(open) : recipient.entry);
        // A substring test, as the tooltip has always had: a name inside one shown (RUNO after BRUNO) is left out.
        if (text.contains(user))
            continue;
        text += text.isEmpty() ? tr("Destino:\n%1").arg(user) : QStringLiteral(",\n") + user;
    }
    return text;
}
} // namespace Recipients
