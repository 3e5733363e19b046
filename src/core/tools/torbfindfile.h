#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QDateTime;
class QFileInfo;
class QLocale;

// Lists the entries of a directory (or of a whole tree) that match a set of name patterns and
// attributes, as four index-aligned text lists: full path, size, last-write time, attribute bits.
// The attribute bits are the Windows ones, mapped from what Linux knows of a file, so that the
// lists read the same as on stations on Windows.
class TOrbFindFile final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TOrbFindFile)
    Q_PROPERTY(bool Recurse READ Recurse WRITE setRecurse)
    Q_PROPERTY(QString Diretorio READ Diretorio WRITE setDiretorio)
    Q_PROPERTY(QString Filtros READ Filtros WRITE setFiltros)
    Q_PROPERTY(QStringList InfoName_Files READ InfoName_Files)
    Q_PROPERTY(QStringList InfoSize_Files READ InfoSize_Files)
    Q_PROPERTY(QStringList InfoDate_Files READ InfoDate_Files)
    Q_PROPERTY(QStringList InfoAttr_Files READ InfoAttr_Files)
    Q_PROPERTY(TAttrOptions Atributos READ Atributos WRITE setAtributos)

public:
    // The values are the Windows attribute bits; InfoAttr_Files holds their sum per entry.
    enum TAttrOption : int
    {
        ffReadOnly = 0x01, // the owner has no write permission
        ffHidden = 0x02, // the name starts with "."
        ffSystem = 0x04, // neither a regular file nor a directory: fifo, socket, device, dangling link
        ffVolumeID = 0x08, // never set on Linux
        ffDirectory = 0x10,
        ffArchive = 0x20, // a regular file
    };
    Q_DECLARE_FLAGS(TAttrOptions, TAttrOption)
    Q_FLAG(TAttrOptions)

    static constexpr TAttrOptions DefaultAtributos { ffReadOnly, ffHidden, ffSystem, ffArchive };

    explicit TOrbFindFile(QObject* parent = nullptr);

    bool Recurse() const { return m_recurse; }
    void setRecurse(bool recurse) { m_recurse = recurse; }
    // Searched as given, with a "/" supplied when it is missing; empty searches nothing.
    const QString& Diretorio() const { return m_diretorio; }
    void setDiretorio(const QString& diretorio) { m_diretorio = diretorio; }
    // Patterns separated by ";". While Execute runs it holds the pattern of the current pass.
    const QString& Filtros() const { return m_filtros; }
    void setFiltros(const QString& filtros) { m_filtros = filtros; }
    TAttrOptions Atributos() const { return m_atributos; }
    void setAtributos(TAttrOptions atributos) { m_atributos = atributos; }

    const QStringList& InfoName_Files() const { return m_infoName; }
    const QStringList& InfoSize_Files() const { return m_infoSize; }
    const QStringList& InfoDate_Files() const { return m_infoDate; }
    const QStringList& InfoAttr_Files() const { return m_infoAttr; }

    // Replaces the results with the entries found. A tree is walked breadth-first, once per
    // pattern; a path found by an earlier pattern is not listed again. Entries of one directory
    // come sorted by name, case-insensitively, as NTFS returns them. A directory that does not
    // exist or cannot be read gives nothing. A call from inside one of the signals is ignored.
    void Execute();

    // Windows wildcard matching, case-insensitive: "*", "?", and the DOS rules that make "*.*"
    // match every name, "*." the names without a dot and "x.*" also "x". "[" is no wildcard.
    static bool MatchesPattern(const QString& name, const QString& pattern);
    // The attribute bits of an entry (a symbolic link counts as what it points to).
    static int AttributeBits(const QFileInfo& info);
    // Short date and long time of the locale, as Windows shows them: no time zone.
    static QString DateTimeText(const QDateTime& dateTime, const QLocale& locale);

signals:
    void BeforeExecute();
    void AfterExecute();
    // Raised with each directory (ending in "/") about to be searched. Setting `abort` ends the
    // whole Execute, other patterns included. Connect directly: `abort` cannot be queued.
    void OnNewPath(const QString& newPath, bool& abort);

private:
    struct Pass;
    void searchTree(Pass& pass, const QString& start);
    void searchDirectory(Pass& pass, const QString& dir, const QList<QFileInfo>& entries);

    bool m_recurse = false;
    QString m_diretorio;
    QString m_filtros = QStringLiteral("*.*");
    TAttrOptions m_atributos = DefaultAtributos;
    QStringList m_infoName;
    QStringList m_infoSize;
    QStringList m_infoDate;
    QStringList m_infoAttr;
    bool m_executing = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TOrbFindFile::TAttrOptions)

// Clears `list` and adds the bare name of every directory and ordinary file of `directory` whose
// name has no extension (no "."), sorted like TOrbFindFile's results; hidden and special entries
// are left out. The restore dialog picks the backup directories ("Bk " + name) from it.
void ListSubdirectories(const QString& directory, QStringList& list);
