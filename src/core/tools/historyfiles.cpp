#include "historyfiles.h"

#include "ansi.h"
#include "fileerror.h"
#include "preferences.h"

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace
{
const QByteArray LineEnd = QByteArray(Ansi::LineEnd);

QString deviceName(const QIODevice& file)
{
    if (const auto* f = qobject_cast<const QFileDevice*>(&file))
        return f->fileName();
    return QStringLiteral("(history stream)");
}

// The next line of `file` as raw bytes; false at the end. CR LF, LF and CR each end a line.
bool readRawLine(QIODevice& file, QByteArray& line)
{
    line.clear();
    bool any = false;
    // Records are short; reading in small pieces also bounds what a lone CR has to give back.
    char piece[512];
    for (;;) {
        const qint64 n = file.readLine(piece, sizeof piece);
        if (n <= 0) {
            if (n < 0 && !file.atEnd())
                throw FileError(QStringLiteral("Unable to read %1: %2").arg(deviceName(file), file.errorString()));
            return any;
        }
        any = true;
        const char* end = piece + n;
        const char* cr = std::find(static_cast<const char*>(piece), end, '\r');
        if (cr != end) {
            line.append(piece, cr - piece);
            if (cr + 1 == end) {
                // The piece ended with the CR: its LF, if any, is still to come.
                char next = 0;
                if (file.getChar(&next) && next != '\n')
                    file.ungetChar(next);
            } else if (!(cr + 2 == end && cr[1] == '\n')) {
                // A CR alone ends the line: what follows it belongs to the next one.
                for (const char* p = end - 1; p > cr; --p)
                    file.ungetChar(*p);
            }
            return true;
        }
        if (end[-1] == '\n') {
            line.append(piece, n - 1);
            return true;
        }
        line.append(piece, n);
    }
}

// The bytes one line of text is stored as. A line break inside it would split the record in
// two, so it is stored as a blank.
QByteArray recordBytes(const QString& text, bool mirrored)
{
    QString clean = text;
    clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray bytes = Ansi::encode(clean);
    return mirrored ? HistoryFiles::MirrorLetters(bytes) : bytes;
}

QList<QByteArray> readRawLines(QIODevice& file)
{
    QList<QByteArray> lines;
    QByteArray line;
    while (readRawLine(file, line))
        lines.append(line);
    return lines;
}

// After a rename the directory entry itself must reach the disk too.
void syncDirectoryOf(const QString& path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
} // namespace

HistoryFiles::HistoryFiles(const StationHome& home, const Settings& settings)
    : m_home(home)
    , m_settings(settings)
{ }

void HistoryFiles::AppendReceived(const QString& frameText) const
{
    AppendHistoryLine(receivedPath(), frameText, true, false);
}

void HistoryFiles::AppendSent(const QString& frameText) const
{
    AppendHistoryLine(sentPath(), frameText, true, false);
}

void HistoryFiles::TrimHistoryFile(const QString& path) const
{
    const int max = qMax(0, Preferences(m_settings).historyFileRecords());
    if (!QFileInfo::exists(path))
        CreateEmptyFile(path);
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Unable to read %1: %2").arg(path, source.errorString()));
    QList<QByteArray> lines = readRawLines(source);
    source.close();
    if (lines.size() < max)
        return;
    lines.remove(0, lines.size() - max);
    replaceWithLines(path, lines);
}

void HistoryFiles::DeleteHistoryRecord(const QString& path, const QString& frameText) const
{
    DeleteHistoryRecords(path, QStringList { frameText });
}

void HistoryFiles::DeleteHistoryRecords(const QString& path, const QStringList& frameTexts) const
{
    QSet<QByteArray> records;
    for (const QString& frameText : frameTexts) {
        if (!frameText.isEmpty())
            records.insert(recordBytes(frameText, true));
    }
    if (records.isEmpty())
        return;
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        return;
    QList<QByteArray> lines = readRawLines(source);
    source.close();
    lines.removeIf([&](const QByteArray& line) { return records.contains(line); });
    replaceWithLines(path, lines);
}

QByteArray HistoryFiles::MirrorLetters(QByteArrayView bytes)
{
    QByteArray out(bytes.size(), Qt::Uninitialized);
    char* o = out.data();
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (c >= 'A' && c <= 'Z')
            *o++ = static_cast<char>(155 - c);
        else if (c >= 'a' && c <= 'z')
            *o++ = static_cast<char>(219 - c);
        else
            *o++ = b;
    }
    return out;
}

