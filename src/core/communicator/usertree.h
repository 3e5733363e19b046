#pragma once

#include "presence.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// Images of the tree image set: the five presence states (also the wire status index), then
// the two group pictures.
namespace TreeIcon
{
inline constexpr int Online = PresenceIndex(Presence::Online);
inline constexpr int Away = PresenceIndex(Presence::Away);
inline constexpr int Busy = PresenceIndex(Presence::Busy);
inline constexpr int Invisible = PresenceIndex(Presence::Invisible);
inline constexpr int Offline = PresenceIndex(Presence::Offline);
inline constexpr int ClosedGroup = 5;
inline constexpr int OpenGroup = 6;
} // namespace TreeIcon

// A user entry is told from a group by its text alone. Its text is an optional marker ("."
// invisible, "'" offline), the user name, a blank and the computer name in parentheses:
// "ana (pc-02)", ".ana (pc-02)", "'ana (pc-02)".
bool EhUsuario(const QString& text);
// The marker tests look at the whole text on purpose: user and computer names never hold
// either character (see IsAcceptableName), so only a marker can put one there.
bool EhInvisivel(const QString& text);
bool EhDesconectado(const QString& text);

// A user name or computer name taken from the network may become part of an entry only when
// this holds: not empty, no control characters, no leading or trailing blanks, and none of
// . ' ( ) [ ] | (they are the entry markers, the entry delimiters and the frame delimiters).
// Anything else could forge markers, break the entry format or split a line of the tree file.
bool IsAcceptableName(const QString& name);

// The text of a user entry without marker: "ana (pc-02)". Also the recipient text of the send
// window.
QString UserEntryText(const QString& user, const QString& computer);

// Leading and trailing blanks and control characters (everything up to U+0020) removed.
QString TrimBlanks(const QString& text);

class UserTreeNode;

// The parts of a user entry.
struct UserEntryParts
{
    QString user;
    QString computer;
    QString group; // the parent's text; empty at the top level
};

// Splits an entry text; the group is left empty.
UserEntryParts SepararUsuario(const QString& text);
// Splits an entry node; the group is its parent's text.
UserEntryParts SepararUsuario(const UserTreeNode& node);

// One node of a user tree. Nodes are changed only through their UserTree, which keeps the
// icon rules and, for a sorted tree, the order of the siblings.
class UserTreeNode final
{
public:
    const QString& text() const { return m_text; }
    int imageIndex() const { return m_imageIndex; }
    bool isExpanded() const { return m_expanded; }
    bool isUserEntry() const { return EhUsuario(m_text); }

    // Nothing for a top-level node.
    UserTreeNode* parent() const;
    int childCount() const { return static_cast<int>(m_children.size()); }
    UserTreeNode* child(int row) const;
    // Position among the siblings.
    int row() const;
    // 0 for a top-level node.
    int level() const;

private:
    friend class UserTree;
    UserTreeNode(UserTreeNode* parent, const QString& text, int imageIndex);

    QString m_text;
    int m_imageIndex = 0;
    bool m_expanded = false;
    UserTreeNode* m_parent = nullptr; // the tree's hidden root for top-level nodes
    const UserTreeNode* m_root = nullptr; // the hidden root of the owning tree
    std::vector<std::unique_ptr<UserTreeNode>> m_children;
};

// An ordered tree of groups and user entries. The communicator keeps two: the master tree,
// which holds every entry ever seen in stored order and is the one saved to the tree file,
// and the visible tree, a filtered copy sorted by text, which the window mirrors.
// Groups only ever arise at the top level, but a tree read from a file may nest deeper and
// every operation copes with that.
class UserTree final
{
public:
    UserTree();
    ~UserTree();
    UserTree(UserTree&& other) noexcept;
    UserTree& operator=(UserTree&& other) noexcept;
    UserTree(const UserTree&) = delete;
    UserTree& operator=(const UserTree&) = delete;

    // A deep copy of texts, icons and expanded flags; the copy is not sorted.
    UserTree copy() const;

    bool isEmpty() const { return m_root->m_children.empty(); }
    // Every node, at every level.
    int count() const;
    int topLevelCount() const { return m_root->childCount(); }
    UserTreeNode* topLevel(int row) const { return m_root->child(row); }
    // Every node in index order: depth first, each node before its children.
    QList<UserTreeNode*> nodes() const;
    void clear();

