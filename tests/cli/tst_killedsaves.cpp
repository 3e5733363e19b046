#include "copyrun.h"
#include "fakeclock.h"
#include "fileerror.h"
#include "historyfiles.h"
#include "namelists.h"
#include "profilefile.h"
#include "saveworkload.h"
#include "settings.h"
#include "torbfindfile.h"
#include "usertreefile.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <unistd.h>

// A worker saving one kind of file through the station's code is killed with SIGKILL at random
// moments, again and again. After every kill each file must load with the station's readers
// and hold every save the worker reported done; a save cut off by the kill may be there whole
// or not at all (an append may also leave its head as a short line of its own).
//
// COLLOQUA_FAULT_SEED repeats a run (the seed is printed); COLLOQUA_FAULT_KILLS sets the kills
// per kind of file.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define COLLOQUA_KILLS_SANITIZED
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define COLLOQUA_KILLS_SANITIZED
#endif

namespace
{
constexpr int Patience = 15000;
#ifdef COLLOQUA_KILLS_SANITIZED
// Under the sanitizers each start of the worker takes a few hundred milliseconds.
constexpr int DefaultKills = 12;
#else
constexpr int DefaultKills = 35;
#endif
// The kill falls anywhere in this many milliseconds after the worker is ready (the presence
// bursts get longer: a burst is written up to 250 ms after the one before).
constexpr int KillWindowMs = 25;
constexpr int BurstKillWindowMs = 300;

const QString BackupDir = QStringLiteral("Bk teste");

// The files the worker keeps; anything else left in the home is a leftover of a kill.
const QSet<QString> KeptFiles = { QStringLiteral("colloqua.ini"), QStringLiteral("Dados/ArvUsuarios.tv"),
    QStringLiteral("Dados/hist_recv.dbt"), QStringLiteral("Dados/hist_send.dbt"), QStringLiteral("Dados/usuarios.dbt"),
    QStringLiteral("Dados/canais.dbt"), QStringLiteral("Dados/dados.dbt"), BackupDir + QStringLiteral("/dados.dbt") };

// A station home on memory-backed storage where there is one: a kill leaves the page cache as
// it was either way, and without waiting for the disk each kill meets many more saves.
class KillHome final
{
public:
    KillHome()
        : m_dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                ? QStringLiteral("/dev/shm/colloqua-kill-XXXXXX")
                : QDir::tempPath() + QStringLiteral("/colloqua-kill-XXXXXX"))
        , m_home(m_dir.path())
    { }

    const StationHome& home() const { return m_home; }
    QString path() const { return m_dir.path(); }
    QString file(const QString& relative) const { return m_home.ProgramDir() + relative; }

private:
    QTemporaryDir m_dir;
    StationHome m_home;
};

// What the kills so far left as known: the saves reported done, and those cut off by a kill,
// which may or may not have reached the file.
struct Saves
{
    QList<int> done;
    QSet<int> doneSet;
    QSet<int> cutOff;
    // The user's edits reported done (presence bursts with group edits).
    QSet<int> edits;
    int last() const { return done.isEmpty() ? -1 : done.last(); }
    bool known(int round) const { return doneSet.contains(round) || cutOff.contains(round); }
};

// The rounds of the records of a file that grows by one record per save, oldest first. A save
// cut off inside a write may leave the head of its record, as a line of its own that the next
// save does not swallow; such lines are counted in `torn` and left out. Anything else that is
// not a record of a known round gives -1.
template<typename Text, typename Parse>
QList<int> roundsOf(const QStringList& lines, const Saves& saves, Text text, Parse parse, int& torn)
{
    QList<int> rounds;
    for (const QString& line : lines) {
        const int round = parse(line);
        if (round >= 0 && saves.known(round) && (rounds.isEmpty() || round > rounds.last())) {
            rounds.append(round);
            continue;
        }
        const bool head = !line.isEmpty() && std::any_of(saves.cutOff.cbegin(), saves.cutOff.cend(), [&](int cut) {
            const QString whole = text(cut);
            return line.size() < whole.size() && whole.startsWith(line);
        });
        if (head) {
            ++torn;
            continue;
        }
        qWarning("not a saved record: \"%s\"", qPrintable(line.left(300)));
        rounds.append(-1);
    }
    return rounds;
}

QList<int> historyRounds(const QString& path, const Saves& saves, int& torn)
{
    return roundsOf(HistoryFiles::ReadHistoryRecords(path), saves, SaveWorkload::frame, SaveWorkload::frameRound, torn);
}

