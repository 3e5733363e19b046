#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One profile (INI) file, read and written with the rules of the Windows profile functions so
// that a colloqua.ini moves between stations unchanged: "[section]" lines, "key=value" lines,
// section and key names compared without regard to letter case, names and values trimmed, one
// pair of enclosing quotes taken off a value, only the first section of a name and the first
// key of a name counted. Text is Windows-1252 with CR LF line ends.
//
// Nothing is cached: every call reads the file afresh. A write changes only the lines it must
// and replaces the file atomically, under a lock on its directory, so that another process
// (the terminal companion) writing at the same time loses no update.
class ProfileFile final
{
public:
    struct Entry
    {
        QString section;
        QString key;
        QString value;

        bool operator==(const Entry& other) const = default;
    };

    explicit ProfileFile(const QString& path);

    const QString& path() const { return m_path; }
    // A regular file, or a link to one. A directory or a device in its place counts as absent.
    bool exists() const;

    // The value as the profile functions return it; nothing when the file, the section or the
    // key is missing, or when the key's line has no "=".
    std::optional<QString> read(QStringView section, QStringView key) const;
    // Every key that read() can reach, with its value, in file order.
    QList<Entry> readAll() const;

    // Writes one key, creating the file and the section when missing. Throws FileError
    // ("Unable to write to <path>") when the file cannot be read back or written, and when a
    // name or value is invalid (see isValidSection, isValidKey, canStore).
    void write(const QString& section, const QString& key, const QString& value);
    // Writes several keys in order in one replacement of the file: all of them or none.
    void write(const QList<Entry>& entries);
    // Removes the save files an interrupted write left beside the file (see SaveLeftovers),
    // under the lock, so that a write in progress elsewhere keeps its own. The paths removed.
    QStringList removeSaveLeftovers() const;

    // The same rules on file content, for tests and for fuzzing the parser.
    static std::optional<QString> lookup(QByteArrayView content, QStringView section, QStringView key);
    static QList<Entry> entries(QByteArrayView content);
    static QByteArray update(QByteArrayView content, const QList<Entry>& entries);

    // Whether `value` survives a write and a read unchanged: Windows-1252 text without line
    // breaks or NULs. Leading or trailing blanks and enclosing quotes are kept by quoting.
    static bool canStore(QStringView value);
    // The characters that keep `value` from being stored, each once, in order: line breaks,
    // NULs and what Windows-1252 lacks. Empty exactly when canStore() is true.
    static QStringList unstorableCharacters(QStringView value);
    // Non-empty after trimming, storable, and no "[" or "]" in a section, no "=" in a key and
    // no "[" at its start: such names would be read back as something else.
    static bool isValidSection(QStringView name);
    static bool isValidKey(QStringView name);

private:
    QByteArray readContent(bool* ok = nullptr) const;

    QString m_path;
};
