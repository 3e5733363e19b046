#include "usertree.h"

#include "namerules.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace
{
const QChar InvisibleMarker = QLatin1Char('.');
const QChar OfflineMarker = QLatin1Char('\'');

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

// The text without its first `marker`, wherever it stands: a name never holds one (IsAcceptableName).
QString without(QString text, QChar marker)
{
    const qsizetype at = text.indexOf(marker);
    if (at >= 0)
        text.remove(at, 1);
    return text;
}

QString withoutMarkers(const QString& text)
{
    return without(without(text, InvisibleMarker), OfflineMarker);
}

// Text of an entry in the given state: markers removed, then the one for the index put in front.
QString entryTextFor(QString text, int index)
{
    text = withoutMarkers(text);
    if (index == TreeIcon::Invisible)
        text.prepend(InvisibleMarker);
    else if (index == TreeIcon::Offline)
        text.prepend(OfflineMarker);
    return text;
}

// Unloading and loading leave an entry offline: no invisible marker, one offline marker.
QString offlineText(QString text)
{
    text = without(text, InvisibleMarker);
    if (!text.contains(OfflineMarker))
        text.prepend(OfflineMarker);
    return text;
}

// The index key of a user on a computer. A user name taken from an entry holds no "(".
QString entryKey(const QString& user, const QString& computer)
{
    return user + QLatin1Char('(') + computer;
}
} // namespace

bool EhUsuario(const QString& text)
{
    return text.contains(QLatin1Char('(')) && text.contains(QLatin1Char(')'));
}

bool EhInvisivel(const QString& text)
{
    return text.contains(InvisibleMarker);
}

bool EhDesconectado(const QString& text)
{
    return text.contains(OfflineMarker);
}

bool IsAcceptableName(const QString& name)
{
    if (name.isEmpty() || name.trimmed() != name)
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) { return isControl(c) || NameRules::isForbidden(c); });
}

QString UserEntryText(const QString& user, const QString& computer)
{
    return user + QStringLiteral(" (") + computer + QLatin1Char(')');
}

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

UserEntryParts SepararUsuario(const QString& text)
{
    UserEntryParts parts;
    const qsizetype open = text.indexOf(QLatin1Char('('));
    const qsizetype close = text.indexOf(QLatin1Char(')'));
    parts.user = TrimBlanks(withoutMarkers(TrimBlanks(open >= 0 ? text.left(open) : text)));
    // A ")" before the "(" leaves no computer name rather than a negative span.
    if (open >= 0 && close > open)
        parts.computer = TrimBlanks(text.mid(open + 1, close - open - 1));
    return parts;
}

UserEntryParts SepararUsuario(const UserTreeNode& node)
{
    UserEntryParts parts = SepararUsuario(node.text());
    if (const UserTreeNode* parent = node.parent())
        parts.group = parent->text();
    return parts;
}

// --- UserTreeNode -------------------------------------------------------------------------

UserTreeNode::UserTreeNode(UserTreeNode* parent, const QString& text, int imageIndex)
    : m_text(text)
    , m_imageIndex(imageIndex)
    , m_parent(parent)
{ }

UserTreeNode* UserTreeNode::parent() const
{
    // The hidden root is the only node without a parent of its own.
    return m_parent && m_parent->m_parent ? m_parent : nullptr;
}

UserTreeNode* UserTreeNode::child(int row) const
{
    if (row < 0 || row >= childCount())
        return nullptr;
    return m_children[static_cast<std::size_t>(row)].get();
}

int UserTreeNode::row() const
{
    if (!m_parent)
        return 0;
    const auto& siblings = m_parent->m_children;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() == this)
            return static_cast<int>(i);
    }
    return -1;
}

int UserTreeNode::level() const
{
    int level = 0;
    for (const UserTreeNode* p = parent(); p; p = p->parent())
        ++level;
    return level;
}

// --- UserTree -----------------------------------------------------------------------------

UserTree::UserTree()
    : m_root(new UserTreeNode(nullptr, QString(), 0))
{ }

UserTree::~UserTree()
{
    // Moves swap roots, so there always is one to clear.
    clear();
}

UserTree::UserTree(UserTree&& other) noexcept
    : UserTree()
{
    std::swap(m_root, other.m_root);
    std::swap(m_collator, other.m_collator);
    std::swap(m_index, other.m_index);
}

UserTree& UserTree::operator=(UserTree&& other) noexcept
{
    if (this != &other) {
        std::swap(m_root, other.m_root);
        std::swap(m_collator, other.m_collator);
        std::swap(m_index, other.m_index);
        other.clear();
        other.m_collator.reset();
    }
    return *this;
}

