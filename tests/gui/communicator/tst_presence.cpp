#include "fakeclock.h"
#include "frame.h"
#include "historyfiles.h"
#include "imagesets.h"
#include "networkconfig.h"
#include "teststation.h"
#include "tformhistmsg.h"
#include "tformsendmsg.h"
#include "udpmailslotbackend.h"

#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

// Stations talking over UDP on loopback addresses, each through its windows.
namespace
{
const QString Channel = QStringLiteral("CANAL");
// The visible tree is rebuilt this long after the first change of a burst.
constexpr int RebuildDelayMs = 2000;
constexpr int Patience = 8000;

void logOn(TestStation& station, const QString& user, const QString& status = QStringLiteral("ON"))
{
    station.com().Conectar(user, Channel, status);
    QVERIFY(station.com().EstaConectado());
}

QStringList records(const QString& path)
{
    return HistoryFiles::ReadHistoryRecords(path);
}

QStringList receivedRecords(TestStation& station)
{
    return records(station.tools().history().receivedPath());
}

QStringList sentRecords(TestStation& station)
{
    return records(station.tools().history().sentPath());
}

QStringList masterTexts(TestStation& station)
{
    QStringList texts;
    for (const UserTreeNode* node : station.session().master().nodes())
        texts.append(QString(node->level(), QLatin1Char('\t')) + node->text());
    return texts;
}

bool anyContains(const QStringList& lines, const QString& part)
{
    return std::any_of(lines.begin(), lines.end(), [&](const QString& line) { return line.contains(part); });
}
} // namespace

class TestPresence final : public QObject
{
    Q_OBJECT

private slots:
    void ownBroadcastStoredButNotAcknowledged();
    void sameUserOnTwoComputers();
    void upperCaseComputerName();
    void newComputerLandsInUsersGroup();
    void invisibleUserHiddenButAcknowledged();
    void logoffRemovesRecipient();
    void burstIsSavedOnceHandledAndRebuiltOnce();
    void textMessageShowsAndPinsHistory();
    void textMessageWithoutShowKeepsArrivedIcon();
    void duplicateComputerNameIsToldOnce();
};

void TestPresence::ownBroadcastStoredButNotAcknowledged()
{
    TestStation a(QStringLiteral("pc-a"));
    logOn(a, QStringLiteral("ANA"));
    QTRY_VERIFY_WITH_TIMEOUT(anyContains(receivedRecords(a), QStringLiteral("M[ANA||")), Patience);
    QTest::qWait(200);
    QVERIFY(a.session().master().isEmpty());
    QVERIFY(!anyContains(sentRecords(a), QStringLiteral("ACK_USR_")));
}

