#include "deliverymarks.h"
#include "fakeclock.h"
#include "frame.h"
#include "historyfiles.h"
#include "historylist.h"
#include "settings.h"
#include "temphome.h"

#include <QFile>
#include <QTest>

namespace
{
// "DDMMYYHHNNSS" of 1 Jan 2026 at 10:<minute>:00.
QString atMinute(int minute)
{
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return QStringLiteral("010126") + two(10 + minute / 60) + two(minute % 60) + QStringLiteral("00");
}

TDados parsed(const QString& frame)
{
    TDados dados;
    ParseFrame(frame, dados, FakeClock());
    return dados;
}

QStringList messageTexts(const QStringList& entries)
{
    QStringList texts;
    for (const QString& entry : entries)
        texts.append(parsed(RegistroDaEntrada(entry)).MessageText);
    return texts;
}

QStringList strings(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

// One character is 6 pixels wide, whatever it is.
int sixPixelsEach(QStringView line)
{
    return int(line.size()) * 6;
}
} // namespace

class TestHistoryList : public QObject
{
    Q_OBJECT

private slots:
    void orderKey_data();
    void orderKey();
    void laterStampsSortFirst_data();
    void laterStampsSortFirst();
    void shownOnPage_data();
    void shownOnPage();
    void limitWithEviction_data();
    void limitWithEviction();
    void unparsableRecordsSkipped();
    void wrapByCharacters_data();
    void wrapByCharacters();
    void deleteSeveralRecordsInOneRewrite();
    void deliveryMarks_data();
    void deliveryMarks();
};

void TestHistoryList::orderKey_data()
{
    QTest::addColumn<QString>("stamp");
    QTest::addColumn<QString>("key");
    QTest::newRow("first second of 2000") << QStringLiteral("010100000000") << QStringLiteral("36524300000");
    QTest::newRow("noon is half a day") << QStringLiteral("010100120000") << QStringLiteral("36524250000");
    // 52205 s = 60422.45 units: the integer part of the difference rounds the day part up.
    QTest::newRow("afternoon") << QStringLiteral("071226143005") << QStringLiteral("35540539577");
    QTest::newRow("last second of 2099") << QStringLiteral("311299235959") << QStringLiteral("32871800001");
    QTest::newRow("no stamp is day 0") << QStringLiteral("991299000000") << QStringLiteral("40176900000");
}

void TestHistoryList::orderKey()
{
    QFETCH(QString, stamp);
    QFETCH(QString, key);
    const TDados frame = parsed(QStringLiteral("M[ANA|BIA|") + stamp + QStringLiteral("|5]S[]D[oi]"));
    QCOMPARE(ChaveOrdem(frame.SentAt), key);
}

void TestHistoryList::laterStampsSortFirst_data()
{
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<QString>("later");
    QTest::newRow("five minutes") << QStringLiteral("010126100000") << QStringLiteral("010126100500");
    QTest::newRow("one second") << QStringLiteral("010126100000") << QStringLiteral("010126100001");
    QTest::newRow("across a year") << QStringLiteral("311225235959") << QStringLiteral("010126000000");
    QTest::newRow("across the century's years") << QStringLiteral("010100000000") << QStringLiteral("311299235959");
}

void TestHistoryList::laterStampsSortFirst()
{
    QFETCH(QString, earlier);
    QFETCH(QString, later);
    HistoryList list(0);
    // Given oldest first, as a history file holds them.
    for (const QString& stamp : { earlier, later }) {
        const QString frame = BuildTextFrame(QStringLiteral("BIA"), QStringLiteral("ANA"), stamp, 5, stamp);
        list.Adicionar(frame, parsed(frame));
    }
    QCOMPARE(messageTexts(list.entries()), (QStringList { later, earlier }));
    for (const QString& entry : list.entries())
        QCOMPARE(entry.indexOf(QLatin1Char('|')), 11);
}

void TestHistoryList::shownOnPage_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("systemFrames");
    QTest::addColumn<bool>("recebidas");
    QTest::addColumn<bool>("enviadas");
    QTest::addColumn<bool>("todas");
    const QString stamp = QStringLiteral("010126100000");
    QTest::newRow("to me") << BuildTextFrame(
        QStringLiteral("BIA"), QStringLiteral("ANA"), stamp, 5, QStringLiteral("x"))
                           << false << true << false << true;
    QTest::newRow("to nobody") << BuildTextFrame(QStringLiteral("BIA"), QString(), stamp, 5, QStringLiteral("x"))
                               << false << true << false << true;
    QTest::newRow("to someone else") << BuildTextFrame(
        QStringLiteral("BIA"), QStringLiteral("CAIO"), stamp, 5, QStringLiteral("x"))
                                     << false << false << false << false;
    QTest::newRow("names compare with case")
        << BuildTextFrame(QStringLiteral("BIA"), QStringLiteral("ana"), stamp, 5, QStringLiteral("x")) << false << false
        << false << false;
    QTest::newRow("from me") << BuildTextFrame(
        QStringLiteral("ANA"), QStringLiteral("BIA"), stamp, 5, QStringLiteral("x"))
                             << false << false << true << true;
    QTest::newRow("broadcast announcement hidden")
        << BuildPresenceFrame(QStringLiteral("BIA"), stamp, QStringLiteral("ON")) << false << false << false << false;
    QTest::newRow("broadcast announcement with system frames")
        << BuildPresenceFrame(QStringLiteral("BIA"), stamp, QStringLiteral("ON")) << true << true << false << true;
    QTest::newRow("own acknowledgement with system frames")
        << BuildAckFrame(QStringLiteral("ANA"), QStringLiteral("BIA"), stamp, QStringLiteral("ON")) << true << false
        << true << true;
    QTest::newRow("not a frame") << QStringLiteral("M[BIA|ANA|010126100000|5]D[x]") << true << false << false << false;
}