UserTree UserTree::copy() const
{
    UserTree result;
    // Iterative on purpose: a file may nest as deep as it likes.
    std::vector<std::pair<const UserTreeNode*, UserTreeNode*>> pending;
    for (auto it = m_root->m_children.rbegin(); it != m_root->m_children.rend(); ++it)
        pending.emplace_back(it->get(), nullptr);
    // Pre-order with a stack: children are pushed in reverse so they come out in order, and
    // each is appended to its already copied parent.
    while (!pending.empty()) {
        auto [source, parent] = pending.back();
        pending.pop_back();
        UserTreeNode* made = result.container(parent);
        auto node = std::unique_ptr<UserTreeNode>(new UserTreeNode(made, source->m_text, source->m_imageIndex));
        node->m_expanded = source->m_expanded;
        node->m_root = made->m_root ? made->m_root : made;
        UserTreeNode* raw = node.get();
        made->m_children.push_back(std::move(node));
        for (auto it = source->m_children.rbegin(); it != source->m_children.rend(); ++it)
            pending.emplace_back(it->get(), raw);
    }
    return result;
}

int UserTree::count() const
{
    return static_cast<int>(nodes().size());
}

QList<UserTreeNode*> UserTree::nodes() const
{
    QList<UserTreeNode*> result;
    std::vector<UserTreeNode*> stack;
    for (auto it = m_root->m_children.rbegin(); it != m_root->m_children.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        UserTreeNode* node = stack.back();
        stack.pop_back();
        result.append(node);
        for (auto it = node->m_children.rbegin(); it != node->m_children.rend(); ++it)
            stack.push_back(it->get());
    }
    return result;
}

void UserTree::clear()
{
    m_index.reset();
    // Children are released bottom-up so that a deeply nested tree does not recurse in the
    // destructors.
    std::vector<std::unique_ptr<UserTreeNode>> pending = std::move(m_root->m_children);
    m_root->m_children.clear();
    while (!pending.empty()) {
        std::unique_ptr<UserTreeNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->m_children)
            pending.push_back(std::move(child));
    }
}

bool UserTree::owns(const UserTreeNode* node) const
{
    return node && node->m_root == m_root.get();
}

std::unique_ptr<UserTreeNode> UserTree::detach(UserTreeNode* node)
{
    m_index.reset();
    auto& siblings = node->m_parent->m_children;
    const auto it = std::find_if(siblings.begin(), siblings.end(), [node](const auto& p) { return p.get() == node; });
    std::unique_ptr<UserTreeNode> owned = std::move(*it);
    siblings.erase(it);
    UserTreeNode* oldParent = owned->m_parent;
    owned->m_parent = nullptr;
    owned->m_root = nullptr;
    if (oldParent != m_root.get())
        closeIfChildless(oldParent);
    return owned;
}

void UserTree::attach(UserTreeNode* parent, std::unique_ptr<UserTreeNode> node)
{
    m_index.reset();
    UserTreeNode* target = container(parent);
    node->m_parent = target;
    node->m_root = m_root.get();
    auto& children = target->m_children;
    if (!m_collator) {
        children.push_back(std::move(node));
        return;
    }
    // The siblings are in order already: the node goes after every sibling it does not precede.
    const QCollator& collator = *m_collator;
    const auto place = std::upper_bound(children.begin(), children.end(), node->m_text,
        [&collator](const QString& text, const auto& sibling) { return collator.compare(text, sibling->m_text) < 0; });
    children.insert(place, std::move(node));
}

void UserTree::closeIfChildless(UserTreeNode* node)
{
    if (node->m_children.empty() && node->m_expanded) {
        node->m_expanded = false;
        if (!node->isUserEntry())
            node->m_imageIndex = TreeIcon::ClosedGroup;
    }
}

UserTreeNode* UserTree::addNode(UserTreeNode* parent, const QString& text, int imageIndex)
{
    if (parent && !owns(parent))
        return nullptr;
    auto node = std::unique_ptr<UserTreeNode>(new UserTreeNode(nullptr, text, imageIndex));
    UserTreeNode* raw = node.get();
    attach(parent, std::move(node));
    return raw;
}

void UserTree::removeNode(UserTreeNode* node)
{
    if (!owns(node))
        return;
    std::unique_ptr<UserTreeNode> owned = detach(node);
    // Release the subtree without deep recursion.
    std::vector<std::unique_ptr<UserTreeNode>> pending;
    pending.push_back(std::move(owned));
    while (!pending.empty()) {
        std::unique_ptr<UserTreeNode> n = std::move(pending.back());
        pending.pop_back();
        for (auto& child : n->m_children)
            pending.push_back(std::move(child));
    }
}

bool UserTree::moveNode(UserTreeNode* node, UserTreeNode* newParent)
{
    if (!owns(node) || (newParent && !owns(newParent)))
        return false;
    for (const UserTreeNode* p = newParent; p; p = p->parent()) {
        if (p == node)
            return false;
    }
    attach(newParent, detach(node));
    return true;
}

