#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>
#include <vector>

// The version-information block of an executable, laid out like a Windows version resource
// (VS_VERSIONINFO): a tree of nodes, each a 16-bit length, value length and type, a UTF-16LE
// zero-terminated key and a value, every node and value starting on a 32-bit boundary of the
// block. Our executables carry one, built at compile time; the credits window and the
// terminal companion read it back from the file on disk.

// The fixed part (VS_FIXEDFILEINFO): thirteen little-endian 32-bit words.
struct VersionFixedInfo
{
    static constexpr quint32 Signature = 0xFEEF04BD;
    static constexpr int Size = 52;

    quint32 signature = Signature;
    quint32 structVersion = 0x00010000;
    quint32 fileVersionMS = 0;
    quint32 fileVersionLS = 0;
    quint32 productVersionMS = 0;
    quint32 productVersionLS = 0;
    quint32 fileFlagsMask = 0x3F;
    quint32 fileFlags = 0;
    quint32 fileOS = 0;
    quint32 fileType = 0;
    quint32 fileSubtype = 0;
    quint32 fileDateMS = 0;
    quint32 fileDateLS = 0;
};

// What a block is built from.
struct VersionResourceContent
{
    std::optional<VersionFixedInfo> fixed = VersionFixedInfo();
    // Each entry: the language in the low 16 bits, the code page in the high 16 bits.
    QList<quint32> translations;
    // The string table's key, e.g. "041604E4"; one table.
    QString stringTableKey;
    QList<QPair<QString, QString>> strings;
};

// Lays out a block; the result starts on a 32-bit boundary when placed so.
QByteArray buildVersionResource(const VersionResourceContent& content);

// A parsed block, queried like VerQueryValue: "\" gives the fixed part,
// "\VarFileInfo\Translation" the translation table, "\StringFileInfo\<table>\<key>" a string.
// Keys compare without regard to case.
class VersionResource final
{
public:
    // The first well-formed block in the bytes; none when the bytes hold none.
    static std::optional<VersionResource> find(QByteArrayView bytes);
    // The first well-formed block in the file; none when it cannot be read or holds none.
    static std::optional<VersionResource> fromFile(const QString& fileName);

    // The raw value of the node named by the path; none when there is no such node.
    std::optional<QByteArray> queryValue(QStringView subBlock) const;
    // The fixed part, when the block has one with the right signature.
    std::optional<VersionFixedInfo> fixedInfo() const;
    // The translation table's entries; none without the table.
    std::optional<QList<quint32>> translations() const;
    // A string value up to its terminator; none when the node is missing.
    std::optional<QString> queryString(QStringView subBlock) const;

private:
    struct Node
    {
        QString key;
        quint16 type = 0;
        QByteArray value;
        std::vector<Node> children;
    };

    explicit VersionResource(Node root);
    const Node* findNode(QStringView subBlock) const;

    static std::optional<Node> parseNode(QByteArrayView block, qsizetype offset, qsizetype end, int depth);

    Node m_root;
};
