#include "profilefile.h"

#include "ansi.h"
#include "fileerror.h"
#include "savefilecommit.h"
#include "saveleftovers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{
// A writer holds the lock for milliseconds; waiting longer means something is stuck.
constexpr int LockTimeoutMs = 5000;

// Serialises the read-modify-write of the file among the processes (and threads) of one
// station. The file itself is replaced on every write, so the lock is taken on the directory
// that holds it; the kernel drops it when a holder dies, so no stale lock can remain.
class DirectoryLock final
{
public:
    enum class State
    {
        Locked,
        Unsupported, // no lock to be had here (a missing directory, a file system without flock)
        TimedOut,
    };

    explicit DirectoryLock(const QString& dir)
    {
        m_fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        QDeadlineTimer deadline(LockTimeoutMs);
        for (;;) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_state = State::Locked;
                return;
            }
            const int error = errno;
            if (error == EINTR)
                continue;
            if (error != EWOULDBLOCK) {
                m_state = State::Unsupported;
                return;
            }
            if (deadline.hasExpired()) {
                m_state = State::TimedOut;
                return;
            }
            QThread::msleep(1);
        }
    }
    ~DirectoryLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    State state() const { return m_state; }

private:
    int m_fd = -1;
    State m_state = State::Unsupported;
};

// The blanks the profile functions trim (0x1A is the old end-of-file mark).
bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\v' || u == u'\f' || u == u'\r' || u == u'\n' || u == 0x1A;
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

// One pair of matching enclosing quotes is taken off, as GetPrivateProfileString does.
QString unquoted(QStringView value)
{
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        return value.sliced(1, value.size() - 2).toString();
    return value.toString();
}

// The stored form of a value: verbatim, unless reading would trim it or take quotes off it.
QString quotedForStorage(const QString& value)
{
    const bool trimmedAway = !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()));
    const bool unquotedAway = value.size() >= 2 && isQuote(value.front()) && value.back() == value.front();
    if (trimmedAway || unquotedAway)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

// A line of the file, classified. `text` is the whole line as it stands in the file.
struct Line
{
    enum class Kind
    {
        Blank,
        Section,
        Key,
    };

    QString text;
    Kind kind = Kind::Blank;
    QString name;
    std::optional<QString> value; // trimmed, quotes still on; none without "="
};

Line classify(QString text)
{
    Line line;
    line.text = std::move(text);
    const QStringView body = trimmed(line.text);
    if (body.isEmpty())
        return line;
    if (body.front() == u'[') {
        // The last "]" closes the name; a line without one is read as a key line.
        const qsizetype close = body.lastIndexOf(u']');
        if (close > 0) {
            line.kind = Line::Kind::Section;
            line.name = trimmed(body.sliced(1, close - 1)).toString();
            return line;
        }
    }
    line.kind = Line::Kind::Key;
    const qsizetype eq = body.indexOf(u'=');
    if (eq < 0) {
        line.name = body.toString();
        return line;
    }
    line.name = trimmed(body.first(eq)).toString();
    line.value = trimmed(body.sliced(eq + 1)).toString();
    return line;
}

// Lines end at CR LF, CR or LF, as Ansi::splitLines has them.
QList<Line> parse(QByteArrayView content)
{
    QList<Line> lines;
    const QList<QByteArray> raw = Ansi::splitLines(content);
    lines.reserve(raw.size());
    for (const QByteArray& bytes : raw)
        lines.append(classify(Ansi::decode(bytes)));
    return lines;
}

// Where one section's lines lie: [header, end).
struct SectionSpan
{
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionSpan findSection(const QList<Line>& lines, QStringView section)
{
    const QStringView wanted = trimmed(section);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Kind::Section || !sameName(lines[i].name, wanted))
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && lines[end].kind != Line::Kind::Section)
            ++end;
        return { i, end };
    }
    return {};
}

qsizetype findKey(const QList<Line>& lines, SectionSpan span, QStringView key)
{
    const QStringView wanted = trimmed(key);
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        if (lines[i].kind == Line::Kind::Key && sameName(lines[i].name, wanted))
            return i;
    }
    return -1;
}

// Applies one write; false when the key already reads as that value.
bool apply(QList<Line>& lines, const ProfileFile::Entry& entry)
{
    const QString section = trimmed(entry.section).toString();
    const QString key = trimmed(entry.key).toString();
    const QString stored = quotedForStorage(entry.value);

    const SectionSpan span = findSection(lines, section);
    if (span.header < 0) {
        // A new section goes to the end, set off from the one before by a blank line.
        if (!lines.isEmpty() && lines.back().kind != Line::Kind::Blank)
            lines.append(classify(QString()));
        lines.append(classify(QLatin1Char('[') + section + QLatin1Char(']')));
        lines.append(classify(key + QLatin1Char('=') + stored));
        return true;
    }
    const qsizetype at = findKey(lines, span, key);
    if (at >= 0) {
        if (lines[at].value && unquoted(*lines[at].value) == entry.value)
            return false;
        // The key keeps the spelling it has in the file.
        const QString name = lines[at].name;
        lines[at] = classify(name + QLatin1Char('=') + stored);
        return true;
    }
    // A new key follows the last line of its section, before any blank lines that set the
    // next section off.
    qsizetype insertAt = span.end;
    while (insertAt > span.header + 1 && lines[insertAt - 1].kind == Line::Kind::Blank)
        --insertAt;
    lines.insert(insertAt, classify(key + QLatin1Char('=') + stored));
    return true;
}