void TestHistoryList::shownOnPage()
{
    QFETCH(QString, frame);
    QFETCH(bool, systemFrames);
    QFETCH(bool, recebidas);
    QFETCH(bool, enviadas);
    QFETCH(bool, todas);
    const TDados dados = parsed(frame);
    const QString me = QStringLiteral("ANA");
    QCOMPARE(MostrarRegistro(dados, HistoryPage::Recebidas, me, systemFrames), recebidas);
    QCOMPARE(MostrarRegistro(dados, HistoryPage::Enviadas, me, systemFrames), enviadas);
    QCOMPARE(MostrarRegistro(dados, HistoryPage::Todas, me, systemFrames), todas);
}

void TestHistoryList::limitWithEviction_data()
{
    // Received texts "rN" and sent texts "sN" are stamped at minute N; files hold them in the
    // order given.
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QList<int>>("received");
    QTest::addColumn<QList<int>>("sent");
    QTest::addColumn<QStringList>("shown");
    const QList<int> tenMinutes { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 };
    QTest::newRow("Recebidas keeps the newest three")
        << 0 << 3 << tenMinutes << QList<int> {} << strings({ "r10", "r9", "r8" });
    QTest::newRow("0 means no limit") << 0 << 0 << QList<int> { 1, 2, 3, 4 } << QList<int> {}
                                      << strings({ "r4", "r3", "r2", "r1" });
    QTest::newRow("Enviadas keeps the newest two")
        << 1 << 2 << QList<int> { 20 } << QList<int> { 1, 2, 3, 4, 5 } << strings({ "s5", "s4" });
    QTest::newRow("Todas, older sent records still take the last place")
        << 2 << 3 << QList<int> { 10, 11, 12, 13, 14 } << QList<int> { 1, 2, 3, 4 } << strings({ "r14", "r13", "s4" });
    QTest::newRow("Todas, newer sent records push the received out")
        << 2 << 3 << QList<int> { 1, 2, 3, 4 } << QList<int> { 10, 11, 12, 13, 14 } << strings({ "s14", "s13", "s12" });
    QTest::newRow("Todas without a limit")
        << 2 << 0 << QList<int> { 1, 3 } << QList<int> { 2, 4 } << strings({ "s4", "r3", "s2", "r1" });
    // Each sender stamps with its own clock: the eviction goes by the list, not by arrival.
    QTest::newRow("file out of stamp order")
        << 0 << 2 << QList<int> { 5, 1, 9, 3 } << QList<int> {} << strings({ "r9", "r3" });
}