void UserTree::setText(UserTreeNode* node, const QString& text)
{
    if (!owns(node) || node->m_text == text)
        return;
    m_index.reset();
    node->m_text = text;
    if (m_collator)
        sortChildren(node->m_parent);
}

void UserTree::setImageIndex(UserTreeNode* node, int imageIndex)
{
    if (owns(node))
        node->m_imageIndex = imageIndex;
}

void UserTree::setExpanded(UserTreeNode* node, bool expanded)
{
    if (!owns(node) || (expanded && node->m_children.empty()))
        return;
    node->m_expanded = expanded;
    if (!node->isUserEntry())
        node->m_imageIndex = expanded ? TreeIcon::OpenGroup : TreeIcon::ClosedGroup;
}

void UserTree::sortBy(const QLocale& locale)
{
    m_collator.emplace(locale);
    sortAll(m_root.get());
}

void UserTree::sortChildren(UserTreeNode* parent)
{
    m_index.reset();
    const QCollator& collator = *m_collator;
    std::stable_sort(parent->m_children.begin(), parent->m_children.end(),
        [&collator](const auto& a, const auto& b) { return collator.compare(a->m_text, b->m_text) < 0; });
}

void UserTree::sortAll(UserTreeNode* parent)
{
    std::vector<UserTreeNode*> stack { parent };
    while (!stack.empty()) {
        UserTreeNode* node = stack.back();
        stack.pop_back();
        sortChildren(node);
        for (const auto& child : node->m_children) {
            if (!child->m_children.empty())
                stack.push_back(child.get());
        }
    }
}

UserTreeNode* UserTree::ProcurarUsuario(const QString& user, const QString& computer) const
{
    const QList<UserTreeNode*> all = nodes();
    for (UserTreeNode* node : all) {
        if (!node->isUserEntry())
            continue;
        const UserEntryParts parts = SepararUsuario(node->m_text);
        if (parts.user == user && (computer.isEmpty() || parts.computer == computer))
            return node;
    }
    return nullptr;
}

UserTreeNode* UserTree::ProcurarGrupo(const QString& name) const
{
    for (const auto& node : m_root->m_children) {
        if (!node->isUserEntry() && node->m_text == name)
            return node.get();
    }
    return nullptr;
}

UserTreeNode* UserTree::CriarGrupo(const QString& name)
{
    return addNode(nullptr, name, TreeIcon::ClosedGroup);
}

void UserTree::SoltarUsuariosGrupo(UserTreeNode* group)
{
    if (!owns(group))
        return;
    while (!group->m_children.empty())
        attach(nullptr, detach(group->m_children.front().get()));
}

bool UserTree::MoverUsuario(UserTreeNode* entry, UserTreeNode* target)
{
    if (!owns(entry) || !entry->isUserEntry() || (target && (!owns(target) || target->isUserEntry())))
        return false;
    UserTreeNode* oldParent = entry->m_parent;
    // Everyone with this name beside the entry is already at the target: nothing to move. (Walking
    // the target's own children while appending to them would never end.)
    if (oldParent == container(target))
        return false;
    const QString user = SepararUsuario(entry->m_text).user;
    attach(target, detach(entry));
    // The old parent's children are taken first, so each namesake is moved once.
    std::vector<UserTreeNode*> siblings;
    for (const auto& node : oldParent->m_children)
        siblings.push_back(node.get());
    for (UserTreeNode* node : siblings) {
        if (node->isUserEntry() && SepararUsuario(node->m_text).user == user)
            attach(target, detach(node));
    }
    if (target)
        setExpanded(target, true);
    return true;
}

bool UserTree::AtualizarUsuario(const QString& user, const QString& computer, int index)
{
    // The dispatcher checks these names already; an entry is the tree file's line, so the tree
    // refuses them again rather than trust every caller.
    const QString lowerComputer = computer.toLower();
    if (!IsAcceptableName(user) || !IsAcceptableName(lowerComputer) || index < TreeIcon::Online
        || index > TreeIcon::Offline)
        return false;

    const QString key = entryKey(user, lowerComputer);
    UserTreeNode* node = entryIndex().first.value(key);
    if (node) {
        // Never trust a stale index with the wrong entry: should one slip through, walk again.
        const UserEntryParts parts = SepararUsuario(node->m_text);
        if (parts.user != user || parts.computer != lowerComputer) {
            m_index.reset();
            node = entryIndex().first.value(key);
        }
    }
    if (node) {
        const QString text = entryTextFor(node->m_text, index);
        const bool changed = text != node->m_text || node->m_imageIndex != index;
        node->m_imageIndex = index;
        // Only the marker changes, so the entry keeps its keys and the index holds.
        if (changed && m_collator)
            setText(node, text);
        else
            node->m_text = text;
        return changed;
    }

    const UserTreeNode* last = m_index->lastOfUser.value(user);
    // The new entry comes after every other entry in index order: the first of its name, the
    // last of its user.
    std::unique_ptr<EntryIndex> kept = std::move(m_index);
    UserTreeNode* added
        = addNode(last ? last->parent() : nullptr, entryTextFor(UserEntryText(user, lowerComputer), index), index);
    if (!m_collator) {
        kept->first.insert(key, added);
        kept->lastOfUser.insert(user, added);
        m_index = std::move(kept);
    }
    return true;
}