void TestPresence::sameUserOnTwoComputers()
{
    TestStation a(QStringLiteral("pc-a"));
    TestStation b(QStringLiteral("pc-b"));
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("ANA"));
    // B's announcement reaches A, A's acknowledgement reaches B.
    QTRY_COMPARE_WITH_TIMEOUT(masterTexts(a), QStringList { QStringLiteral("ANA (pc-b)") }, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(masterTexts(b), QStringList { QStringLiteral("ANA (pc-a)") }, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(a.treeItems(), QStringList { QStringLiteral("ANA (pc-b)") }, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(b.treeItems(), QStringList { QStringLiteral("ANA (pc-a)") }, Patience);
}

void TestPresence::upperCaseComputerName()
{
    TestStation a(QStringLiteral("pc-a"));
    TestStation b(QStringLiteral("PC-B"));
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("BRUNO"));
    QTRY_COMPARE_WITH_TIMEOUT(masterTexts(a), QStringList { QStringLiteral("BRUNO (pc-b)") }, Patience);
    QCOMPARE(b.com().ComputadorAtual(), QStringLiteral("pc-b"));

    // A second announcement updates the same entry. It goes to the users B shows.
    QTRY_COMPARE_WITH_TIMEOUT(b.treeItems(), QStringList { QStringLiteral("ANA (pc-a)") }, Patience);
    b.com().AlterarStatus(2);
    QTRY_COMPARE_WITH_TIMEOUT(a.session().master().ProcurarUsuario(QStringLiteral("BRUNO"))->imageIndex(), 1, Patience);
    QCOMPARE(masterTexts(a), QStringList { QStringLiteral("BRUNO (pc-b)") });
    QCOMPARE(a.treeFileLines(), QStringList { QStringLiteral("BRUNO (pc-b)") });
}

void TestPresence::newComputerLandsInUsersGroup()
{
    TestStation a(QStringLiteral("pc-a"));
    a.home().write(QStringLiteral("Dados/ArvUsuarios.tv"), QByteArrayLiteral("Vendas\r\n\t'BRUNO (pc-b)\r\n"));
    TestStation c(QStringLiteral("pc-c"));
    logOn(a, QStringLiteral("ANA"));
    logOn(c, QStringLiteral("BRUNO"));
    const QStringList expected { QStringLiteral("Vendas"), QStringLiteral("\t'BRUNO (pc-b)"),
        QStringLiteral("\tBRUNO (pc-c)") };
    QTRY_COMPARE_WITH_TIMEOUT(a.treeFileLines(), expected, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(
        a.treeItems(), (QStringList { QStringLiteral("Vendas"), QStringLiteral("\tBRUNO (pc-c)") }), Patience);
}

void TestPresence::invisibleUserHiddenButAcknowledged()
{
    TestStation a(QStringLiteral("pc-a"));
    TestStation b(QStringLiteral("pc-b"));
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("BRUNO"), QStringLiteral("IN"));
    QTRY_COMPARE_WITH_TIMEOUT(masterTexts(a), QStringList { QStringLiteral(".BRUNO (pc-b)") }, Patience);
    // The invisible user sees the others: they acknowledge the announcement.
    QTRY_COMPARE_WITH_TIMEOUT(b.treeItems(), QStringList { QStringLiteral("ANA (pc-a)") }, Patience);
    QTest::qWait(RebuildDelayMs + 300);
    QVERIFY(a.treeItems().isEmpty());

    // A newcomer gets the invisible user's acknowledgement and ignores it.
    TestStation c(QStringLiteral("pc-c"));
    logOn(c, QStringLiteral("CARLA"));
    QTRY_VERIFY_WITH_TIMEOUT(masterTexts(c).contains(QStringLiteral("ANA (pc-a)")), Patience);
    QTRY_VERIFY_WITH_TIMEOUT(anyContains(receivedRecords(c), QStringLiteral("S[ACK_USR_IN]")), Patience);
    QVERIFY(!anyContains(masterTexts(c), QStringLiteral("BRUNO")));
}

void TestPresence::logoffRemovesRecipient()
{
    TestStation a(QStringLiteral("pc-a"));
    TestStation b(QStringLiteral("pc-b"));
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("BRUNO"));
    QTRY_COMPARE_WITH_TIMEOUT(masterTexts(a), QStringList { QStringLiteral("BRUNO (pc-b)") }, Patience);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.AdicionarDestinatario(QStringLiteral("CARLA (pc-c)"));

    const auto acks = [&] { return sentRecords(a).filter(QStringLiteral("S[ACK_USR_")).size(); };
    const qsizetype acksBefore = acks();
    b.com().Desconectar();
    QTRY_COMPARE_WITH_TIMEOUT(send.Destinatarios(), QStringList { QStringLiteral("CARLA (pc-c)") }, Patience);
    QCOMPARE(send.Aviso(), QStringLiteral("Usuário \"BRUNO (pc-b)\" desconectou."));
    QCOMPARE(masterTexts(a), QStringList { QStringLiteral("'BRUNO (pc-b)") });
    // No acknowledgement answers a logoff.
    QTest::qWait(200);
    QCOMPARE(acks(), acksBefore);
}