// The problem with the rounds read back from a file that only grows.
QString checkAppended(const QList<int>& rounds, const Saves& saves)
{
    qsizetype done = 0;
    for (const int round : rounds) {
        if (round < 0)
            return QStringLiteral("a record that no save wrote");
        if (saves.doneSet.contains(round))
            ++done;
    }
    if (done != saves.done.size())
        return QStringLiteral("%1 of %2 saved records are missing")
            .arg(saves.done.size() - done)
            .arg(saves.done.size());
    return {};
}

// The same for a history trimmed to its newest TrimKeep records after each append.
QString checkTrimmed(const QList<int>& rounds, const Saves& saves)
{
    if (rounds.contains(-1))
        return QStringLiteral("a record that no save wrote");
    const qsizetype expected = qMin<qsizetype>(SaveWorkload::TrimKeep, saves.done.size());
    if (rounds.size() < expected)
        return QStringLiteral("%1 records, at least %2 expected").arg(rounds.size()).arg(expected);
    if (saves.done.isEmpty())
        return {};
    if (!rounds.contains(saves.last()))
        return QStringLiteral("the newest saved record %1 is missing").arg(saves.last());
    for (const int round : saves.done) {
        if (round > rounds.first() && !rounds.contains(round))
            return QStringLiteral("saved record %1 is missing").arg(round);
    }
    return {};
}

