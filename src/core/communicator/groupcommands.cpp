#include "groupcommands.h"

#include "ansi.h"
#include "namerules.h"
#include "prompter.h"

#include <QCoreApplication>

#include <algorithm>
#include <vector>

namespace GroupCommands
{
namespace
{
// Follow-ups of a command that changed the group names.
TreeChange groupsChanged()
{
    TreeChange change;
    change.rebuildMenus = true;
    change.save = true;
    change.rebuildVisible = true;
    return change;
}

TreeChange entriesMoved()
{
    TreeChange change;
    change.save = true;
    change.rebuildVisible = true;
    return change;
}

void warn(Prompter& prompter, const char* text)
{
    prompter.message(Prompter::Kind::Warning, tr(TituloMensagem), tr(text));
}

void inform(Prompter& prompter, const char* text)
{
    prompter.message(Prompter::Kind::Information, tr(TituloMensagem), tr(text));
}

// The master tree's entry for a node of the visible tree.
UserTreeNode* masterEntry(const UserTree& master, const UserTreeNode& entry)
{
    const UserEntryParts parts = SepararUsuario(entry.text());
    return master.ProcurarUsuario(parts.user, parts.computer);
}
} // namespace

QString tr(const char* text)
{
    return QCoreApplication::translate("GroupCommands", text);
}

bool isForbiddenChar(QChar c)
{
    return NameRules::isForbidden(c);
}

CheckedName checkGroupName(const UserTree& master, const QString& typed)
{
    CheckedName result;
    result.name = TrimBlanks(typed);
    const QString& name = result.name;
    const bool storable = Ansi::decode(Ansi::encode(name)) == name;
    const bool valid = !name.isEmpty() && storable && std::none_of(name.begin(), name.end(), [](QChar c) {
        return isForbiddenChar(c) || c.category() == QChar::Other_Control;
    });
    if (!valid)
        result.check = NameCheck::Invalid;
    else if (master.ProcurarGrupo(name))
        result.check = NameCheck::Exists;
    else
        result.check = NameCheck::Valid;
    return result;
}

namespace
{
// The name dialog of create and rename: asks again after an invalid name, ends after an
// existing one. `initial` is shown each time; with `keepTyped` a refused name is shown instead.
std::optional<QString> askGroupName(
    const UserTree& master, Prompter& prompter, const char* title, const QString& initial, bool keepTyped)
{
    QString shown = initial;
    for (;;) {
        const std::optional<QString> answer = prompter.askText(tr(title), tr(RotuloNome), shown);
        if (!answer)
            return std::nullopt;
        if (keepTyped)
            shown = *answer;
        const CheckedName checked = checkGroupName(master, *answer);
        if (checked.check == NameCheck::Invalid) {
            warn(prompter, NomeInvalido);
            continue;
        }
        if (checked.check == NameCheck::Exists) {
            inform(prompter, GrupoJaExiste);
            return std::nullopt;
        }
        return checked.name;
    }
}
} // namespace

TreeChange createGroup(UserTree& master, Prompter& prompter)
{
    const std::optional<QString> name = askGroupName(master, prompter, TituloCriacao, {}, true);
    if (!name)
        return {};
    master.CriarGrupo(*name);
    return groupsChanged();
}

TreeChange renameGroup(UserTree& master, const QString& name, Prompter& prompter)
{
    const std::optional<QString> newName = askGroupName(master, prompter, TituloAlteracao, name, false);
    if (!newName)
        return {};
    UserTreeNode* group = master.ProcurarGrupo(name);
    if (!group)
        return {};
    master.setText(group, *newName);
    return groupsChanged();
}

TreeChange removeGroup(UserTree& master, const QString& name, Prompter& prompter)
{
    if (!prompter.confirm(Prompter::Kind::Warning, tr(TituloMensagem), tr(ConfirmaRemocao)))
        return {};
    UserTreeNode* group = master.ProcurarGrupo(name);
    if (!group)
        return {};
    master.SoltarUsuariosGrupo(group);
    master.removeNode(group);
    return groupsChanged();
}

TreeChange takeUserOutOfGroup(UserTree& master, const UserTreeNode* selected)
{
    if (!selected || !selected->isUserEntry() || !selected->parent())
        return {};
    const UserEntryParts parts = SepararUsuario(*selected);
    UserTreeNode* group = master.ProcurarGrupo(parts.group);
    if (!group)
        return {};
    std::vector<UserTreeNode*> leaving;
    for (int row = 0; row < group->childCount(); ++row) {
        UserTreeNode* node = group->child(row);
        if (node->isUserEntry() && SepararUsuario(node->text()).user == parts.user)
            leaving.push_back(node);
    }
    if (leaving.empty())
        return {};
    for (UserTreeNode* node : leaving)
        master.moveNode(node, nullptr);
    return entriesMoved();
}

TreeChange putUserIntoGroup(UserTree& master, const UserTreeNode* selected, const QString& group)
{
    if (!selected || !selected->isUserEntry())
        return {};
    UserTreeNode* entry = masterEntry(master, *selected);
    UserTreeNode* target = master.ProcurarGrupo(group);
    // A missing group must not turn into "no group": the user would fall out of the current one.
    if (!entry || !target || !master.MoverUsuario(entry, target))
        return {};
    return entriesMoved();
}

bool canEditLabel(const UserTreeNode* node)
{
    return node && !node->isUserEntry();
}

TreeChange renameInPlace(
    UserTree& master, UserTree& visible, UserTreeNode* group, const QString& edited, Prompter& prompter)
{
    TreeChange change;
    if (!canEditLabel(group))
        return change;
    // The editor shows what was typed; every outcome puts the node's own text back on the label.
    change.visibleChanged = true;
    const QString oldName = group->text();
    const QString typed = TrimBlanks(edited);
    if (typed.isEmpty() || typed == oldName)
        return change;
    const CheckedName checked = checkGroupName(master, typed);
    if (checked.check == NameCheck::Invalid) {
        warn(prompter, NomeInvalido);
        return change;
    }
    if (checked.check == NameCheck::Exists) {
        warn(prompter, GrupoJaExiste);
        return change;
    }
    UserTreeNode* stored = master.ProcurarGrupo(oldName);
    if (!stored)
        return change;
    master.setText(stored, checked.name);
    visible.setText(group, checked.name);
    change.rebuildMenus = true;
    change.save = true;
    return change;
}

bool acceptsTreeDrop(const UserTreeNode* dragged, const UserTreeNode* under)
{
    return dragged && dragged->isUserEntry() && !(under && under->isUserEntry());
}

bool acceptsStripDrop(const UserTreeNode* dragged)
{
    return dragged && dragged->isUserEntry();
}

TreeChange dropOnGroup(UserTree& master, UserTree& visible, UserTreeNode* entry, UserTreeNode* group)
{
    TreeChange change;
    if (!acceptsTreeDrop(entry, group) || !group)
        return change;
    // Looked up before the move: the group's text is what the master tree knows it by.
    UserTreeNode* storedEntry = masterEntry(master, *entry);
    UserTreeNode* storedGroup = master.ProcurarGrupo(group->text());
    change.visibleChanged = visible.MoverUsuario(entry, group);
    if (storedEntry && storedGroup)
        change.save = master.MoverUsuario(storedEntry, storedGroup);
    return change;
}

TreeChange dropOnStrip(UserTree& master, UserTree& visible, UserTreeNode* entry)
{
    TreeChange change;
    if (!acceptsStripDrop(entry) || !entry->parent())
        return change;
    UserTreeNode* storedEntry = masterEntry(master, *entry);
    change.visibleChanged = visible.MoverUsuario(entry, nullptr);
    if (storedEntry && storedEntry->parent())
        change.save = master.MoverUsuario(storedEntry, nullptr);
    return change;
}
} // namespace GroupCommands
