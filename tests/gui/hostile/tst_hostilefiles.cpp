#include "hostilestation.h"
#include "tformmain.h"

#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>

// Damaged files put in the home before the station starts. The station starts the way the
// program does, logs on by itself, keeps working, and when it logs off and exits (which trims
// the histories) every record that was in a file before is still there: only the trim may
// drop records, and only the oldest beyond the configured limit.
namespace
{
using namespace Hostile;
using Files = QMap<QString, QByteArray>;

const QString ReceivedFile = QStringLiteral("Dados/hist_recv.dbt");
const QString SentFile = QStringLiteral("Dados/hist_send.dbt");
const QString UsersFile = QStringLiteral("Dados/usuarios.dbt");
const QString ChannelsFile = QStringLiteral("Dados/canais.dbt");
const QString TreeFile = QStringLiteral("Dados/ArvUsuarios.tv");

// Settings that log ANA on to CANAL at start and make no backup at exit.
QByteArray baseSettings(int maxRecords = 1000)
{
    return "[SETUP]\r\nDEFAULT_USER=ANA\r\nDEFAULT_CHANNEL=CANAL\r\nDEFAULT_STATUS=ON\r\nEXIBIR_JANELA=0\r\n"
           "QTDE_MAX_REGS_ARQHIST="
        + QByteArray::number(maxRecords) + "\r\n[BACKUP]\r\nAUTO_BACKUP=0\r\n";
}

// The same bytes every run.
QByteArray garbage(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(seed >> 23);
    }
    return bytes;
}

QByteArray record(const QByteArray& frame)
{
    return HistoryFiles::MirrorLetters(frame) + "\r\n";
}

// The lines of a file as a reader that takes CR LF, CR or LF as a line end sees them; a last
// line without an end counts.
QList<QByteArray> rawLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines.append(bytes.mid(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append(bytes.mid(start));
    return lines;
}

// Starts the station over the laid-out home: it logs on by itself and answers a peer.
void startAndUse(HostileStation& station, HostilePeer& peer)
{
    station.start();
    QVERIFY(station.com().EstaConectado());
    QCOMPARE(station.com().UsuarioAtual(), QStringLiteral("ANA"));
    checkStillWorking(station, peer);
}

// Logoff, then the tray's exit, which trims both histories. Gives each file's lines just
// before the trim.
QMap<QString, QList<QByteArray>> logOffAndExit(HostileStation& station)
{
    station.com().Desconectar();
    QMap<QString, QList<QByteArray>> beforeTrim;
    for (const QString& file : { ReceivedFile, SentFile })
        beforeTrim.insert(file, rawLines(station.home().read(file)));
    station.station().FormMain().MenuFecharClick();
    return beforeTrim;
}

// `lines` holds `sub` in order, maybe with others between. Gives the first line of `sub`
// missing (escaped), or nothing.
std::optional<QString> missingInOrder(const QStringList& lines, const QStringList& sub)
{
    qsizetype at = 0;
    for (const QString& line : lines) {
        if (at < sub.size() && line == sub.at(at))
            ++at;
    }
    if (at == sub.size())
        return std::nullopt;
    QString escaped;
    for (const QChar c : sub.at(at))
        escaped += c.unicode() < 0x20 || c.unicode() > 0x7E
            ? QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))
            : QString(c);
    return escaped;
}

#define VERIFY_HOLDS_IN_ORDER(lines, sub)                                                                              \
    do {                                                                                                               \
        const std::optional<QString> missing = missingInOrder(lines, sub);                                             \
        QVERIFY2(!missing, qPrintable(QStringLiteral("missing: ") + missing.value_or(QString())));                     \
    } while (false)
} // namespace

class TestHostileFiles final : public QObject
{
    Q_OBJECT

private slots:
    void recordFiles_data();
    void recordFiles();
    void treeFiles_data();
    void treeFiles();
    void settingsFiles_data();
    void settingsFiles();
    void trimThatCannotFinish_data();
    void trimThatCannotFinish();
};

