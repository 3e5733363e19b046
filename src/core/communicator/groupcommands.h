#pragma once

#include "usertree.h"

#include <QString>

class Prompter;

// What a tree command changed, so that the window follows up in this order: rebuild the group
// submenus, save the master tree, rebuild the visible tree, mirror the visible tree.
struct TreeChange
{
    bool rebuildMenus = false; // group names changed (MontarMenusGrupos)
    bool save = false; // the master tree changed: write the tree file
    bool rebuildVisible = false; // MontarArvore
    bool visibleChanged = false; // the visible tree was changed in place (no rebuild): mirror it

    bool any() const { return rebuildMenus || save || rebuildVisible || visibleChanged; }
};

// The group commands of the communicator ("Usuário" menu and the tree's context menu), label
// editing and drag and drop. The window checks that somebody is logged on where a command
// needs it, brackets the dialogs with DialogoAberto, passes the selected node of the visible
// tree, and follows the returned TreeChange.
namespace GroupCommands
{
// Texts of the commands, UTF-8; pass them through tr() to show them.
inline constexpr char TituloCriacao[] = "Criação de Grupo";
inline constexpr char TituloAlteracao[] = "Alteração de Grupo";
inline constexpr char RotuloNome[] = "Nome:";
inline constexpr char NomeInvalido[] = "Nome inválido!\rEvite usar os caracteres:  . ' ( ) [ ] |";
inline constexpr char GrupoJaExiste[] = "Grupo já existe!";
inline constexpr char ConfirmaRemocao[]
    = "Ao remover um grupo todos os usuários que pertenciam \ra este grupo ficarão livres "
      "na árvore de usuários!\r\rConfirma remoção do grupo?";
// Message boxes carry the application's title.
inline constexpr char TituloMensagem[] = "Colloqua";

QString tr(const char* text);

// The characters a group name may not hold; the label editor swallows them as they are typed.
bool isForbiddenChar(QChar c);

enum class NameCheck
{
    Valid,
    Invalid, // "Nome inválido!...": ask again
    Exists, // "Grupo já existe!": give up
};

struct CheckedName
{
    NameCheck check = NameCheck::Invalid;
    QString name; // the typed name without leading and trailing blanks
};

// A typed group name, trimmed, is invalid when it is empty, holds a forbidden character or a
// control character, or has a character the tree file cannot store; it exists when the master
// tree has a group of exactly that name (another letter case is another group).
CheckedName checkGroupName(const UserTree& master, const QString& typed);

// "Criar Grupo": asks for a name until it is valid or the dialog is cancelled; an invalid name
// asks again keeping what was typed, an existing one is refused once and ends the command.
TreeChange createGroup(UserTree& master, Prompter& prompter);
// "Alterar Grupo" of the group named `name`: the same loop, the field reset to the current
// name each time. Keeping the name counts as existing.
TreeChange renameGroup(UserTree& master, const QString& name, Prompter& prompter);
// "Remover Grupo": after a Yes, the group's entries go free to the end of the top level in
// their order and the group is deleted.
TreeChange removeGroup(UserTree& master, const QString& name, Prompter& prompter);

// "Remover Usuário do Grupo" with `selected` (a node of the visible tree): every entry of that
// user in the master tree's group of that name goes free. Anything but an entry inside a group
// does nothing.
TreeChange takeUserOutOfGroup(UserTree& master, const UserTreeNode* selected);
// A "Inserir Usuário no Grupo" entry: the selected user (with the same user's entries beside it)
// moves into the named group of the master tree. Nothing happens when either is missing there.
TreeChange putUserIntoGroup(UserTree& master, const UserTreeNode* selected, const QString& group);

// Only group labels can be edited.
bool canEditLabel(const UserTreeNode* node);
// Ends the editing of `group`'s label (a node of the visible tree) with `edited`. A valid new
// name renames the group in both trees; a blank, unchanged, invalid or existing name (the last
// two with their warning) leaves the old label.
TreeChange renameInPlace(
    UserTree& master, UserTree& visible, UserTreeNode* group, const QString& edited, Prompter& prompter);

// A drag that started in the visible tree may drop `dragged` onto `under` (nothing: empty
// space) when it is a user entry over anything but a user entry.
bool acceptsTreeDrop(const UserTreeNode* dragged, const UserTreeNode* under);
// ... and onto the left or top strip when it is a user entry.
bool acceptsStripDrop(const UserTreeNode* dragged);
// Drop onto a group: the entry and its namesakes move in the visible tree and, when the entry
// and the group are in the master tree, there too. No rebuild.
TreeChange dropOnGroup(UserTree& master, UserTree& visible, UserTreeNode* entry, UserTreeNode* group);
// Drop onto a strip: an entry inside a group leaves it with its namesakes, in both trees.
TreeChange dropOnStrip(UserTree& master, UserTree& visible, UserTreeNode* entry);
} // namespace GroupCommands
