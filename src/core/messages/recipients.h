#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class UserTree;
class UserTreeNode;

// One entry of the send window's recipient list ("ana (pc-02)") and its check mark.
struct ListedRecipient
{
    QString entry;
    bool checked = false;
};

// Who a message goes to, worked out from the communicator's visible tree; the send window
// adds the entries it is given (an entry already listed keeps its mark).
namespace Recipients
{
// "Enviar" on a user entry: the entry without marker, then every entry beside it (the same
// group, or the top level) of the same user on another computer, in tree order.
QStringList forEntry(const UserTree& visible, const UserTreeNode& entry);
// "Enviar" on a group: every user entry directly under it, without marker.
QStringList forGroup(const UserTreeNode& group);
// "Enviar para Todos" and "Carregar Usuários": every user entry the visible tree shows, in
// tree order.
QStringList everyoneShown(const UserTree& visible);

// The recipient list's tooltip: "Destino:" and the user name of each ticked entry in list
// order, one a line, separated by ","; a name already contained in the text is left out.
// Empty when nothing is ticked.
QString tooltip(const QList<ListedRecipient>& list);
} // namespace Recipients