QString HistoryFiles::MirrorLetters(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* o = out.data();
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= u'A' && c <= u'Z')
            *o++ = QChar(char16_t(155 - c));
        else if (c >= u'a' && c <= u'z')
            *o++ = QChar(char16_t(219 - c));
        else
            *o++ = ch;
    }
    return out;
}

void HistoryFiles::AppendHistoryLine(const QString& path, const QString& line, bool mirrored, bool onlyIfNew)
{
    const QByteArray record = recordBytes(line, mirrored);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        throw FileError(QStringLiteral("Unable to open %1: %2").arg(path, file.errorString()));
    const qint64 size = file.size();

    if (onlyIfNew && size > 0) {
        file.seek(0);
        QByteArray existing;
        while (readRawLine(file, existing)) {
            if (existing == record)
                return;
        }
    }

    QByteArray bytes;
    if (size > 0) {
        // A last line without its line end (a file cut short elsewhere) would swallow this record.
        char last = 0;
        if (!file.seek(size - 1) || !file.getChar(&last))
            throw FileError(QStringLiteral("Unable to read %1: %2").arg(path, file.errorString()));
        if (last != '\n' && last != '\r')
            bytes += LineEnd;
    }
    bytes += record;
    bytes += LineEnd;

    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        // A resize through this handle would flush the unwritten bytes first, fail again and
        // cut nothing; closing drops them, and the cut goes through the name.
        file.close();
        QFile::resize(path, size);
        throw FileError(QStringLiteral("Unable to write to %1: %2").arg(path, reason));
    }
}

bool HistoryFiles::ReadHistoryLine(QIODevice& file, QString& line)
{
    QByteArray raw;
    if (!readRawLine(file, raw)) {
        line.clear();
        return false;
    }
    line = Ansi::decode(MirrorLetters(raw));
    return true;
}

bool HistoryFiles::ReadPlainLine(QIODevice& file, QString& line)
{
    QByteArray raw;
    if (!readRawLine(file, raw)) {
        line.clear();
        return false;
    }
    line = Ansi::decode(raw);
    return true;
}

void HistoryFiles::WriteHistoryLine(QIODevice& file, const QString& frameText)
{
    const QByteArray bytes = recordBytes(frameText, true) + LineEnd;
    if (file.write(bytes) != bytes.size())
        throw FileError(QStringLiteral("Unable to write to %1: %2").arg(deviceName(file), file.errorString()));
}

void HistoryFiles::CreateEmptyFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw FileError(QStringLiteral("Unable to create %1: %2").arg(path, file.errorString()));
}

QStringList HistoryFiles::ReadHistoryRecords(const QString& path)
{
    QStringList records;
    QFile file(path);
    if (!file.exists())
        return records;
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Unable to read %1: %2").arg(path, file.errorString()));
    QString line;
    while (ReadHistoryLine(file, line))
        records.append(line);
    return records;
}

bool HistoryFiles::replaceWithLines(const QString& path, const QList<QByteArray>& lines) const
{
    const QString swap = swapPath();
    if (QFileInfo(swap).absoluteFilePath() == QFileInfo(path).absoluteFilePath())
        throw FileError(QStringLiteral("%1 is the work file of history rewrites").arg(path));

    QFile work(swap);
    if (!work.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes;
    for (const QByteArray& line : lines) {
        bytes += line;
        bytes += LineEnd;
    }
    // The work file must be complete on disk before it takes the history file's place.
    bool ok = work.write(bytes) == bytes.size() && work.flush() && ::fsync(work.handle()) == 0;
    const QString reason = work.errorString();
    work.close();
    ok = ok && work.error() == QFileDevice::NoError;
    if (!ok) {
        QFile::remove(swap);
        throw FileError(QStringLiteral("Unable to write to %1: %2").arg(swap, reason));
    }
    // rename() replaces the history file in one step; it is never missing in between.
    if (std::rename(QFile::encodeName(swap).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString error = qt_error_string(errno);
        QFile::remove(swap);
        throw FileError(QStringLiteral("Unable to replace %1 with %2: %3").arg(path, swap, error));
    }
    syncDirectoryOf(path);
    return true;
}
