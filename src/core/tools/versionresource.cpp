#include "versionresource.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>

namespace
{
constexpr qsizetype HeaderSize = 6; // wLength, wValueLength, wType
constexpr qsizetype MaxNodeLength = 0xFFFF;
// Root, StringFileInfo, string table, string: anything deeper is not a version block.
constexpr int MaxDepth = 6;
constexpr quint16 BinaryType = 0;
constexpr quint16 TextType = 1;

qsizetype align4(qsizetype n)
{
    return (n + 3) & ~qsizetype(3);
}

void appendWord(QByteArray& out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void appendDword(QByteArray& out, quint32 value)
{
    appendWord(out, quint16(value & 0xFFFF));
    appendWord(out, quint16(value >> 16));
}

void padTo4(QByteArray& out)
{
    out.append(align4(out.size()) - out.size(), '\0');
}

QByteArray utf16z(QStringView text)
{
    QByteArray out;
    out.reserve((text.size() + 1) * 2);
    for (const QChar c : text)
        appendWord(out, c.unicode());
    appendWord(out, 0);
    return out;
}

// One node; every node starts on a 32-bit boundary, so aligning within the node aligns in the block.
// Empty when the node would not fit its 16-bit length.
QByteArray buildNode(const QString& key, quint16 type, quint16 valueLength, const QByteArray& value,
    const QList<QByteArray>& children = {})
{
    QByteArray out(HeaderSize, '\0');
    out += utf16z(key);
    padTo4(out);
    out += value;
    for (const QByteArray& child : children) {
        if (child.isEmpty())
            return {};
        padTo4(out);
        out += child;
    }
    if (out.size() > MaxNodeLength)
        return {};
    qToLittleEndian<quint16>(quint16(out.size()), out.data());
    qToLittleEndian<quint16>(valueLength, out.data() + 2);
    qToLittleEndian<quint16>(type, out.data() + 4);
    return out;
}

QByteArray fixedBytes(const VersionFixedInfo& fixed)
{
    QByteArray out;
    for (const quint32 word : { fixed.signature, fixed.structVersion, fixed.fileVersionMS, fixed.fileVersionLS,
             fixed.productVersionMS, fixed.productVersionLS, fixed.fileFlagsMask, fixed.fileFlags, fixed.fileOS,
             fixed.fileType, fixed.fileSubtype, fixed.fileDateMS, fixed.fileDateLS })
        appendDword(out, word);
    return out;
}

quint16 wordAt(QByteArrayView bytes, qsizetype offset)
{
    return qFromLittleEndian<quint16>(bytes.data() + offset);
}

quint32 dwordAt(QByteArrayView bytes, qsizetype offset)
{
    return qFromLittleEndian<quint32>(bytes.data() + offset);
}

// The keys are kept as Latin-1 and widened at run time, so that this program's own constant
// data never holds a UTF-16 copy of the root's key that a search could take for a block.
QString rootKey()
{
    return QLatin1StringView("VS_VERSION_INFO");
}
} // namespace

QByteArray buildVersionResource(const VersionResourceContent& content)
{
    QList<QByteArray> strings;
    for (const auto& [key, text] : content.strings) {
        if (text.size() + 1 > MaxNodeLength)
            return {};
        strings.append(buildNode(key, TextType, quint16(text.size() + 1), utf16z(text)));
    }
    const QByteArray table = buildNode(content.stringTableKey, TextType, 0, {}, strings);
    const QByteArray stringFileInfo = buildNode(QLatin1StringView("StringFileInfo"), TextType, 0, {}, { table });

    QByteArray translationTable;
    for (const quint32 entry : content.translations)
        appendDword(translationTable, entry);
    if (translationTable.size() > MaxNodeLength)
        return {};
    const QByteArray translation
        = buildNode(QLatin1StringView("Translation"), BinaryType, quint16(translationTable.size()), translationTable);
    const QByteArray varFileInfo = buildNode(QLatin1StringView("VarFileInfo"), TextType, 0, {}, { translation });

    const QByteArray fixed = content.fixed ? fixedBytes(*content.fixed) : QByteArray();
    return buildNode(rootKey(), BinaryType, quint16(fixed.size()), fixed, { stringFileInfo, varFileInfo });
}

VersionResource::VersionResource(Node root)
    : m_root(std::move(root))
{ }

std::optional<VersionResource::Node> VersionResource::parseNode(
    QByteArrayView block, qsizetype offset, qsizetype end, int depth)
{
    if (depth > MaxDepth || offset < 0 || end - offset < HeaderSize)
        return std::nullopt;
    const qsizetype length = wordAt(block, offset);
    const qsizetype valueLength = wordAt(block, offset + 2);
    Node node;
    node.type = wordAt(block, offset + 4);
    if (length < HeaderSize || length > end - offset)
        return std::nullopt;
    const qsizetype nodeEnd = offset + length;

    qsizetype p = offset + HeaderSize;
    for (;;) {
        if (nodeEnd - p < 2)
            return std::nullopt; // the key runs past its node
        const quint16 unit = wordAt(block, p);
        p += 2;
        if (unit == 0)
            break;
        node.key.append(QChar(unit));
    }
    p = std::min(align4(p - offset) + offset, nodeEnd);

    qsizetype valueSize = node.type == TextType ? valueLength * 2 : valueLength;
    if (valueSize > nodeEnd - p) {
        // Some resource tools count a text value in bytes; a text ends at its terminator anyway.
        if (node.type != TextType)
            return std::nullopt;
        valueSize = nodeEnd - p;
    }
    node.value = block.sliced(p, valueSize).toByteArray();
    p = align4(p + valueSize - offset) + offset;

    while (nodeEnd - p >= HeaderSize) {
        std::optional<Node> child = parseNode(block, p, nodeEnd, depth + 1);
        if (!child)
            return std::nullopt;
        node.children.push_back(std::move(*child));
        p = align4(p + wordAt(block, p) - offset) + offset;
    }
    return node;
}

std::optional<VersionResource> VersionResource::find(QByteArrayView bytes)
{
    const QByteArray key = utf16z(rootKey());
    qsizetype from = HeaderSize;
    for (;;) {
        const qsizetype hit = bytes.indexOf(key, from);
        if (hit < 0)
            return std::nullopt;
        const qsizetype start = hit - HeaderSize;
        std::optional<Node> root = parseNode(bytes, start, bytes.size(), 0);
        // A root with neither a fixed part nor children is more likely stray bytes than a block.
        if (root && (!root->children.empty() || root->value.size() >= VersionFixedInfo::Size))
            return VersionResource(std::move(*root));
        from = hit + 2;
    }
}

std::optional<VersionResource> VersionResource::fromFile(const QString& fileName)
{
    // Only a regular file: a fifo or a device would block or never end.
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return std::nullopt;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return std::nullopt;
    if (const uchar* mapped = file.map(0, file.size())) {
        std::optional<VersionResource> found = find(QByteArrayView(reinterpret_cast<const char*>(mapped), file.size()));
        file.unmap(const_cast<uchar*>(mapped));
        return found;
    }
    return find(file.readAll());
}

const VersionResource::Node* VersionResource::findNode(QStringView subBlock) const
{
    const Node* node = &m_root;
    for (const QStringView part : subBlock.split(u'\\', Qt::SkipEmptyParts)) {
        const auto it = std::find_if(node->children.begin(), node->children.end(),
            [&](const Node& child) { return part.compare(child.key, Qt::CaseInsensitive) == 0; });
        if (it == node->children.end())
            return nullptr;
        node = &*it;
    }
    return node;
}

std::optional<QByteArray> VersionResource::queryValue(QStringView subBlock) const
{
    const Node* node = findNode(subBlock);
    if (!node)
        return std::nullopt;
    return node->value;
}

std::optional<VersionFixedInfo> VersionResource::fixedInfo() const
{
    const QByteArray& value = m_root.value;
    if (value.size() < VersionFixedInfo::Size || dwordAt(value, 0) != VersionFixedInfo::Signature)
        return std::nullopt;
    VersionFixedInfo fixed;
    quint32* fields[] = { &fixed.signature, &fixed.structVersion, &fixed.fileVersionMS, &fixed.fileVersionLS,
        &fixed.productVersionMS, &fixed.productVersionLS, &fixed.fileFlagsMask, &fixed.fileFlags, &fixed.fileOS,
        &fixed.fileType, &fixed.fileSubtype, &fixed.fileDateMS, &fixed.fileDateLS };
    qsizetype offset = 0;
    for (quint32* field : fields) {
        *field = dwordAt(value, offset);
        offset += 4;
    }
    return fixed;
}

std::optional<QList<quint32>> VersionResource::translations() const
{
    const std::optional<QByteArray> value = queryValue(QString(QLatin1StringView("\\VarFileInfo\\Translation")));
    if (!value || value->size() < 4)
        return std::nullopt;
    QList<quint32> entries;
    for (qsizetype offset = 0; offset + 4 <= value->size(); offset += 4)
        entries.append(dwordAt(*value, offset));
    return entries;
}

std::optional<QString> VersionResource::queryString(QStringView subBlock) const
{
    const std::optional<QByteArray> value = queryValue(subBlock);
    if (!value)
        return std::nullopt;
    QString text;
    for (qsizetype offset = 0; offset + 2 <= value->size(); offset += 2) {
        const quint16 unit = wordAt(*value, offset);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}