void TestHistoryList::limitWithEviction()
{
    QFETCH(int, page);
    QFETCH(int, maximum);
    QFETCH(QList<int>, received);
    QFETCH(QList<int>, sent);
    QFETCH(QStringList, shown);

    const TempHome home;
    home.home().ensureDataDir();
    const Settings settings(home.home());
    const HistoryFiles history(home.home(), settings);
    const QString me = QStringLiteral("ANA");
    for (const int minute : received)
        history.AppendReceived(
            BuildTextFrame(QStringLiteral("BIA"), me, atMinute(minute), 5, QStringLiteral("r%1").arg(minute)));
    for (const int minute : sent)
        history.AppendSent(
            BuildTextFrame(me, QStringLiteral("BIA"), atMinute(minute), 5, QStringLiteral("s%1").arg(minute)));

    HistoryList list(maximum);
    if (page != HistoryPage::Enviadas)
        list.CarregarArquivo(history.receivedPath(), page, me, false);
    if (page != HistoryPage::Recebidas)
        list.CarregarArquivo(history.sentPath(), page, me, false);
    QCOMPARE(messageTexts(list.entries()), shown);
}

void TestHistoryList::unparsableRecordsSkipped()
{
    const TempHome home;
    home.write(QStringLiteral("Dados/hist_recv.dbt"),
        HistoryFiles::MirrorLetters(
            QByteArrayLiteral("garbage\r\nM[BIA|ANA|010126100000|5]S[]D[ok]\r\nM[BIA|ANA|0101\r\n")));
    HistoryList list(0);
    list.CarregarArquivo(home.file(QStringLiteral("Dados/hist_recv.dbt")), 0, QStringLiteral("ANA"), true);
    QCOMPARE(messageTexts(list.entries()), QStringList { QStringLiteral("ok") });
    // A missing file shows nothing.
    list.CarregarArquivo(home.file(QStringLiteral("Dados/hist_send.dbt")), 0, QStringLiteral("ANA"), true);
    QCOMPARE(list.count(), 1);
}

void TestHistoryList::wrapByCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("lines");
    const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    QTest::newRow("fits") << QStringLiteral("abc") << 100 << 4 << strings({ "abc" });
    QTest::newRow("empty") << QString() << 100 << 4 << QStringList {};
    // A line closes once it is wider than the limit: 12 px (2 chars) is not, 18 px (3) is.
    QTest::newRow("limit 12") << QStringLiteral("abcdefghi") << 12 << 4 << strings({ "abc", "def", "ghi" });
    QTest::newRow("exactly at the limit stays open")
        << QStringLiteral("abcdefgh") << 18 << 4 << strings({ "abcd", "efgh" });
    QTest::newRow("only four lines") << alphabet << 12 << 4 << strings({ "abc", "def", "ghi", "jkl" });
    QTest::newRow("wider shows more") << alphabet << 30 << 4 << strings({ "abcdef", "ghijkl", "mnopqr", "stuvwx" });
    QTest::newRow("widest shows all") << alphabet << 60 << 4 << strings({ "abcdefghijk", "lmnopqrstuv", "wxyz" });
    QTest::newRow("all lines") << alphabet << 60 << 0 << strings({ "abcdefghijk", "lmnopqrstuv", "wxyz" });
    QTest::newRow("blanks are characters too")
        << QStringLiteral("a b c d") << 6 << 4 << strings({ "a ", "b ", "c ", "d" });
    QTest::newRow("no room still one character a line")
        << QStringLiteral("abcde") << -20 << 4 << strings({ "a", "b", "c", "d" });
    // A surrogate pair measures 12 px here and is never cut.
    QTest::newRow("surrogate pairs whole") << QStringLiteral("😀😀😀") << 6 << 4 << strings({ "😀", "😀", "😀" });
    QTest::newRow("combining mark stays with its letter")
        << QStringLiteral("e\u0301e\u0301e\u0301") << 6 << 4
        << QStringList { QStringLiteral("e\u0301"), QStringLiteral("e\u0301"), QStringLiteral("e\u0301") };
}

void TestHistoryList::wrapByCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(int, maxLines);
    QFETCH(QStringList, lines);
    QCOMPARE(QuebrarTexto(text, limit, sixPixelsEach, maxLines), lines);
}

