#pragma once

#include "ansi.h"
#include "usertree.h"
#include "usertreefile.h"

#include <QStringList>

// Trees in tests are written as the tree file writes them: a line per node, a TAB per level,
// here joined by "\n".
namespace TreeText
{
inline UserTree treeOf(const QString& lines)
{
    return UserTreeFile::fromBytes(Ansi::encode(lines)).tree;
}

// The texts, one line per node with a TAB per level.
inline QString shape(const UserTree& tree)
{
    QStringList lines;
    const QList<UserTreeNode*> nodes = tree.nodes();
    for (const UserTreeNode* node : nodes)
        lines.append(QString(node->level(), QLatin1Char('\t')) + node->text());
    return lines.join(QLatin1Char('\n'));
}

// As shape(), each text followed by "|" and the icon, and "+" when the node is open.
inline QString look(const UserTree& tree)
{
    QStringList lines;
    const QList<UserTreeNode*> nodes = tree.nodes();
    for (const UserTreeNode* node : nodes) {
        lines.append(QString(node->level(), QLatin1Char('\t')) + node->text() + QLatin1Char('|')
            + QString::number(node->imageIndex()) + (node->isExpanded() ? QStringLiteral("+") : QString()));
    }
    return lines.join(QLatin1Char('\n'));
}

// The first node with this text.
inline UserTreeNode* find(const UserTree& tree, const QString& text)
{
    const QList<UserTreeNode*> nodes = tree.nodes();
    for (UserTreeNode* node : nodes) {
        if (node->text() == text)
            return node;
    }
    return nullptr;
}
} // namespace TreeText
