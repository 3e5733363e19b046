#include "fuzzentries.h"

#include "ansi.h"
#include "clock.h"
#include "frame.h"
#include "historyfiles.h"
#include "mailslotmessage.h"
#include "netbiosdatagram.h"
#include "profilefile.h"
#include "usertreefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace
{
// A rule every input must keep; breaking it is a finding like a crash.
void require(bool holds, const char* rule)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz rule broken: %s\n", rule);
    std::abort();
}

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5)); }
};

// One scratch directory per process; each reader reuses one file in it, so a run stays fast.
const QString& scratchDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/colloqua-fuzz-XXXXXX"));
    static const QString path = dir.path();
    require(dir.isValid(), "scratch directory created");
    return path;
}

QString writeScratch(const QString& name, QByteArrayView bytes)
{
    const QString path = scratchDir() + QLatin1Char('/') + name;
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opened");
    require(file.write(bytes.data(), bytes.size()) == bytes.size(), "scratch file written");
    return path;
}

void checkFrame(const QString& text)
{
    TDados frame;
    ParseFrame(text, frame, FixedClock());
    // The face is the sender's one digit, whatever it is; readers map unknown ones themselves.
    require(frame.FaceIndex >= 0 && frame.FaceIndex <= 9, "a parsed face is one digit");
    require(frame.ParsedAt.isValid(), "a parsed frame carries its parse time");
    // The received history keeps the trimmed text; read back, it must say what the datagram said.
    const QString trimmed = TrimFrameText(text);
    require(TrimFrameText(trimmed) == trimmed, "trimming is idempotent");
    TDados stored;
    ParseFrame(trimmed, stored, FixedClock());
    require(stored.Valid == frame.Valid && stored.FromUser == frame.FromUser && stored.ToUser == frame.ToUser
            && stored.SentAt == frame.SentAt && stored.FaceIndex == frame.FaceIndex && stored.Command == frame.Command
            && stored.MessageText == frame.MessageText,
        "the stored form of a frame parses as the frame");
}
} // namespace

namespace FuzzEntries
{
void netbiosDatagram(QByteArrayView bytes)
{
    const std::optional<NetbiosDatagram> datagram = NetbiosDatagram::decode(bytes);
    if (!datagram)
        return;
    // A datagram we accept, sent on again, is accepted by the next station with the same message.
    const QByteArray again = datagram->encode();
    if (again.isEmpty())
        return;
    const std::optional<NetbiosDatagram> back = NetbiosDatagram::decode(again);
    require(back.has_value(), "a re-encoded datagram decodes");
    require(back->data == datagram->data, "the message bytes survive a re-encode");
    require(back->type == datagram->type, "the datagram type survives a re-encode");
}

void datagramLines(QByteArrayView bytes)
{
    const std::optional<MailslotMessage> message = MailslotMessage::split(bytes);
    if (!message)
        return;
    require(!message->computer.contains(QLatin1Char('\n')) && !message->computer.contains(QLatin1Char('\r')),
        "the computer name is one line");
    checkFrame(message->text);
}

void parseFrame(QByteArrayView bytes)
{
    checkFrame(Ansi::decode(bytes));
}

void profileFile(QByteArrayView bytes)
{
    const QList<ProfileFile::Entry> entries = ProfileFile::entries(bytes);
    // Each lookup parses the whole content again: a few keys keep a run fast.
    const QList<ProfileFile::Entry> sample = entries.first(qMin<qsizetype>(entries.size(), 8));
    // Every key listed is the one lookup reaches.
    for (const ProfileFile::Entry& entry : sample) {
        const std::optional<QString> value = ProfileFile::lookup(bytes, entry.section, entry.key);
        require(value.has_value() && *value == entry.value, "lookup gives what entries lists");
    }
    // A write into whatever is there reads back and leaves the other keys as they were.
    const ProfileFile::Entry written { QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_ARQHIST"),
        QStringLiteral("500") };
    const QByteArray updated = ProfileFile::update(bytes, { written });
    const std::optional<QString> value = ProfileFile::lookup(updated, written.section, written.key);
    require(value.has_value() && *value == written.value, "a written key reads back");
    for (const ProfileFile::Entry& entry : sample) {
        if (entry.section.compare(written.section, Qt::CaseInsensitive) == 0
            && entry.key.compare(written.key, Qt::CaseInsensitive) == 0)
            continue;
        const std::optional<QString> kept = ProfileFile::lookup(updated, entry.section, entry.key);
        require(kept.has_value() && *kept == entry.value, "a write keeps the other keys");
    }

    const ProfileFile file(writeScratch(QStringLiteral("colloqua.ini"), bytes));
    require(file.readAll() == entries, "the file reads as its content");
}

void userTreeFile(QByteArrayView bytes)
{
    const UserTreeFile::ParseResult parsed = UserTreeFile::fromBytes(bytes);
    // What we save reads back whole and unchanged.
    const QByteArray saved = UserTreeFile::toBytes(parsed.tree);
    const UserTreeFile::ParseResult again = UserTreeFile::fromBytes(saved);
    require(again.ok(), "a saved tree reads back whole");
    require(UserTreeFile::toBytes(again.tree) == saved, "a saved tree reads back unchanged");

    const QString path = writeScratch(QStringLiteral("ArvUsuarios.tv"), bytes);
    const UserTreeFile::LoadResult loaded = UserTreeFile::CarregarArvore(path, FixedClock());
    require(loaded.ok() == parsed.ok(), "loading fails exactly when parsing does");
    require(loaded.tree.count() == parsed.tree.count(), "loading keeps every readable node");
    if (!loaded.movedTo.isEmpty())
        QFile::remove(loaded.movedTo);
}

void historyFile(QByteArrayView bytes)
{
    const QString path = writeScratch(QStringLiteral("hist_recv.dbt"), bytes);
    const QStringList records = HistoryFiles::ReadHistoryRecords(path);
    require(records.size() == Ansi::splitLines(bytes).size(), "one record per line");
    for (const QString& record : records)
        checkFrame(record);

    // Records written back read back the same.
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    for (const QString& record : records)
        HistoryFiles::WriteHistoryLine(buffer, record);
    buffer.seek(0);
    QString line;
    qsizetype read = 0;
    while (HistoryFiles::ReadHistoryLine(buffer, line)) {
        require(read < records.size() && line == records.at(read), "a record reads back as written");
        ++read;
    }
    require(read == records.size(), "every written record reads back");
}

const QList<Target>& targets()
{
    static const QList<Target> all {
        { "netbiosdatagram", &netbiosDatagram },
        { "datagramlines", &datagramLines },
        { "parseframe", &parseFrame },
        { "profilefile", &profileFile },
        { "usertreefile", &userTreeFile },
        { "historyfile", &historyFile },
    };
    return all;
}
} // namespace FuzzEntries
