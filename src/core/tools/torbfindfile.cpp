#include "torbfindfile.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <utility>
#include <vector>

namespace
{
// Bits that keep an entry out of the results unless they are admitted; read-only and archive
// never exclude (FindFirst semantics).
constexpr int ExcludingBits
    = (TOrbFindFile::ffHidden | TOrbFindFile::ffSystem | TOrbFindFile::ffVolumeID | TOrbFindFile::ffDirectory).toInt();

// A Windows file name pattern, translated the way FindFirstFile hands it to the file system:
// "?" becomes DOS_QM, "*" before "." becomes DOS_STAR, and "." before "?", "*" or the end
// becomes DOS_DOT. That translation is what lets "*.*" match names without a dot.
class WildcardPattern
{
public:
    explicit WildcardPattern(const QString& pattern)
    {
        const QList<uint> p = pattern.toUcs4();
        for (qsizetype i = 0; i < p.size(); ++i) {
            const char32_t c = p.at(i);
            const bool last = i + 1 == p.size();
            const char32_t next = last ? 0 : p.at(i + 1);
            if (c == U'?')
                m_tokens.push_back({ Kind::DosQm, 0 });
            else if (c == U'*')
                m_tokens.push_back({ !last && next == U'.' ? Kind::DosStar : Kind::Star, 0 });
            else if (c == U'.' && (last || next == U'?' || next == U'*'))
                m_tokens.push_back({ Kind::DosDot, 0 });
            else
                m_tokens.push_back({ Kind::Char, QChar::toCaseFolded(c) });
        }
    }

    bool matches(const QString& text) const
    {
        const QList<uint> name = text.toUcs4();
        const qsizetype n = name.size();
        const qsizetype lastDot = name.lastIndexOf(uint(U'.'));
        // Dynamic programming from the last token backwards: next[k] tells whether the tokens
        // after the current one match the name from position k on. No recursion, so a long
        // pattern cannot exhaust the stack.
        std::vector<char> next(size_t(n + 1), 0);
        std::vector<char> cur(size_t(n + 1), 0);
        next[size_t(n)] = 1;
        for (auto t = m_tokens.rbegin(); t != m_tokens.rend(); ++t) {
            switch (t->kind) {
            case Kind::Char:
                for (qsizetype k = 0; k <= n; ++k)
                    cur[size_t(k)] = k < n && next[size_t(k + 1)] && QChar::toCaseFolded(name.at(k)) == t->ch;
                break;
            case Kind::Star: {
                bool any = false;
                for (qsizetype k = n; k >= 0; --k)
                    cur[size_t(k)] = any = any || next[size_t(k)];
                break;
            }
            case Kind::DosStar: {
                // Any run of characters that does not take the name's last dot.
                bool any = false;
                for (qsizetype k = n; k >= 0; --k) {
                    if (k == lastDot)
                        any = false;
                    cur[size_t(k)] = any = any || next[size_t(k)];
                }
                break;
            }
            case Kind::DosQm:
                // One character, but nothing at a dot or at the end of the name.
                for (qsizetype k = 0; k <= n; ++k)
                    cur[size_t(k)] = k == n || name.at(k) == U'.' ? next[size_t(k)] : next[size_t(k + 1)];
                break;
            case Kind::DosDot:
                // A dot, or nothing at the end of the name.
                for (qsizetype k = 0; k <= n; ++k)
                    cur[size_t(k)] = k == n ? next[size_t(k)] : name.at(k) == U'.' && next[size_t(k + 1)];
                break;
            }
            std::swap(cur, next);
        }
        return next[0] != 0;
    }

private:
    enum class Kind : quint8
    {
        Char,
        Star,
        DosStar,
        DosQm,
        DosDot,
    };
    struct Token
    {
        Kind kind;
        char32_t ch;
    };
    std::vector<Token> m_tokens;
};

QString withSlash(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

// The entries of one directory, sorted: the order readdir gives is arbitrary on Linux, and NTFS
// returns names sorted case-insensitively. Case decides between names that differ only in it.
QList<QFileInfo> entriesOf(const QString& dir)
{
    std::vector<std::pair<QString, QFileInfo>> named;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFileInfo info = it.nextFileInfo();
        named.emplace_back(info.fileName(), std::move(info));
    }
    std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        const int c = a.first.compare(b.first, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.first < b.first;
    });
    QList<QFileInfo> entries;
    entries.reserve(qsizetype(named.size()));
    for (auto& entry : named)
        entries.append(std::move(entry.second));
    return entries;
}

// Qt's long time format carries the time zone ("t"); the Windows one does not.
QString longTimeFormat(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) {
            while (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('t'))
                ++i;
            while (!out.isEmpty() && out.back().isSpace())
                out.chop(1);
            continue;
        }
        out += c;
    }
    // Some locales wrap the zone in parentheses.
    out.remove(QLatin1String("()"));
    return out.trimmed();
}
} // namespace