// The round whose content `bytes` is, from the rounds a file may hold; -1 when none.
template<typename Content> int matchingRound(const QByteArray& bytes, const Saves& saves, Content content)
{
    // Only a save cut off after the last one done can have replaced it.
    QList<int> candidates { saves.last() };
    for (const int round : saves.cutOff) {
        if (round > saves.last())
            candidates.append(round);
    }
    for (const int round : candidates) {
        if (round >= 0 && bytes == content(round))
            return round;
    }
    return -1;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Checks every file of `kind` with the station's readers; empty when all is well.
QString check(
    const QString& kind, const KillHome& home, const Saves& saves, const QHash<int, int>& slotRounds, int& torn)
{
    const StationHome& station = home.home();
    Settings settings(station);
    const HistoryFiles history(station, settings);
    try {
        // Every kind leaves the settings written before the worker ran alone.
        if (settings.readString(QStringLiteral("SETUP"), QStringLiteral("DEFAULT_USER"), {}, {})
            != QLatin1String("ANA"))
            return QStringLiteral("colloqua.ini lost its other keys");

        if (kind == QLatin1String("tree")) {
            const QString path = UserTreeFile::path(station);
            FakeClock clock;
            const UserTreeFile::LoadResult loaded = UserTreeFile::CarregarArvore(path, clock);
            if (!loaded.ok())
                return QStringLiteral("the tree did not load: ") + loaded.error;
            if (!QFileInfo::exists(path))
                return saves.done.isEmpty() ? QString() : QStringLiteral("the tree file is gone");
            const int round = matchingRound(
                readAll(path), saves, [](int r) { return UserTreeFile::toBytes(SaveWorkload::tree(r)); });
            if (round < 0)
                return QStringLiteral("the tree is none that was saved last (last done %1)").arg(saves.last());
            if (loaded.tree.topLevelCount() != SaveWorkload::tree(round).topLevelCount())
                return QStringLiteral("the tree read back differs");
        } else if (kind == QLatin1String("presence") || kind == QLatin1String("groups")) {
            FakeClock clock;
            const UserTreeFile::LoadResult loaded = UserTreeFile::CarregarArvore(UserTreeFile::path(station), clock);
            if (!loaded.ok())
                return QStringLiteral("the tree did not load: ") + loaded.error;
            // The computers of each round's entries, and whether all of them sit in its group.
            QHash<int, QSet<QString>> computers;
            QSet<int> outside;
            const QList<UserTreeNode*> nodes = loaded.tree.nodes();
            for (const UserTreeNode* node : nodes) {
                if (!node->isUserEntry())
                    continue;
                const UserEntryParts parts = SepararUsuario(*node);
                const int round = SaveWorkload::burstRound(parts.user);
                if (round < 0 || !saves.known(round))
                    return QStringLiteral("an entry that no burst brought: ") + node->text();
                computers[round].insert(parts.computer);
                if (parts.group != SaveWorkload::burstGroup(round))
                    outside.insert(round);
            }
            // No burst older than the last one reported written may be missing.
            for (const int round : saves.done) {
                if (computers.value(round).size() != SaveWorkload::BurstStations)
                    return QStringLiteral("burst %1 has %2 of its %3 entries")
                        .arg(round)
                        .arg(computers.value(round).size())
                        .arg(SaveWorkload::BurstStations);
                if (kind == QLatin1String("groups") && outside.contains(round))
                    return QStringLiteral("burst %1 is not all in its group").arg(round);
            }
            for (const int round : saves.edits) {
                if (!loaded.tree.ProcurarGrupo(SaveWorkload::burstGroup(round)))
                    return QStringLiteral("the group edit of round %1 is lost").arg(round);
            }
        } else if (kind == QLatin1String("settings")) {
            if (ProfileFile(settings.path()).readAll().size() < 1)
                return QStringLiteral("colloqua.ini is empty");
            for (int slot = 0; slot < SaveWorkload::SettingSlots; ++slot) {
                const int value
                    = settings.readInt(SaveWorkload::SettingSection, SaveWorkload::settingKey(slot), -1, -2);
                const int saved = slotRounds.value(slot, -1);
                if (value == saved)
                    continue;
                if (value < saved || value % SaveWorkload::SettingSlots != slot || !saves.cutOff.contains(value))
                    return QStringLiteral("key %1 reads %2, saved %3").arg(slot).arg(value).arg(saved);
            }
        } else if (kind == QLatin1String("append")) {
            return checkAppended(historyRounds(history.receivedPath(), saves, torn), saves);
        } else if (kind == QLatin1String("trim")) {
            const QString received = checkTrimmed(historyRounds(history.receivedPath(), saves, torn), saves);
            if (!received.isEmpty())
                return QStringLiteral("received: ") + received;
            const QString sent = checkTrimmed(historyRounds(history.sentPath(), saves, torn), saves);
            if (!sent.isEmpty())
                return QStringLiteral("sent: ") + sent;
        } else if (kind == QLatin1String("names")) {
            QStringList names;
            NameLists(station).LoadUserList(names);
            const auto parse = [](const QString& name) {
                bool ok = false;
                const int round = name.mid(7).toInt(&ok);
                return ok && name == SaveWorkload::userName(round) ? round : -1;
            };
            return checkAppended(roundsOf(names, saves, SaveWorkload::userName, parse, torn), saves);
        } else {
            const QString backup = home.file(BackupDir);
            const QString target = backup + QStringLiteral("/dados.dbt");
            if (!QFileInfo::exists(target))
                return saves.done.isEmpty() ? QString() : QStringLiteral("the copy is gone");
            if (matchingRound(readAll(target), saves, SaveWorkload::dataFile) < 0)
                return QStringLiteral("the copy is none that was made last (last done %1)").arg(saves.last());
            // A restore copies what the file search lists: the copy and nothing a kill left.
            TOrbFindFile finder;
            const QStringList listed = CopyRun::FilesToCopy(finder, backup);
            if (listed != QStringList { target })
                return QStringLiteral("a restore would copy ") + listed.join(QStringLiteral(", "));
        }
    } catch (const FileError& error) {
        return QStringLiteral("a reader failed: ") + error.message();
    }
    return {};
}

// Files under the home that the worker does not keep.
QStringList leftovers(const KillHome& home)
{
    QStringList found;
    const QDir root(home.path());
    QDirIterator it(home.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = root.relativeFilePath(it.next());
        if (!KeptFiles.contains(relative))
            found.append(relative);
    }
    found.sort();
    return found;
}

// What a cut-off save may leave: the temporary file of an atomic replacement beside a kept
// file, the history work file, or the temporary file of a copy.
bool isTemporary(const QString& relative)
{
    static const QRegularExpression saveFile(QStringLiteral("^(.+)\\.[A-Za-z0-9]{6}$"));
    static const QRegularExpression copy(QStringLiteral("(^|/)\\.colloqua-copy-[A-Za-z0-9]{6}$"));
    const QRegularExpressionMatch match = saveFile.match(relative);
    return (match.hasMatch() && KeptFiles.contains(match.captured(1))) || relative == QLatin1String("Dados/swap.dbt")
        || copy.match(relative).hasMatch();
}
} // namespace

class TestKilledSaves final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void savesSurviveKills_data();
    void savesSurviveKills();

private:
    quint32 m_seed = 0;
    int m_kills = 0;
};

void TestKilledSaves::initTestCase()
{
    bool ok = false;
    m_seed = qEnvironmentVariable("COLLOQUA_FAULT_SEED").toUInt(&ok);
    if (!ok)
        m_seed = QRandomGenerator::system()->generate();
    m_kills = qEnvironmentVariableIntValue("COLLOQUA_FAULT_KILLS", &ok);
    if (!ok || m_kills <= 0)
        m_kills = DefaultKills;
    qInfo("seed %u, %d kills per kind (COLLOQUA_FAULT_SEED=%u repeats this run)", m_seed, m_kills, m_seed);
}