UserTree::EntryIndex& UserTree::entryIndex()
{
    if (m_index)
        return *m_index;
    m_index = std::make_unique<EntryIndex>();
    const QList<UserTreeNode*> all = nodes();
    for (UserTreeNode* node : all) {
        if (!node->isUserEntry())
            continue;
        const UserEntryParts parts = SepararUsuario(node->m_text);
        const QString key = entryKey(parts.user, parts.computer);
        if (!m_index->first.contains(key))
            m_index->first.insert(key, node);
        m_index->lastOfUser.insert(parts.user, node);
    }
    return *m_index;
}

void UserTree::markAllOffline()
{
    const QList<UserTreeNode*> all = nodes();
    for (UserTreeNode* node : all) {
        if (node->isUserEntry())
            setText(node, offlineText(node->m_text));
    }
}

void UserTree::markLoaded()
{
    const QList<UserTreeNode*> all = nodes();
    for (UserTreeNode* node : all) {
        if (node->isUserEntry()) {
            node->m_imageIndex = TreeIcon::Offline;
            setText(node, offlineText(node->m_text));
        } else {
            // Older files keep names as typed, and every lookup compares with the trimmed
            // names the visible tree shows.
            node->m_imageIndex = TreeIcon::ClosedGroup;
            setText(node, TrimBlanks(node->m_text));
        }
    }
}

QStringList UserTree::groupNames() const
{
    QStringList names;
    for (const auto& node : m_root->m_children) {
        if (!node->isUserEntry())
            names.append(node->m_text);
    }
    return names;
}

QStringList UserTree::openGroups() const
{
    QStringList open;
    QSet<QString> seen;
    std::vector<UserTreeNode*> stack;
    // Only open nodes are descended into, so every child met here shows.
    for (const auto& top : m_root->m_children) {
        if (top->m_expanded)
            stack.push_back(top.get());
    }
    while (!stack.empty()) {
        UserTreeNode* node = stack.back();
        stack.pop_back();
        if (!node->m_children.empty() && !seen.contains(node->m_text)) {
            seen.insert(node->m_text);
            open.append(node->m_text);
        }
        for (const auto& child : node->m_children) {
            if (child->m_expanded)
                stack.push_back(child.get());
        }
    }
    return open;
}

UserTree UserTree::MontarArvore(
    const UserTree& master, const QStringList& openGroups, const QLocale& locale, bool keepGroupsOpen)
{
    const QSet<QString> reopen(openGroups.begin(), openGroups.end());
    UserTree visible;
    // One walk of the master in index order: an invisible or offline entry is left out with
    // everything below it, every other node is appended to its copied parent with its text
    // trimmed. Sorting follows once, level by level.
    std::vector<std::pair<const UserTreeNode*, UserTreeNode*>> pending;
    for (auto it = master.m_root->m_children.rbegin(); it != master.m_root->m_children.rend(); ++it)
        pending.emplace_back(it->get(), visible.m_root.get());
    std::vector<UserTreeNode*> kept;
    while (!pending.empty()) {
        const auto [source, parent] = pending.back();
        pending.pop_back();
        const QString text = TrimBlanks(source->m_text);
        if (EhUsuario(text) && (EhInvisivel(text) || EhDesconectado(text)))
            continue;
        auto node = std::unique_ptr<UserTreeNode>(new UserTreeNode(parent, text, source->m_imageIndex));
        node->m_root = visible.m_root.get();
        UserTreeNode* raw = node.get();
        parent->m_children.push_back(std::move(node));
        kept.push_back(raw);
        for (auto it = source->m_children.rbegin(); it != source->m_children.rend(); ++it)
            pending.emplace_back(it->get(), raw);
    }

    for (UserTreeNode* node : kept) {
        // A group whose entries all went away comes back closed.
        node->m_expanded = !node->m_children.empty() && (keepGroupsOpen || reopen.contains(node->m_text));
        if (!node->isUserEntry())
            node->m_imageIndex = node->m_expanded ? TreeIcon::OpenGroup : TreeIcon::ClosedGroup;
    }
    visible.sortBy(locale);
    return visible;
}