void TestPresence::burstIsSavedOnceHandledAndRebuiltOnce()
{
    TestStation a(QStringLiteral("pc-a"));
    logOn(a, QStringLiteral("ANA"));
    QTRY_VERIFY_WITH_TIMEOUT(anyContains(receivedRecords(a), QStringLiteral("M[ANA||")), Patience);

    int handled = 0;
    connect(&a.com().ALMailSlot1(), &TALMailSlot::OnNewMessage, this, [&] { ++handled; });
    QSignalSpy rebuilt(&a.session(), &CommunicatorSession::visibleTreeRebuilt);
    QSignalSpy saved(&a.session(), &CommunicatorSession::treeSaved);

    // Ten stations announce themselves at once; only their transports are needed.
    const quint16 port = Loopback::testPort();
    const auto config = [port] {
        NetworkConfig network;
        network.port = port;
        network.broadcast = { NetworkEndpoint { QStringLiteral("127.255.255.255"), port } };
        return network;
    };
    FakeClock clock;
    for (int i = 0; i < 10; ++i) {
        const QString computer = QStringLiteral("pc-%1").arg(i);
        TALMailSlot sender(
            std::make_unique<UdpMailslotBackend>(computer, config), nullptr, computer, QStringLiteral("tester"));
        sender.setMailBox(Channel);
        sender.Broadcast(
            BuildPresenceFrame(QStringLiteral("USER%1").arg(i), FrameTimestamp(clock), QStringLiteral("ON")));
    }

    QTRY_COMPARE_WITH_TIMEOUT(handled, 10, Patience);
    // The burst is written once it has been handled, not once per datagram.
    QTRY_COMPARE_WITH_TIMEOUT(a.treeFileLines().size(), 10, Patience);
    QVERIFY2(saved.count() >= 1 && saved.count() < 10, qPrintable(QString::number(saved.count())));
    QVERIFY(a.treeItems().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(rebuilt.count(), 1, Patience);
    QCOMPARE(a.treeItems().size(), 10);
    QTest::qWait(RebuildDelayMs + 300);
    QCOMPARE(rebuilt.count(), 1);
}

void TestPresence::textMessageShowsAndPinsHistory()
{
    TestStation a(QStringLiteral("pc-a"));
    TestStation b(QStringLiteral("pc-b"));
    a.home().write(QStringLiteral("Dados/chegou.wav"), QByteArrayLiteral("RIFF"));
    a.setting(QStringLiteral("RECEBER"), QStringLiteral("ARQ_EMITIR_SOM"), SettingString,
        a.home().file(QStringLiteral("Dados/chegou.wav")));
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("BRUNO"));
    QTRY_COMPARE_WITH_TIMEOUT(masterTexts(b), QStringList { QStringLiteral("ANA (pc-a)") }, Patience);
    TFormHistMSG& hist = a.station().FormHistMSG();
    hist.DefinirAba(TFormHistMSG::Enviadas);

    // Sent through B's send window.
    TFormSendMSG& send = b.station().FormSendMSG();
    send.AdicionarDestinatario(QStringLiteral("ANA (pc-a)"));
    send.MemoMsg()->setPlainText(QStringLiteral("bom <b>dia</b>"));
    QVERIFY(send.EnviarMensagem());

    QTRY_VERIFY_WITH_TIMEOUT(hist.isVisible(), Patience);
    QVERIFY(hist.isTopmost());
    QCOMPARE(hist.AbaAtual(), int(TFormHistMSG::Recebidas));
    QVERIFY(anyContains(hist.Linhas(), QStringLiteral("bom <b>dia</b>")));
    QCOMPARE(a.sound().played(), QStringList { a.home().file(QStringLiteral("Dados/chegou.wav")) });
    QCOMPARE(a.tray().icon().cacheKey(), a.tools().images().ImageListNormal().icon(0).cacheKey());

    // While a dialog is open the window still shows, but is not lifted above the dialog.
    hist.close();
    hist.setTopmost(false);
    a.tools().setDialogoAberto(true);
    send.MemoMsg()->setPlainText(QStringLiteral("de novo"));
    QVERIFY(send.EnviarMensagem());
    QTRY_VERIFY_WITH_TIMEOUT(hist.isVisible(), Patience);
    QVERIFY(!hist.isTopmost());
    QTRY_VERIFY_WITH_TIMEOUT(anyContains(hist.Linhas(), QStringLiteral("de novo")), Patience);
}

void TestPresence::textMessageWithoutShowKeepsArrivedIcon()
{
    TestStation a(QStringLiteral("pc-a"));
    TestStation b(QStringLiteral("pc-b"));
    a.setting(QStringLiteral("RECEBER"), QStringLiteral("EXIBIR_MSG"), SettingBoolean, false);
    a.setting(QStringLiteral("RECEBER"), QStringLiteral("ANIMAR_ICONE"), SettingBoolean, true);
    logOn(a, QStringLiteral("ANA"), QStringLiteral("OC"));
    logOn(b, QStringLiteral("BRUNO"));
    QTRY_COMPARE_WITH_TIMEOUT(masterTexts(b), QStringList { QStringLiteral("ANA (pc-a)") }, Patience);

    TFormSendMSG& send = b.station().FormSendMSG();
    send.AdicionarDestinatario(QStringLiteral("ANA (pc-a)"));
    send.MemoMsg()->setPlainText(QStringLiteral("oi"));
    QVERIFY(send.EnviarMensagem());
    const qint64 arrived = a.tools().images().ImageListMsgChegou().icon(2).cacheKey();
    QTRY_COMPARE_WITH_TIMEOUT(a.tray().icon().cacheKey(), arrived, Patience);
    QVERIFY(!a.station().FormHistMSG().isVisible());

    // Opening the history puts the normal icon back.
    a.com().MenuHistoricoClick();
    QVERIFY(a.station().FormHistMSG().isVisible());
    QCOMPARE(a.tray().icon().cacheKey(), a.tools().images().ImageListNormal().icon(2).cacheKey());
}

// Two machines called "deb": each station is told once, in Portuguese, with the remedy.
void TestPresence::duplicateComputerNameIsToldOnce()
{
    TestStation a(QStringLiteral("deb"));
    TestStation b(QStringLiteral("deb"));
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("BIA"));
    a.session().Refresh();
    for (TestStation* station : { &a, &b })
        QTRY_COMPARE_WITH_TIMEOUT(station->queued().texts().size(), 1, Patience);
    const QString text = a.queued().texts().first();
    for (const QString& part :
        { QStringLiteral("deb"), a.address().toString(), b.address().toString(), QStringLiteral("COMPUTADOR") })
        QVERIFY2(text.contains(part), qPrintable(text));
    a.session().Refresh();
    b.session().Refresh();
    QTest::qWait(300);
    QCOMPARE(a.queued().texts().size(), 1);
    QCOMPARE(b.queued().texts().size(), 1);
}

QTEST_MAIN(TestPresence)
#include "tst_presence.moc"