void TestHostileFiles::recordFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxRecords");

    const QByteArray good1 = record("M[BRUNO|ANA|070512143005|5]S[]D[primeira]");
    const QByteArray good2 = record("M[BRUNO|ANA|070512143105|5]S[]D[segunda]");
    const QByteArray good3 = record("M[CARLA|ANA|070512143205|3]S[]D[terceira]");
    QByteArray many;
    for (int i = 0; i < 40; ++i)
        many += record(QStringLiteral("M[BRUNO|ANA|070512143005|5]S[]D[%1]").arg(i).toLatin1());

    for (const QString& file : { ReceivedFile, SentFile }) {
        const QByteArray tag = file == ReceivedFile ? "received history: " : "sent history: ";
        QTest::newRow(QByteArray(tag + "binary garbage between records").constData())
            << file << good1 + garbage(4096, 7) + "\r\n" + good2 << 1000;
        QTest::newRow(QByteArray(tag + "NUL bytes").constData())
            << file << good1 + QByteArray(300, '\0') + "\r\n" + record(QByteArray("M[\0\0", 4)) + good2 << 1000;
        QTest::newRow(QByteArray(tag + "no final line end").constData()) << file << good1 + good2.chopped(2) << 1000;
        QTest::newRow(QByteArray(tag + "lone CRs and LFs as line ends").constData())
            << file << good1.chopped(2) + "\r" + good2.chopped(2) + "\n" + good3.chopped(1) << 1000;
        QTest::newRow(QByteArray(tag + "a line of 100,000 bytes").constData())
            << file << good1 + QByteArray(100000, 'z') + "\r\n" + good2 << 1000;
        QTest::newRow(QByteArray(tag + "only garbage").constData()) << file << garbage(20000, 99) << 1000;
        QTest::newRow(QByteArray(tag + "garbage, trimmed to 5").constData())
            << file << many + garbage(2000, 3) + many << 5;
        QTest::newRow(QByteArray(tag + "no final line end, trimmed to 3").constData()) << file << many.chopped(2) << 3;
        QTest::newRow(QByteArray(tag + "exactly at the limit").constData()) << file << good1 + good2 + good3 << 3;
    }
    QTest::newRow("user list with garbage") << UsersFile << "BRUNO\r\n" + garbage(3000, 11) + "\r\nCARLA" << 1000;
    QTest::newRow("user list with NUL bytes") << UsersFile << QByteArray("BRUNO\r\n\0\0\0\r\nCARLA\r\n", 18) << 1000;
    QTest::newRow("channel list with garbage") << ChannelsFile << "VENDAS\r\n" + garbage(3000, 13) << 1000;
    QTest::newRow("channel list without line ends") << ChannelsFile << QByteArray("NETWORK") << 1000;
}

void TestHostileFiles::recordFiles()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxRecords);

    HostileStation station;
    station.home().write(file, bytes);
    station.writeSettings(baseSettings(maxRecords));
    HostilePeer peer;
    startAndUse(station, peer);
    const QMap<QString, QList<QByteArray>> beforeTrim = logOffAndExit(station);
    QCOMPARE(station.queued().texts(), QStringList());

    const QList<QByteArray> before = rawLines(bytes);
    const QList<QByteArray> after = rawLines(station.home().read(file));
    if (beforeTrim.contains(file)) {
        // Whatever was there is still there, before what the run added...
        const QList<QByteArray>& run = beforeTrim.value(file);
        QCOMPARE(run.mid(0, before.size()), before);
        QVERIFY(run.size() > before.size() || file == SentFile);
        // ...and the trim kept exactly the newest records up to the limit.
        const QList<QByteArray> expected = run.size() >= maxRecords ? run.mid(run.size() - maxRecords) : run;
        QCOMPARE(after, expected);
    } else {
        QCOMPARE(after.mid(0, before.size()), before);
    }
    QVERIFY(QDir(station.home().path() + QStringLiteral("/Dados")).entryList({ QStringLiteral("swap.dbt") }).isEmpty());
}