QByteArray rewrite(QByteArrayView content, const QList<ProfileFile::Entry>& entries, bool* changed)
{
    QList<Line> lines = parse(content);
    *changed = false;
    for (const ProfileFile::Entry& entry : entries) {
        if (apply(lines, entry))
            *changed = true;
    }
    QByteArray out;
    for (const Line& line : lines) {
        out += Ansi::encode(line.text);
        out += Ansi::LineEnd;
    }
    return out;
}

[[noreturn]] void failWrite(const QString& path)
{
    throw FileError(QStringLiteral("Unable to write to %1").arg(path));
}
} // namespace

ProfileFile::ProfileFile(const QString& path)
    : m_path(path)
{ }

bool ProfileFile::exists() const
{
    return QFileInfo(m_path).isFile();
}

QByteArray ProfileFile::readContent(bool* ok) const
{
    if (ok)
        *ok = true;
    if (!exists())
        return {};
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    return file.readAll();
}

std::optional<QString> ProfileFile::read(QStringView section, QStringView key) const
{
    if (!exists())
        return std::nullopt;
    return lookup(readContent(), section, key);
}

QList<ProfileFile::Entry> ProfileFile::readAll() const
{
    return entries(readContent());
}

void ProfileFile::write(const QString& section, const QString& key, const QString& value)
{
    write(QList<Entry> { { section, key, value } });
}

void ProfileFile::write(const QList<Entry>& entries)
{
    for (const Entry& entry : entries) {
        if (!isValidSection(entry.section) || !isValidKey(entry.key) || !canStore(entry.value))
            failWrite(m_path);
    }

    // Where no lock can be had, the write below is refused or goes ahead alone.
    const DirectoryLock lock(QFileInfo(m_path).absolutePath());
    if (lock.state() == DirectoryLock::State::TimedOut)
        failWrite(m_path);

    bool readOk = false;
    const QByteArray before = readContent(&readOk);
    // Rewriting a file that could not be read would throw away every other key.
    if (!readOk)
        failWrite(m_path);
    bool changed = false;
    const QByteArray after = rewrite(before, entries, &changed);
    if (!changed && exists())
        return;

    QSaveFile file(m_path);
    // In a home that is not writable, an existing writable file is still updated in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(after) != after.size() || !CommitWhole(file))
        failWrite(m_path);
}

QStringList ProfileFile::removeSaveLeftovers() const
{
    const QFileInfo target(m_path);
    const DirectoryLock lock(target.absolutePath());
    if (lock.state() == DirectoryLock::State::TimedOut)
        return {};
    QStringList removed;
    const QFileInfoList files = target.absoluteDir().entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& file : files) {
        if (file.isSymLink() || !SaveLeftovers::IsSaveFileOf(file.fileName(), target.fileName()))
            continue;
        if (QFile::remove(file.filePath()))
            removed.append(file.filePath());
    }
    return removed;
}

std::optional<QString> ProfileFile::lookup(QByteArrayView content, QStringView section, QStringView key)
{
    const QList<Line> lines = parse(content);
    const SectionSpan span = findSection(lines, section);
    if (span.header < 0)
        return std::nullopt;
    const qsizetype at = findKey(lines, span, key);
    if (at < 0 || !lines[at].value)
        return std::nullopt;
    return unquoted(*lines[at].value);
}

QList<ProfileFile::Entry> ProfileFile::entries(QByteArrayView content)
{
    const QList<Line> lines = parse(content);
    QList<Entry> result;
    QStringList seenSections;
    bool reachable = false; // lines before the first section and in repeated sections are not
    QString section;
    QStringList seenKeys;
    for (const Line& line : lines) {
        if (line.kind == Line::Kind::Section) {
            section = line.name;
            reachable = !seenSections.contains(section, Qt::CaseInsensitive);
            seenSections.append(section);
            seenKeys.clear();
            continue;
        }
        if (!reachable || line.kind != Line::Kind::Key)
            continue;
        const QString& key = line.name;
        if (seenKeys.contains(key, Qt::CaseInsensitive))
            continue;
        seenKeys.append(key);
        if (line.value)
            result.append({ section, key, unquoted(*line.value) });
    }
    return result;
}

QByteArray ProfileFile::update(QByteArrayView content, const QList<Entry>& entries)
{
    bool changed = false;
    return rewrite(content, entries, &changed);
}

bool ProfileFile::canStore(QStringView value)
{
    return unstorableCharacters(value).isEmpty();
}

QStringList ProfileFile::unstorableCharacters(QStringView value)
{
    QStringList unstorable;
    for (const QChar c : value) {
        if ((c == u'\r' || c == u'\n' || c == u'\0') && !unstorable.contains(QString(c)))
            unstorable.append(QString(c));
    }
    return unstorable + Ansi::missingCharacters(value);
}

bool ProfileFile::isValidSection(QStringView name)
{
    const QStringView body = trimmed(name);
    return !body.isEmpty() && canStore(name) && !body.contains(u'[') && !body.contains(u']');
}

bool ProfileFile::isValidKey(QStringView name)
{
    const QStringView body = trimmed(name);
    return !body.isEmpty() && canStore(name) && !body.contains(u'=') && body.front() != u'[';
}