    // Adds a node as the last child of `parent` (nothing: the top level), or at its sorted
    // place in a sorted tree.
    UserTreeNode* addNode(UserTreeNode* parent, const QString& text, int imageIndex);
    // Deletes the node with everything below it. A group left without children closes.
    void removeNode(UserTreeNode* node);
    // Makes `node` the last child of `newParent` (nothing: the top level). Refused (false)
    // when the node would end up below itself.
    bool moveNode(UserTreeNode* node, UserTreeNode* newParent);
    void setText(UserTreeNode* node, const QString& text);
    void setImageIndex(UserTreeNode* node, int imageIndex);
    // Opening a group gives it the open-group icon, closing it the closed one. A node without
    // children cannot be opened.
    void setExpanded(UserTreeNode* node, bool expanded);

    // Sorted trees keep the siblings of every level in the collator's order of their texts.
    bool isSorted() const { return m_collator.has_value(); }
    void sortBy(const QLocale& locale);

    // The first user entry in index order with this user name and, when `computer` is not
    // empty, this computer name. Names compare exactly.
    UserTreeNode* ProcurarUsuario(const QString& user, const QString& computer = {}) const;
    // The first top-level group whose text is exactly `name`.
    UserTreeNode* ProcurarGrupo(const QString& name) const;
    // Appends a closed top-level group. The name is taken as given: check it first
    // (GroupCommands::checkGroupName).
    UserTreeNode* CriarGrupo(const QString& name);
    // Moves each child of the group, first child first, to the end of the top level.
    void SoltarUsuariosGrupo(UserTreeNode* group);
    // Moves the entry, and every entry of the same user name beside it (the same user on other
    // computers), to the end of `target` (nothing: the top level); the target opens. Returns
    // false and changes nothing when the entry is not a user entry, the target is a user
    // entry, or the entries already are where they should go.
    bool MoverUsuario(UserTreeNode* entry, UserTreeNode* target);

    // Puts a presence into the tree (index 0..4 as in TreeIcon). Updates the first entry in index
    // order of this user and computer, or adds one beside the user's last other entry (so in that
    // user's group), else at the top level. The computer name is stored in lower case. Refuses
    // unacceptable names and indexes outside 0..4. Returns whether the tree changed; the caller
    // then saves the file and starts the refresh timer.
    // Both entries are found through an index of the entries, so a storm of N stations costs N
    // lookups rather than N walks of the tree. Any other change of the tree drops the index; the
    // next presence builds it again in one walk.
    bool AtualizarUsuario(const QString& user, const QString& computer, int index);

    // Unloading: every user entry loses its invisible marker and gets the offline one.
    // Icons stay as they are.
    void markAllOffline();
    // Loading: every user entry becomes offline with the offline icon, every group gets the
    // closed-group icon and a name without leading or trailing blanks.
    void markLoaded();

    // The group names for the "Inserir Usuário no Grupo" submenus: the top-level groups in
    // stored order.
    QStringList groupNames() const;

    // The groups to reopen after a rebuild: the parent of every node that now shows (all its
    // ancestors open).
    QStringList openGroups() const;

    // Builds the visible tree from the master: a copy with trimmed texts, without invisible
    // or offline entries, sorted at every level by `locale`. Groups named in `openGroups`
    // open again, or every group opens when `keepGroupsOpen` (MANTER_GRUPOS_ABERTOS) is set;
    // a group left without entries stays closed.
    static UserTree MontarArvore(
        const UserTree& master, const QStringList& openGroups, const QLocale& locale, bool keepGroupsOpen);

private:
    bool owns(const UserTreeNode* node) const;
    UserTreeNode* container(UserTreeNode* parent) const { return parent ? parent : m_root.get(); }
    std::unique_ptr<UserTreeNode> detach(UserTreeNode* node);
    void attach(UserTreeNode* parent, std::unique_ptr<UserTreeNode> node);
    void closeIfChildless(UserTreeNode* node);
    void sortChildren(UserTreeNode* parent);
    void sortAll(UserTreeNode* parent);

    // Where AtualizarUsuario finds its entries: by "user(computer" the first entry in index
    // order, by user name the last one. Valid while only AtualizarUsuario changes the tree.
    struct EntryIndex
    {
        QHash<QString, UserTreeNode*> first;
        QHash<QString, UserTreeNode*> lastOfUser;
    };
    EntryIndex& entryIndex();

    std::unique_ptr<UserTreeNode> m_root;
    std::optional<QCollator> m_collator;
    std::unique_ptr<EntryIndex> m_index;
};