void TestHostileFiles::treeFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // Lines of the file still there after the run, in this order.
    QTest::addColumn<QStringList>("kept");
    // The file could not be read whole: the user is told, and it is kept aside as it was.
    QTest::addColumn<bool>("problem");

    QTest::newRow("a node three levels deeper than its parent")
        << QByteArray("Vendas\r\n\t'BRUNO (pc-b)\r\n\t\t\t\t'CARLA (pc-c)\r\n\t'DIANA (pc-d)\r\n")
        << QStringList { QStringLiteral("Vendas"), QStringLiteral("\t'BRUNO (pc-b)"),
               QStringLiteral("\t'DIANA (pc-d)") }
        << true;
    QTest::newRow("a first line indented")
        << QByteArray("\t\t\tVendas\r\n\t'BRUNO (pc-b)\r\n")
        << QStringList { QStringLiteral("Vendas"), QStringLiteral("\t'BRUNO (pc-b)") } << false;

    // One group in the other, thousands deep, a user at the bottom.
    constexpr int Depth = 3000;
    QByteArray deep;
    QStringList deepLines;
    for (int level = 0; level < Depth; ++level) {
        deepLines.append(QString(level, QLatin1Char('\t')) + QStringLiteral("G%1").arg(level));
        deep += deepLines.constLast().toLatin1() + "\r\n";
    }
    deepLines.append(QString(Depth, QLatin1Char('\t')) + QStringLiteral("'BRUNO (pc-b)"));
    deep += deepLines.constLast().toLatin1() + "\r\n";
    QTest::newRow("3000 levels deep") << deep << deepLines << false;

    // Then the same with one line jumping from the top to the bottom.
    QByteArray jump = "'CARLA (pc-c)\r\n" + QByteArray(Depth, '\t') + "'BRUNO (pc-b)\r\n";
    QTest::newRow("a jump of 3000 levels") << jump << QStringList { QStringLiteral("'CARLA (pc-c)") } << true;

    // Lines of noise, control bytes and all, without line breaks or parentheses (which would
    // make user entries) and without blanks or control bytes at either end (group names are
    // kept trimmed): each a group at the top.
    QStringList noiseLines;
    QByteArray noise;
    for (int i = 0; i < 50; ++i) {
        QByteArray line = garbage(40, quint32(i + 1));
        for (char& c : line) {
            if (c == '\r' || c == '\n' || c == '(' || c == ')')
                c = '#';
        }
        for (char* end : { &line.front(), &line.back() }) {
            if (static_cast<quint8>(*end) <= 0x20)
                *end = '#';
        }
        noise += line + "\r\n";
        noiseLines.append(Ansi::decode(line));
    }
    QTest::newRow("lines of noise") << noise << noiseLines << false;
    // An empty line is a group without a name.
    QTest::newRow("empty lines between") << QByteArray("Vendas\r\n\r\n\t'BRUNO (pc-b)\r\n\r\n\r\n")
                                         << QStringList { QStringLiteral("Vendas"), QString(),
                                                QStringLiteral("\t'BRUNO (pc-b)"), QString(), QString() }
                                         << false;
}

void TestHostileFiles::treeFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, kept);
    QFETCH(bool, problem);

    HostileStation station;
    station.home().write(TreeFile, bytes);
    station.writeSettings(baseSettings());
    HostilePeer peer;
    startAndUse(station, peer);
    logOffAndExit(station);

    QStringList after = Ansi::decode(station.home().read(TreeFile)).split(LineEnd);
    QCOMPARE(after.takeLast(), QString());
    VERIFY_HOLDS_IN_ORDER(after, kept);
    QVERIFY(after.contains(QStringLiteral("'PEDRO (pc-peer)")));

    const QStringList aside = QDir(station.home().path() + QStringLiteral("/Dados"))
                                  .entryList({ QStringLiteral("ArvUsuarios.tv.bad-*") }, QDir::Files);
    QCOMPARE(aside.size(), problem ? 1 : 0);
    QCOMPARE(station.queued().asked().size(), problem ? 1 : 0);
    if (problem)
        QCOMPARE(station.home().read(QStringLiteral("Dados/") + aside.constFirst()), bytes);
}

void TestHostileFiles::settingsFiles_data()
{
    QTest::addColumn<QByteArray>("settings");
    // What the run may change: these keys' lines.
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<int>("records");

    const QStringList written { QStringLiteral("LAST_USER="), QStringLiteral("LAST_CHANNEL="),
        QStringLiteral("NUM_EXECUCOES=") };
    const QByteArray history = "QTDE_MAX_REGS_ARQHIST=";

    // Only the first section of a name and the first key of a name count; the others stay.
    QTest::newRow("duplicate sections and keys")
        << baseSettings() + "[SETUP]\r\nDEFAULT_USER=EVA\r\nDEFAULT_CHANNEL=OUTRO\r\n" + history
            + "1\r\n[setup]\r\nDEFAULT_USER=EVA\r\n[BACKUP]\r\nAUTO_BACKUP=1\r\nAUTO_BACKUP_CADA=1\r\n"
        << written << 1000;
    QTest::newRow("duplicate keys")
        << "[SETUP]\r\nDEFAULT_USER=ANA\r\nDEFAULT_USER=EVA\r\nDEFAULT_CHANNEL=CANAL\r\ndefault_channel=OUTRO\r\n"
           "DEFAULT_STATUS=ON\r\nDEFAULT_STATUS=OF\r\nEXIBIR_JANELA=0\r\n"
            + history + "2\r\n" + history + "1\r\n[BACKUP]\r\nAUTO_BACKUP=0\r\nAUTO_BACKUP=1\r\n"
        << written << 2;
    const QByteArray long10k(10000, 'x');
    QTest::newRow("a 10,000-character sound file")
        << baseSettings() + "[RECEBER]\r\nEMITIR_SOM=1\r\nARQ_EMITIR_SOM=" + long10k + "\r\n"
        << written << 1000;
    QTest::newRow("a 10,000-digit record limit")
        << "[SETUP]\r\nDEFAULT_USER=ANA\r\nDEFAULT_CHANNEL=CANAL\r\nDEFAULT_STATUS=ON\r\nEXIBIR_JANELA=0\r\n" + history
            + QByteArray(10000, '9') + "\r\n[BACKUP]\r\nAUTO_BACKUP=0\r\n"
        << written << 1000;
    QTest::newRow("a zero record limit") << baseSettings(0) << written << 0;
    QTest::newRow("a 10,000-character key") << baseSettings() + "[SETUP]\r\n" + long10k + "=1\r\n[" + long10k
            + "]\r\nA=1\r\n" << written << 1000;
    QTest::newRow("garbage between sections")
        << baseSettings() + garbage(2000, 5).replace('[', '{').replace('=', '-') + "\r\n[RECEBER]\r\nEXIBIR_MSG=1\r\n"
        << written << 1000;
}