void TestKilledSaves::savesSurviveKills_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("windowMs");
    QTest::newRow("tree save") << QStringLiteral("tree") << KillWindowMs;
    QTest::newRow("settings write") << QStringLiteral("settings") << KillWindowMs;
    QTest::newRow("history append") << QStringLiteral("append") << KillWindowMs;
    QTest::newRow("history trim") << QStringLiteral("trim") << KillWindowMs;
    QTest::newRow("user name list") << QStringLiteral("names") << KillWindowMs;
    QTest::newRow("backup copy") << QStringLiteral("backup") << KillWindowMs;
    QTest::newRow("presence bursts, written when handled") << QStringLiteral("presence") << BurstKillWindowMs;
    QTest::newRow("group edits amid presence bursts") << QStringLiteral("groups") << BurstKillWindowMs;
}

void TestKilledSaves::savesSurviveKills()
{
    QFETCH(QString, kind);
    QFETCH(int, windowMs);
    // Each kind its own sequence, so one row repeats alone with the same seed.
    QRandomGenerator random(m_seed + static_cast<quint32>(SaveWorkload::Kinds.indexOf(kind)));

    KillHome home;
    QVERIFY(home.home().ensureDataDir());
    QDir().mkpath(home.file(BackupDir));
    Settings settings(home.home());
    settings.WriteSetting(
        QStringLiteral("SETUP"), QStringLiteral("DEFAULT_USER"), SettingString, QStringLiteral("ANA"));
    settings.WriteSetting(
        QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_ARQHIST"), SettingInteger, SaveWorkload::TrimKeep);

    Saves saves;
    QHash<int, int> slotRounds;
    int next = 0;
    int torn = 0;
    qsizetype previousLeftovers = 0;
    QStringList leftoverNames;
    QElapsedTimer clock;
    clock.start();
    for (int kill = 0; kill < m_kills; ++kill) {
        QProcess worker;
        worker.start(QStringLiteral(COLLOQUA_SAVEWORKER_PATH), { kind, home.path(), QString::number(next) });
        QVERIFY2(worker.waitForStarted(Patience), qPrintable(worker.errorString()));
        QByteArray output;
        while (!output.contains("ready\n")) {
            QVERIFY2(worker.waitForReadyRead(Patience), "the worker never got ready");
            output += worker.readAllStandardOutput();
        }
        ::usleep(random.bounded(quint32(windowMs) * 1000));
        ::kill(static_cast<pid_t>(worker.processId()), SIGKILL);
        QVERIFY(worker.waitForFinished(Patience));
        QVERIFY2(worker.exitStatus() == QProcess::CrashExit,
            qPrintable(QStringLiteral("the worker stopped by itself: ")
                + QString::fromLocal8Bit(worker.readAllStandardError())));
        output += worker.readAllStandardOutput();

        // Every whole line after "ready" is a save done; the round after the last one was cut off.
        const QList<QByteArray> lines = output.mid(output.indexOf("ready\n") + 6).split('\n');
        int round = next - 1;
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            if (lines.at(i).startsWith('+')) {
                saves.edits.insert(lines.at(i).mid(1).toInt());
                continue;
            }
            round = lines.at(i).toInt();
            saves.done.append(round);
            saves.doneSet.insert(round);
            slotRounds.insert(round % SaveWorkload::SettingSlots, round);
        }
        saves.cutOff.insert(round + 1);
        next = round + 2;

        torn = 0;
        const QString problem = check(kind, home, saves, slotRounds, torn);
        QVERIFY2(problem.isEmpty(),
            qPrintable(QStringLiteral("after kill %1 of seed %2 (%3 saves done): %4")
                           .arg(kill + 1)
                           .arg(m_seed)
                           .arg(saves.done.size())
                           .arg(problem)));

        // A kill leaves at most the one file it was writing, and never one a reader could take
        // for data; the readers above passed them by.
        const QStringList left = leftovers(home);
        QVERIFY2(left.size() <= previousLeftovers + 1, qPrintable(left.join(QStringLiteral(", "))));
        previousLeftovers = left.size();
        for (const QString& name : left) {
            QVERIFY2(isTemporary(name), qPrintable(name));
            if (!leftoverNames.contains(name))
                leftoverNames.append(name);
        }
    }
    qInfo(
        "%s: %d kills, %lld saves done, %lld edits, %lld ms; %d torn records; %lld leftover files in the end; seen: %s",
        qPrintable(kind), m_kills, static_cast<long long>(saves.done.size()),
        static_cast<long long>(saves.edits.size()), static_cast<long long>(clock.elapsed()), torn,
        static_cast<long long>(previousLeftovers), qPrintable(leftoverNames.join(QStringLiteral(", "))));
    QVERIFY2(!saves.done.isEmpty(), "no save was made before a kill");
}

QTEST_GUILESS_MAIN(TestKilledSaves)
#include "tst_killedsaves.moc"