void TestHistoryList::deleteSeveralRecordsInOneRewrite()
{
    const TempHome home;
    home.home().ensureDataDir();
    const Settings settings(home.home());
    const HistoryFiles history(home.home(), settings);
    const QString path = history.receivedPath();
    const QStringList frames { QStringLiteral("M[A|B|010126100000|5]S[]D[um]"),
        QStringLiteral("M[A|B|010126100100|5]S[]D[dois]"), QStringLiteral("M[A|B|010126100200|5]S[]D[tres]") };
    for (const QString& frame : frames + frames)
        history.AppendReceived(frame);

    history.DeleteHistoryRecords(path, { frames.at(0), frames.at(2), QString(), QStringLiteral("absent") });
    QCOMPARE(HistoryFiles::ReadHistoryRecords(path), (QStringList { frames.at(1), frames.at(1) }));
    QVERIFY(!QFile::exists(history.swapPath()));

    // Nothing to delete leaves the file alone.
    const QByteArray before = home.read(QStringLiteral("Dados/hist_recv.dbt"));
    history.DeleteHistoryRecords(path, { QString() });
    QCOMPARE(home.read(QStringLiteral("Dados/hist_recv.dbt")), before);
}

// ANA's message to BRUNO of 1 Jan 2026 10:05:00 against the receipts of her received history.
void TestHistoryList::deliveryMarks_data()
{
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QStringList>("received");
    QTest::addColumn<int>("secondsLater");
    QTest::addColumn<QString>("mark");

    const QString message = QStringLiteral("M[ANA|BRUNO|%1|5]S[]D[oi]").arg(atMinute(5));
    const auto receipt = [](const char* from, const char* to, const QString& named) {
        return QStringLiteral("M[%1|%2|%3|9]S[ACK_MSG_%4]D[]")
            .arg(QLatin1String(from), QLatin1String(to), atMinute(30), named);
    };
    const QString earlier = receipt("BRUNO", "ANA", atMinute(1));
    const QString entregue = QStringLiteral("entregue");
    const QString naoConfirmada = QStringLiteral("não confirmada");
    QTest::newRow("its receipt") << message << QStringList { receipt("BRUNO", "ANA", atMinute(5)) } << 1 << entregue;
    QTest::newRow("its receipt, late") << message << QStringList { earlier, receipt("BRUNO", "ANA", atMinute(5)) }
                                       << 3600 << entregue;
    QTest::newRow("recipient never confirms") << message << QStringList {} << 3600 << "";
    QTest::newRow("confirmed before, time not up") << message << QStringList { earlier } << 9 << "";
    QTest::newRow("confirmed before, time up") << message << QStringList { earlier } << 10 << naoConfirmada;
    QTest::newRow("confirmed only later messages")
        << message << QStringList { receipt("BRUNO", "ANA", atMinute(6)) } << 3600 << "";
    QTest::newRow("receipt from another recipient")
        << message << QStringList { earlier, receipt("CARLA", "ANA", atMinute(5)) } << 60 << naoConfirmada;
    QTest::newRow("receipt to another sender")
        << message << QStringList { earlier, receipt("BRUNO", "CAIO", atMinute(5)) } << 60 << naoConfirmada;
    QTest::newRow("receipt carrying text is none")
        << message
        << QStringList { earlier,
               receipt("BRUNO", "ANA", atMinute(5)).replace(QStringLiteral("D[]"), QStringLiteral("D[x]")) }
        << 60 << naoConfirmada;
    QTest::newRow("receipt naming a bad stamp")
        << message << QStringList { earlier, receipt("BRUNO", "ANA", atMinute(5).left(10)) } << 60 << naoConfirmada;
    QTest::newRow("system frames have no mark")
        << QStringLiteral("M[ANA|BRUNO|%1|9]S[USR_ON]D[]").arg(atMinute(5)) << QStringList { earlier } << 60 << "";
}

void TestHistoryList::deliveryMarks()
{
    QFETCH(QString, sent);
    QFETCH(QStringList, received);
    QFETCH(int, secondsLater);
    QFETCH(QString, mark);

    const TempHome home;
    home.home().ensureDataDir();
    const Settings settings(home.home());
    const HistoryFiles history(home.home(), settings);
    for (const QString& frame : received)
        history.AppendReceived(frame);
    const TDados frame = parsed(sent);
    const DeliveryMarks marks = DeliveryMarks::FromFile(history.receivedPath());
    QCOMPARE(DeliveryMarks::Texto(marks.MarcaDe(frame, frame.SentAt.addSecs(secondsLater))), mark);
}

QTEST_GUILESS_MAIN(TestHistoryList)
#include "tst_historylist.moc"