void TestHostileFiles::settingsFiles()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, written);
    QFETCH(int, records);

    HostileStation station;
    // More records than any limit below would keep.
    QByteArray history;
    for (int i = 0; i < 3; ++i)
        history += record(QStringLiteral("M[BRUNO|ANA|070512143005|5]S[]D[%1]").arg(i).toLatin1());
    station.home().write(ReceivedFile, history);
    station.writeSettings(settings);
    const QByteArray iniBefore = station.home().read(QStringLiteral("colloqua.ini"));
    HostilePeer peer;
    startAndUse(station, peer);
    QCOMPARE(station.com().CanalAtual(), Channel);
    const QMap<QString, QList<QByteArray>> beforeTrim = logOffAndExit(station);
    QCOMPARE(station.queued().texts(), QStringList());

    // Every line the run did not write is still there, in its order.
    const QList<QByteArray> iniAfter = rawLines(station.home().read(QStringLiteral("colloqua.ini")));
    QStringList after;
    for (const QByteArray& line : iniAfter)
        after.append(Ansi::decode(line));
    QStringList untouched;
    for (const QByteArray& line : rawLines(iniBefore)) {
        const QString text = Ansi::decode(line);
        if (std::none_of(written.cbegin(), written.cend(), [&](const QString& k) { return text.startsWith(k); }))
            untouched.append(text);
    }
    VERIFY_HOLDS_IN_ORDER(after, untouched);
    // The record limit in force is the first key of the first section, or the default.
    const QList<QByteArray> run = beforeTrim.value(ReceivedFile);
    QCOMPARE(run.mid(0, 3), rawLines(history));
    QCOMPARE(rawLines(station.home().read(ReceivedFile)), run.size() >= records ? run.mid(run.size() - records) : run);
}

void TestHostileFiles::trimThatCannotFinish_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("largestFile");

    // The trimmed file would be larger than any file the process may write now: its rewrite
    // fails part way, as on a full disk.
    QTest::newRow("fails after 1 KiB") << 60 << 1024;
    QTest::newRow("fails at once") << 60 << 0;
}

void TestHostileFiles::trimThatCannotFinish()
{
    QFETCH(int, records);
    QFETCH(int, largestFile);

    HostileStation station;
    QByteArray history;
    for (int i = 0; i < records; ++i)
        history += record(QStringLiteral("M[BRUNO|ANA|070512143005|5]S[]D[mensagem %1]").arg(i).toLatin1());
    station.home().write(ReceivedFile, history);
    station.writeSettings(baseSettings(records / 2));
    HostilePeer peer;
    startAndUse(station, peer);
    station.com().Desconectar();
    const QByteArray before = station.home().read(ReceivedFile);
    QVERIFY(before.startsWith(history));

    // Past the limit a write fails with EFBIG instead of ending the process.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlim_t was = limit.rlim_cur;
    limit.rlim_cur = rlim_t(largestFile);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    station.station().FormMain().MenuFecharClick();
    limit.rlim_cur = was;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::signal(SIGXFSZ, previous);

    // The failure was shown, and the history is the one from before, whole.
    QVERIFY(!station.queued().texts().isEmpty());
    QCOMPARE(station.home().read(ReceivedFile), before);
    QVERIFY(!QFileInfo::exists(station.tools().history().swapPath()));
}

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
