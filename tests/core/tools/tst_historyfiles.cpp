#include "ansi.h"
#include "fakeclock.h"
#include "fileerror.h"
#include "frame.h"
#include "historyfiles.h"
#include "settings.h"
#include "temphome.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
QByteArray records(int first, int last)
{
    QByteArray bytes;
    for (int i = first; i <= last; ++i) {
        const QByteArray frame = "M[ANA|JOAO|070512143005|3]S[]D[msg " + QByteArray::number(i) + "]";
        bytes += HistoryFiles::MirrorLetters(frame);
        bytes += "\r\n";
    }
    return bytes;
}

void setMaxRecords(const TempHome& home, const QByteArray& value)
{
    home.write(QStringLiteral("colloqua.ini"), "[SETUP]\r\nQTDE_MAX_REGS_ARQHIST=" + value + "\r\n");
}

QStringList readWithReadHistoryLine(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QStringList lines;
    QString line;
    while (HistoryFiles::ReadHistoryLine(buffer, line))
        lines.append(line);
    return lines;
}
} // namespace

class TestHistoryFiles : public QObject
{
    Q_OBJECT

private slots:
    void mirrorLetters_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("abc") << QByteArray("abc") << QByteArray("zyx");
        QTest::newRow("capitals") << QByteArray("ABCMNZ") << QByteArray("ZYXNMA");
        QTest::newRow("grammar and digits kept")
            << QByteArray("M[|0123456789]S[]D[ ]") << QByteArray("N[|0123456789]H[]W[ ]");
        QTest::newRow("accented and euro kept")
            << QByteArray("\xc9\xe9\x80\xff\x00", 5) << QByteArray("\xc9\xe9\x80\xff\x00", 5);
        QTest::newRow("neighbours of the letters kept") << QByteArray("@[`{") << QByteArray("@[`{");
    }
    void mirrorLetters()
    {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, stored);
        QCOMPARE(HistoryFiles::MirrorLetters(plain), stored);
        QCOMPARE(HistoryFiles::MirrorLetters(stored), plain);
        QCOMPARE(HistoryFiles::MirrorLetters(Ansi::decode(plain)), Ansi::decode(stored));
    }

    void mirrorLettersIsItsOwnInverse()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QCOMPARE(HistoryFiles::MirrorLetters(HistoryFiles::MirrorLetters(all)), all);
        QString text;
        for (char16_t c = 0; c < 0x300; ++c)
            text += QChar(c);
        QCOMPARE(HistoryFiles::MirrorLetters(HistoryFiles::MirrorLetters(text)), text);
    }

    void append_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("mirrored");
        QTest::addColumn<bool>("onlyIfNew");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("missing file is created")
            << false << QByteArray() << QStringLiteral("M[Ana]") << true << false << QByteArray("N[Zmz]\r\n");
        QTest::newRow("appended after the last line")
            << true << QByteArray("zyx\r\n") << QStringLiteral("abc") << true << false << QByteArray("zyx\r\nzyx\r\n");
        QTest::newRow("last line without its end keeps its own line")
            << true << QByteArray("zy") << QStringLiteral("abc") << true << false << QByteArray("zy\r\nzyx\r\n");
        QTest::newRow("last line ended by LF alone")
            << true << QByteArray("zy\n") << QStringLiteral("abc") << true << false << QByteArray("zy\nzyx\r\n");
        QTest::newRow("line break inside the line stored as blanks")
            << true << QByteArray() << QStringLiteral("a\r\nb") << true << false << QByteArray("z  y\r\n");
        QTest::newRow("euro and accents in Windows-1252") << false << QByteArray() << QStringLiteral("Olá € É") << true
                                                          << false << QByteArray("Lo\xe1 \x80 \xc9\r\n");
        QTest::newRow("empty line") << true << QByteArray("zyx\r\n") << QString() << true << false
                                    << QByteArray("zyx\r\n\r\n");
        QTest::newRow("plain line") << false << QByteArray() << QStringLiteral("ANA") << false << true
                                    << QByteArray("ANA\r\n");
        QTest::newRow("only if new: present") << true << QByteArray("ANA\r\nJOAO\r\nBIA\r\n") << QStringLiteral("JOAO")
                                              << false << true << QByteArray("ANA\r\nJOAO\r\nBIA\r\n");
        QTest::newRow("only if new: present as last line without end")
            << true << QByteArray("ANA\r\nJOAO") << QStringLiteral("JOAO") << false << true
            << QByteArray("ANA\r\nJOAO");
        QTest::newRow("only if new: present among LF lines")
            << true << QByteArray("ANA\nJOAO\nBIA\n") << QStringLiteral("JOAO") << false << true
            << QByteArray("ANA\nJOAO\nBIA\n");
        QTest::newRow("only if new: letter case counts")
            << true << QByteArray("ANA\r\n") << QStringLiteral("Ana") << false << true << QByteArray("ANA\r\nAna\r\n");
        QTest::newRow("only if new: a longer line is not equal")
            << true << QByteArray("ANAS\r\n") << QStringLiteral("ANA") << false << true
            << QByteArray("ANAS\r\nANA\r\n");
        QTest::newRow("only if new: compared decoded when mirrored")
            << true << QByteArray("zyx\r\n") << QStringLiteral("abc") << true << true << QByteArray("zyx\r\n");
        QTest::newRow("only if new: accented line present")
            << true << QByteArray("JOS\xc9\r\n") << QStringLiteral("JOSÉ") << false << true
            << QByteArray("JOS\xc9\r\n");
    }
    void append()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QString, line);
        QFETCH(bool, mirrored);
        QFETCH(bool, onlyIfNew);
        QFETCH(QByteArray, after);
        const TempHome temp;
        QVERIFY(temp.home().ensureDataDir());
        const QString path = temp.home().dataFile(QStringLiteral("hist_send.dbt"));
        if (exists)
            temp.write(QStringLiteral("Dados/hist_send.dbt"), before);
        HistoryFiles::AppendHistoryLine(path, line, mirrored, onlyIfNew);
        QCOMPARE(temp.read(QStringLiteral("Dados/hist_send.dbt")), after);
    }

    void appendReceivedAndSentUseTheirFiles()
    {
        const TempHome temp;
        // An existing data directory in small letters is the one used.
        QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("dados")));
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        history.AppendReceived(QStringLiteral("M[ANA||070512143005|9]S[USR_ON]D[]"));
        history.AppendSent(QStringLiteral("M[BIA|ANA|070512143005|9]S[ACK_USR_ON]D[]"));
        history.AppendReceived(QStringLiteral("M[JOAO||070512143005|9]S[USR_OF]D[]"));
        QCOMPARE(temp.read(QStringLiteral("dados/hist_recv.dbt")),
            QByteArray("N[ZMZ||070512143005|9]H[FHI_LM]W[]\r\nN[QLZL||070512143005|9]H[FHI_LU]W[]\r\n"));
        QCOMPARE(temp.read(QStringLiteral("dados/hist_send.dbt")),
            QByteArray("N[YRZ|ZMZ|070512143005|9]H[ZXP_FHI_LM]W[]\r\n"));
        QVERIFY(!QFile::exists(temp.file(QStringLiteral("Dados"))));
    }

    // A stored line, decoded and parsed, means what the frame that was appended meant.
    void storedFrameParsesAsAppended_data()
    {
        QTest::addColumn<QString>("frame");
        const QString stamp = QStringLiteral("030209090507");
        QTest::newRow("text") << BuildTextFrame(QStringLiteral("ANA"), QStringLiteral("JOAO"), stamp, 2,
            QStringLiteral("Olá, João! Custa € 5,00 (à vista) às 10h; ok?"));
        QTest::newRow("presence") << BuildPresenceFrame(QStringLiteral("ANA"), stamp, QStringLiteral("ON"));
        QTest::newRow("acknowledgement") << BuildAckFrame(
            QStringLiteral("ANA"), QStringLiteral("JOAO"), stamp, QStringLiteral("OC"));
        QTest::newRow("logoff") << BuildLogoffFrame(QStringLiteral("ANA"), stamp);
        QTest::newRow("invalid frame") << QStringLiteral("M[ANA|JOAO|310212143005|1]S[]D[x");
    }
    void storedFrameParsesAsAppended()
    {
        QFETCH(QString, frame);
        const TempHome temp;
        QVERIFY(temp.home().ensureDataDir());
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        history.AppendSent(frame);
        const QStringList stored = HistoryFiles::ReadHistoryRecords(history.sentPath());
        QCOMPARE(stored, QStringList { frame });
        const FakeClock clock;
        TDados sent;
        TDados read;
        ParseFrame(frame, sent, clock);
        ParseFrame(stored.first(), read, clock);
        QCOMPARE(read.FromUser, sent.FromUser);
        QCOMPARE(read.ToUser, sent.ToUser);
        QCOMPARE(read.SentAt, sent.SentAt);
        QCOMPARE(read.FaceIndex, sent.FaceIndex);
        QCOMPARE(read.Command, sent.Command);
        QCOMPARE(read.MessageText, sent.MessageText);
        QCOMPARE(read.Valid, sent.Valid);
    }

    void readLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("one empty line") << QByteArray("\r\n") << QStringList { QString() };
        QTest::newRow("CR LF lines") << QByteArray("zyx\r\nZYX\r\n")
                                     << QStringList { QStringLiteral("abc"), QStringLiteral("ABC") };
        QTest::newRow("no final line end")
            << QByteArray("zyx\r\nZYX") << QStringList { QStringLiteral("abc"), QStringLiteral("ABC") };
        QTest::newRow("LF and CR alone") << QByteArray(
            "z\ny\rx") << QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") };
        QTest::newRow("CR CR LF") << QByteArray("z\r\r\ny")
                                  << QStringList { QStringLiteral("a"), QString(), QStringLiteral("b") };
        QTest::newRow("LF CR is two ends")
            << QByteArray("z\n\ry") << QStringList { QStringLiteral("a"), QString(), QStringLiteral("b") };
        QTest::newRow("NUL byte inside a line")
            << QByteArray("z\0y\r\n", 5) << QStringList { QStringLiteral("a") + QChar(0) + QStringLiteral("b") };
        QTest::newRow("high bytes") << QByteArray("\x80\x81\xff\r\n")
                                    << QStringList { QStringLiteral("\u20ac\u0081\u00ff") };
        for (const int before : { 511, 4095 }) {
            QTest::addRow("CR LF split across reads after %d bytes", before) << QByteArray(before, 'z')
                    + "\r\ny" << QStringList { QString(before, QLatin1Char('a')), QStringLiteral("b") };
        }
        QTest::newRow("line longer than a read") << QByteArray(10000, 'z') + "\r\n"
                                                 << QStringList { QString(10000, QLatin1Char('a')) };
        QTest::newRow("CR as the last byte") << QByteArray("z\r") << QStringList { QStringLiteral("a") };
    }
    void readLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(readWithReadHistoryLine(bytes), lines);

        const TempHome temp;
        temp.write(QStringLiteral("Dados/hist_recv.dbt"), bytes);
        QCOMPARE(HistoryFiles::ReadHistoryRecords(temp.home().dataFile(QStringLiteral("hist_recv.dbt"))), lines);
    }

    // Whatever the bytes, every line comes back, split as the shared line rule splits.
    void anyBytesAreRead()
    {
        QRandomGenerator random(73);
        const QByteArray alphabet("\r\n\0aZ[]|\x80\xff", 10);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes;
            const int length = random.bounded(200);
            for (int i = 0; i < length; ++i)
                bytes += alphabet[random.bounded(int(alphabet.size()))];
            QStringList expected;
            for (const QByteArray& line : Ansi::splitLines(bytes))
                expected.append(Ansi::decode(HistoryFiles::MirrorLetters(line)));
            QCOMPARE(readWithReadHistoryLine(bytes), expected);
        }
    }

    void writeHistoryLine()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        HistoryFiles::WriteHistoryLine(buffer, QStringLiteral("M[José|€]"));
        HistoryFiles::WriteHistoryLine(buffer, QString());
        QCOMPARE(buffer.data(), QByteArray("N[Qlh\xe9|\x80]\r\n\r\n"));
        QCOMPARE(readWithReadHistoryLine(buffer.data()), (QStringList { QStringLiteral("M[José|€]"), QString() }));
    }

    void trim_data()
    {
        QTest::addColumn<QByteArray>("setting"); // empty: no colloqua.ini
        QTest::addColumn<int>("count"); // -1: no history file
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("1500 records, max 1000") << QByteArray("1000") << 1500 << records(501, 1500);
        QTest::newRow("fewer than max untouched") << QByteArray("10") << 9 << records(1, 9);
        QTest::newRow("exactly max") << QByteArray("10") << 10 << records(1, 10);
        QTest::newRow("one over max") << QByteArray("10") << 11 << records(2, 11);
        QTest::newRow("max 0 empties") << QByteArray("0") << 5 << QByteArray();
        QTest::newRow("max 1 keeps the newest") << QByteArray("1") << 5 << records(5, 5);
        QTest::newRow("negative max empties") << QByteArray("-3") << 5 << QByteArray();
        QTest::newRow("hexadecimal max") << QByteArray("0x2") << 5 << records(4, 5);
        QTest::newRow("unreadable max is 1000") << QByteArray("muitos") << 1001 << records(2, 1001);
        QTest::newRow("no settings file: 1000") << QByteArray() << 1001 << records(2, 1001);
        QTest::newRow("missing history file created") << QByteArray("10") << -1 << QByteArray();
        QTest::newRow("missing history file, max 0") << QByteArray("0") << -1 << QByteArray();
    }
    void trim()
    {
        QFETCH(QByteArray, setting);
        QFETCH(int, count);
        QFETCH(QByteArray, after);
        const TempHome temp;
        QVERIFY(temp.home().ensureDataDir());
        if (!setting.isEmpty())
            setMaxRecords(temp, setting);
        if (count >= 0)
            temp.write(QStringLiteral("Dados/hist_recv.dbt"), records(1, count));
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        history.TrimHistoryFile(history.receivedPath());
        QVERIFY(QFile::exists(history.receivedPath()));
        QCOMPARE(temp.read(QStringLiteral("Dados/hist_recv.dbt")), after);
        QVERIFY(!QFile::exists(history.swapPath()));
    }

    // The file is rewritten once it holds max records or more, and only then; a rewrite
    // keeps every record byte for byte and ends every line with CR LF.
    void trimRewritesFromMaxOn_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray odd("z\0y\r\n\x80\xff\nlast", 12);
        QTest::newRow("below max: left as it is") << QByteArray("4") << odd << odd;
        QTest::newRow("at max: rewritten") << QByteArray("3") << odd << QByteArray("z\0y\r\n\x80\xff\r\nlast\r\n", 15);
        QTest::newRow("above max: oldest dropped") << QByteArray("2") << odd << QByteArray("\x80\xff\r\nlast\r\n");
    }
    void trimRewritesFromMaxOn()
    {
        QFETCH(QByteArray, setting);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const TempHome temp;
        setMaxRecords(temp, setting);
        temp.write(QStringLiteral("Dados/hist_send.dbt"), before);
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        history.TrimHistoryFile(history.sentPath());
        QCOMPARE(temp.read(QStringLiteral("Dados/hist_send.dbt")), after);
    }

    void deleteRecord_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QByteArray>("after");
        const QString a = QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[oi]");
        const QString b = QStringLiteral("M[BIA|JOAO|070512143005|3]S[]D[oi]");
        const QByteArray sa = HistoryFiles::MirrorLetters(Ansi::encode(a)) + "\r\n";
        const QByteArray sb = HistoryFiles::MirrorLetters(Ansi::encode(b)) + "\r\n";
        QTest::newRow("three occurrences") << sa + sb + sa + sb + sa << a << sb + sb;
        QTest::newRow("not present: same content") << sb + sb << a << sb + sb;
        QTest::newRow("last line without its end") << sb + sa.chopped(2) << a << sb;
        QTest::newRow("letter case counts") << sa << a.toLower() << sa;
        QTest::newRow("a longer record stays") << sa.chopped(2) + "x\r\n" << a << sa.chopped(2) + "x\r\n";
        QTest::newRow("empty frame: untouched")
            << sa + QByteArray("\r\nno end") << QString() << sa + QByteArray("\r\nno end");
        QTest::newRow("accented frame") << QByteArray("N[QLH\xc9]\r\n") + sb << QStringLiteral("M[JOSÉ]") << sb;
    }
    void deleteRecord()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, frame);
        QFETCH(QByteArray, after);
        const TempHome temp;
        temp.write(QStringLiteral("Dados/hist_recv.dbt"), before);
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        history.DeleteHistoryRecord(history.receivedPath(), frame);
        QCOMPARE(temp.read(QStringLiteral("Dados/hist_recv.dbt")), after);
        QVERIFY(!QFile::exists(history.swapPath()));
    }

    void deleteFromMissingFileCreatesNothing()
    {
        const TempHome temp;
        QVERIFY(temp.home().ensureDataDir());
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        history.DeleteHistoryRecord(history.sentPath(), QStringLiteral("M[A]S[]D[]"));
        QVERIFY(!QFile::exists(history.sentPath()));
        QVERIFY(!QFile::exists(history.swapPath()));
    }

    // A work file left by an earlier run is simply overwritten.
    void staleWorkFileIsOverwritten()
    {
        const TempHome temp;
        setMaxRecords(temp, "2");
        temp.write(QStringLiteral("Dados/swap.dbt"), records(100, 120));
        temp.write(QStringLiteral("Dados/hist_recv.dbt"), records(1, 3));
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        history.TrimHistoryFile(history.receivedPath());
        QCOMPARE(temp.read(QStringLiteral("Dados/hist_recv.dbt")), records(2, 3));
        QVERIFY(!QFile::exists(history.swapPath()));
    }

    // When the work file cannot be created, trimming and deleting do nothing, silently.
    void workFileUnavailable_data()
    {
        QTest::addColumn<bool>("trim");
        QTest::newRow("trim") << true;
        QTest::newRow("delete") << false;
    }
    void workFileUnavailable()
    {
        QFETCH(bool, trim);
        const TempHome temp;
        setMaxRecords(temp, "1");
        temp.write(QStringLiteral("Dados/hist_recv.dbt"), records(1, 3));
        QVERIFY(QDir(temp.home().dataDir()).mkdir(QStringLiteral("swap.dbt")));
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        if (trim)
            history.TrimHistoryFile(history.receivedPath());
        else
            history.DeleteHistoryRecord(
                history.receivedPath(), QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[msg 1]"));
        QCOMPARE(temp.read(QStringLiteral("Dados/hist_recv.dbt")), records(1, 3));
    }

    // The work file cannot take the history file's place (another file system here): the
    // history file keeps every record, the error is reported, and no work file is left.
    void failedReplaceKeepsEveryRecord_data()
    {
        QTest::addColumn<bool>("trim");
        QTest::newRow("trim") << true;
        QTest::newRow("delete") << false;
    }
    void failedReplaceKeepsEveryRecord()
    {
        QFETCH(bool, trim);
        if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            QSKIP("needs /dev/shm as a second file system");
        QTemporaryDir elsewhere(QStringLiteral("/dev/shm/colloqua-XXXXXX"));
        QVERIFY(elsewhere.isValid());
        const TempHome temp;
        setMaxRecords(temp, "1");
        QVERIFY(temp.home().ensureDataDir());
        const QString path = elsewhere.filePath(QStringLiteral("hist_recv.dbt"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(records(1, 3));
        }
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        try {
            if (trim)
                history.TrimHistoryFile(path);
            else
                history.DeleteHistoryRecord(path, QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[msg 1]"));
            QFAIL("no error reported");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), records(1, 3));
        QVERIFY(!QFile::exists(history.swapPath()));
    }

    // Killing the program at any moment of a trim leaves the history file either as it was
    // or trimmed, always complete.
    void killDuringTrimLosesNothing()
    {
        const TempHome temp;
        setMaxRecords(temp, "10000");
        const QByteArray before = records(1, 20000);
        const QByteArray trimmed = records(10001, 20000);
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        // A child process trims; it is killed after `delay`, or runs to the end when negative.
        const auto trimInChild = [&](qint64 delayUs) {
            temp.write(QStringLiteral("Dados/hist_recv.dbt"), before);
            const pid_t child = fork();
            if (child == 0) {
                try {
                    history.TrimHistoryFile(history.receivedPath());
                } catch (...) {
                    _exit(1);
                }
                _exit(0);
            }
            if (child < 0)
                return false;
            if (delayUs >= 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
                kill(child, SIGKILL);
            }
            int status = 0;
            waitpid(child, &status, 0);
            return true;
        };

        QElapsedTimer timer;
        timer.start();
        QVERIFY(trimInChild(-1));
        const qint64 fullRunUs = qMax<qint64>(1000, timer.nsecsElapsed() / 1000);
        QCOMPARE(temp.read(QStringLiteral("Dados/hist_recv.dbt")), trimmed);

        QRandomGenerator random(11);
        int sawOld = 0;
        int sawNew = 0;
        for (int round = 0; round < 30; ++round) {
            QVERIFY(trimInChild(random.bounded(fullRunUs * 3 / 2)));
            const QByteArray now = temp.read(QStringLiteral("Dados/hist_recv.dbt"));
            QVERIFY2(now == before || now == trimmed,
                qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(now.size())));
            ++(now == before ? sawOld : sawNew);
        }
        qInfo("killed before the replacement %d times, after it %d times", sawOld, sawNew);
    }

    void fileErrors_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("append without data directory") << QStringLiteral("append");
        QTest::newRow("append only if new without data directory") << QStringLiteral("appendNew");
        QTest::newRow("create without data directory") << QStringLiteral("create");
        QTest::newRow("trim without data directory") << QStringLiteral("trim");
        QTest::newRow("read a directory") << QStringLiteral("readDir");
        QTest::newRow("append to a full disk") << QStringLiteral("full");
    }
    void fileErrors()
    {
        QFETCH(QString, operation);
        const TempHome temp; // no data directory
        const Settings settings(temp.home());
        const HistoryFiles history(temp.home(), settings);
        QString path = history.sentPath();
        try {
            if (operation == QLatin1String("append")) {
                history.AppendSent(QStringLiteral("M[A]S[]D[]"));
            } else if (operation == QLatin1String("appendNew")) {
                HistoryFiles::AppendHistoryLine(path, QStringLiteral("ANA"), false, true);
            } else if (operation == QLatin1String("create")) {
                HistoryFiles::CreateEmptyFile(path);
            } else if (operation == QLatin1String("trim")) {
                history.TrimHistoryFile(path);
            } else if (operation == QLatin1String("readDir")) {
                path = temp.path();
                HistoryFiles::ReadHistoryRecords(path);
            } else if (operation == QLatin1String("full")) {
                if (!QFile::exists(QStringLiteral("/dev/full")))
                    QSKIP("needs /dev/full");
                path = QStringLiteral("/dev/full");
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot call seek")));
                HistoryFiles::AppendHistoryLine(path, QStringLiteral("M[A]S[]D[]"), true, false);
            }
            QFAIL("no error reported");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(temp.home().dataDir()));
    }
};

QTEST_GUILESS_MAIN(TestHistoryFiles)
#include "tst_historyfiles.moc"