struct TOrbFindFile::Pass
{
    WildcardPattern pattern;
    int mask = 0;
    QLocale locale;
    QSet<QString> found;
    bool abort = false;
};

TOrbFindFile::TOrbFindFile(QObject* parent)
    : QObject(parent)
{ }

void TOrbFindFile::Execute()
{
    if (m_executing)
        return;
    m_executing = true;
    const auto done = qScopeGuard([this] { m_executing = false; });

    Pass pass { WildcardPattern(QString()), m_atributos.toInt(), QLocale::system(), {}, false };
    m_infoName.clear();
    m_infoSize.clear();
    m_infoDate.clear();
    m_infoAttr.clear();
    emit BeforeExecute();

    const QString remembered = m_filtros;
    const QStringList patterns = remembered.split(QLatin1Char(';'));
    for (const QString& pattern : patterns) {
        if (pass.abort)
            break;
        // A handler of OnNewPath sees the pattern of the current pass in Filtros.
        m_filtros = pattern;
        if (m_diretorio.isEmpty())
            continue;
        pass.pattern = WildcardPattern(pattern);
        const QString dir = withSlash(m_diretorio);
        if (m_recurse) {
            searchTree(pass, dir);
        } else {
            emit OnNewPath(dir, pass.abort);
            if (!pass.abort)
                searchDirectory(pass, dir, entriesOf(dir));
        }
    }

    // Restored before AfterExecute: its handlers see the caller's value, and one they set stays.
    m_filtros = remembered;
    emit AfterExecute();
}

void TOrbFindFile::searchTree(Pass& pass, const QString& start)
{
    // Breadth-first: the start directory, then its subdirectories in order, then theirs.
    QStringList queue { start };
    for (qsizetype next = 0; next < queue.size(); ++next) {
        const QString dir = queue.at(next);
        const QList<QFileInfo> entries = entriesOf(dir);
        // Links to directories are not followed: a link to an ancestor would never end.
        for (const QFileInfo& entry : entries)
            if (entry.isDir() && !entry.isSymLink())
                queue.append(dir + entry.fileName() + QLatin1Char('/'));
        emit OnNewPath(dir, pass.abort);
        if (pass.abort)
            return;
        searchDirectory(pass, dir, entries);
    }
}

void TOrbFindFile::searchDirectory(Pass& pass, const QString& dir, const QList<QFileInfo>& entries)
{
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (!pass.pattern.matches(name))
            continue;
        const int bits = AttributeBits(entry);
        if ((bits & ~pass.mask & ExcludingBits) != 0)
            continue;
        const QString path = dir + name;
        if (pass.found.contains(path))
            continue;
        pass.found.insert(path);
        const bool regular = (bits & ffArchive) != 0;
        m_infoName.append(path);
        m_infoSize.append(QString::number(regular ? entry.size() : 0));
        m_infoDate.append(DateTimeText(entry.lastModified(), pass.locale));
        m_infoAttr.append(QString::number(bits));
    }
}

bool TOrbFindFile::MatchesPattern(const QString& name, const QString& pattern)
{
    return WildcardPattern(pattern).matches(name);
}

int TOrbFindFile::AttributeBits(const QFileInfo& info)
{
    int bits = 0;
    if (info.isDir())
        bits |= ffDirectory;
    else if (info.isFile())
        bits |= ffArchive;
    else
        bits |= ffSystem;
    if (info.fileName().startsWith(QLatin1Char('.')))
        bits |= ffHidden;
    // The owner's write bit, as Samba maps the DOS read-only bit: a property of the file, the
    // same for every user (and for root), like the Windows attribute.
    if (info.exists() && !info.permissions().testFlag(QFileDevice::WriteOwner))
        bits |= ffReadOnly;
    return bits;
}

QString TOrbFindFile::DateTimeText(const QDateTime& dateTime, const QLocale& locale)
{
    return locale.toString(dateTime.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(dateTime.time(), longTimeFormat(locale));
}

void ListSubdirectories(const QString& directory, QStringList& list)
{
    list.clear();
    if (directory.isEmpty())
        return;
    // Directories and ordinary files; hidden and special entries stay out.
    constexpr int admitted = (TOrbFindFile::ffReadOnly | TOrbFindFile::ffDirectory | TOrbFindFile::ffArchive).toInt();
    for (const QFileInfo& entry : entriesOf(withSlash(directory))) {
        const QString name = entry.fileName();
        if (name.contains(QLatin1Char('.')))
            continue;
        if ((TOrbFindFile::AttributeBits(entry) & ~admitted & ExcludingBits) != 0)
            continue;
        list.append(name);
    }
}
