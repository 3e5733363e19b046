#include "deliverymarks.h"
#include "deliverywatch.h"
#include "fakeclock.h"
#include "frame.h"
#include "historyfiles.h"
#include "sessionstation.h"
#include "teststation.h"
#include "tformhistmsg.h"
#include "tformsendmsg.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

// Stations on their own loopback addresses, talking through their windows over UDP.
namespace
{
const QString Channel = QStringLiteral("CANAL");
constexpr int Patience = 8000;

void logOn(TestStation& station, const QString& user)
{
    station.com().Conectar(user, Channel, QStringLiteral("ON"));
    QVERIFY(station.com().EstaConectado());
}

QStringList textRecords(const QString& path)
{
    return HistoryFiles::ReadHistoryRecords(path).filter(QStringLiteral("S[]"));
}

QStringList received(TestStation& station)
{
    return textRecords(station.tools().history().receivedPath());
}

QStringList knownUsers(TestStation& station)
{
    QStringList texts;
    for (const UserTreeNode* node : station.session().master().nodes())
        texts.append(node->text());
    return texts;
}

QStringList receipts(const QString& path)
{
    return HistoryFiles::ReadHistoryRecords(path).filter(QStringLiteral("S[ACK_MSG_"));
}

// Sends `text` from the station's send window to `recipients`, whether they are shown or not.
void sendTo(TestStation& station, const QStringList& recipients, const QString& text)
{
    TFormSendMSG& send = station.station().FormSendMSG();
    for (const QString& recipient : recipients)
        send.AdicionarDestinatario(recipient);
    send.MemoMsg()->setPlainText(text);
    QVERIFY(send.EnviarMensagem());
}

// The plain-text line of the history window's entry that holds `text`.
QString entryOf(TestStation& station, const QString& text)
{
    return station.station().FormHistMSG().Linhas().filter(text).value(0);
}
} // namespace

class TestMessageExchange final : public QObject
{
    Q_OBJECT

private slots:
    void typedMessageReachesHistoryWindow();
    void oneSendToTwoStations();
    void deliveryReceipts_data();
    void deliveryReceipts();
    void stoppedStationDoesNotConfirm();
    void peerWithoutReceiptsShowsNoMark();
};

void TestMessageExchange::typedMessageReachesHistoryWindow()
{
    TestStation a(QStringLiteral("pc-a"));
    TestStation b(QStringLiteral("pc-b"));
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("BRUNO"));
    QTRY_COMPARE_WITH_TIMEOUT(knownUsers(a), QStringList { QStringLiteral("BRUNO (pc-b)") }, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(a.treeItems(), QStringList { QStringLiteral("BRUNO (pc-b)") }, Patience);
    TFormHistMSG& histB = b.station().FormHistMSG();
    QVERIFY(!histB.isVisible());

    // Written on A as a user would: the communicator's "Enviar", typing, Shift+Enter.
    a.com().TreeView()->setCurrentItem(a.com().TreeView()->topLevelItem(0));
    a.com().MenuEnviarClick();
    TFormSendMSG& send = a.station().FormSendMSG();
    QVERIFY(send.isVisible());
    QCOMPARE(send.Destinatarios(), QStringList { QStringLiteral("BRUNO (pc-b)") });
    QTest::keyClicks(send.MemoMsg(), QStringLiteral("bom dia,"));
    QTest::keyClick(send.MemoMsg(), Qt::Key_Return);
    QTest::keyClicks(send.MemoMsg(), QStringLiteral("tudo [bem]?"));
    QTest::keyClick(send.MemoMsg(), Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(send.isVisible());
    QVERIFY(send.MemoMsg()->toPlainText().isEmpty());

    const QStringList sent = textRecords(a.tools().history().sentPath());
    QCOMPARE(sent.size(), 1);
    QVERIFY(sent.first().startsWith(QStringLiteral("M[ANA|BRUNO|")));
    QVERIFY(sent.first().endsWith(QStringLiteral("|5]S[]D[bom dia, tudo bem?]")));

    // B stores exactly that frame and shows it, pinned on top, in its received view.
    QTRY_COMPARE_WITH_TIMEOUT(received(b), sent, Patience);
    QTRY_VERIFY_WITH_TIMEOUT(histB.isVisible(), Patience);
    QVERIFY(histB.isTopmost());
    QCOMPARE(histB.AbaAtual(), int(TFormHistMSG::Recebidas));
    QCOMPARE(histB.Linhas().filter(QStringLiteral("bom dia, tudo bem?")).size(), 1);
    // A shows what it sent.
    TFormHistMSG& histA = a.station().FormHistMSG();
    QVERIFY(histA.isVisible());
    QCOMPARE(histA.AbaAtual(), int(TFormHistMSG::Enviadas));
    QCOMPARE(histA.Linhas().filter(QStringLiteral("bom dia, tudo bem?")).size(), 1);
}

void TestMessageExchange::oneSendToTwoStations()
{
    TestStation a(QStringLiteral("pc-a"));
    TestStation b(QStringLiteral("pc-b"));
    TestStation c(QStringLiteral("pc-c"));
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("BRUNO"));
    logOn(c, QStringLiteral("CARLA"));
    QTRY_COMPARE_WITH_TIMEOUT(a.treeItems().size(), 2, Patience);

    // "Enviar para Todos" and "Enviar e Fechar".
    a.com().MenuEnviarTodosClick();
    TFormSendMSG& send = a.station().FormSendMSG();
    QCOMPARE(send.Destinatarios(), (QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("CARLA (pc-c)") }));
    send.SelecionarFace(3);
    send.MemoMsg()->setPlainText(QStringLiteral("a todos"));
    send.MenuEnviarEFecharClick();
    QVERIFY(!send.isVisible());

    QTRY_COMPARE_WITH_TIMEOUT(received(b).size(), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(received(c).size(), 1, Patience);
    const QString toB = received(b).first();
    const QString toC = received(c).first();
    QVERIFY(toB.startsWith(QStringLiteral("M[ANA|BRUNO|")));
    QVERIFY(toC.startsWith(QStringLiteral("M[ANA|CARLA|")));
    // One stamp, one face, one text.
    QCOMPARE(toB.section(QLatin1Char('|'), 2), toC.section(QLatin1Char('|'), 2));
    QVERIFY(toB.endsWith(QStringLiteral("|3]S[]D[a todos]")));
    QCOMPARE(textRecords(a.tools().history().sentPath()), (QStringList { toB, toC }));
    QVERIFY(received(a).isEmpty());
}

void TestMessageExchange::deliveryReceipts_data()
{
    QTest::addColumn<QString>("status"); // BRUNO's
    QTest::addColumn<bool>("brunoConfirms");
    QTest::addColumn<bool>("anaConfirms");
    QTest::addColumn<bool>("receipt");
    QTest::addColumn<QString>("mark");
    QTest::newRow("delivered") << "ON" << true << true << true << "entregue";
    QTest::newRow("invisible receiver sends none") << "IN" << true << true << false << "";
    QTest::newRow("receiver with receipts off") << "ON" << false << true << false << "";
    QTest::newRow("sender with receipts off shows none") << "ON" << true << false << true << "";
}

// ANA's message to BRUNO: his station's receipt, her history window's mark, and no warning
// once the confirmation time is up.
void TestMessageExchange::deliveryReceipts()
{
    QFETCH(QString, status);
    QFETCH(bool, brunoConfirms);
    QFETCH(bool, anaConfirms);
    QFETCH(bool, receipt);
    QFETCH(QString, mark);

    FakeClock clock;
    TestStation a(QStringLiteral("pc-a"), &clock);
    TestStation b(QStringLiteral("pc-b"), &clock);
    const QString enviar = QStringLiteral("ENVIAR");
    const QString confirmar = QStringLiteral("CONFIRMAR_ENTREGA");
    a.setting(enviar, confirmar, SettingBoolean, anaConfirms);
    b.setting(enviar, confirmar, SettingBoolean, brunoConfirms);
    logOn(a, QStringLiteral("ANA"));
    b.com().Conectar(QStringLiteral("BRUNO"), Channel, status);
    // A hears BRUNO's announcement, and so where pc-b is, even while he is invisible.
    QTRY_COMPARE_WITH_TIMEOUT(knownUsers(a).size(), 1, Patience);
    QSignalSpy alerts(&a.session(), &CommunicatorSession::textMessageArrived);

    sendTo(a, { QStringLiteral("BRUNO (pc-b)") }, QStringLiteral("chegou?"));
    QTRY_COMPARE_WITH_TIMEOUT(received(b).size(), 1, Patience);
    // B answers within the handling of the message.
    const QString expected = QStringLiteral("M[BRUNO|ANA|%1|9]S[ACK_MSG_%1]D[]").arg(FrameTimestamp(clock));
    QCOMPARE(receipts(b.tools().history().sentPath()), receipt ? QStringList { expected } : QStringList());
    if (receipt)
        QTRY_COMPARE_WITH_TIMEOUT(receipts(a.tools().history().receivedPath()), QStringList { expected }, Patience);

    TFormHistMSG& hist = a.station().FormHistMSG();
    QVERIFY(hist.isVisible());
    const QString line = entryOf(a, QStringLiteral("chegou?"));
    QCOMPARE(line.contains(QStringLiteral("entregue")), mark == QLatin1String("entregue"));
    clock.advance(DeliveryMarks::ConfirmationSeconds * 1000);
    hist.Entregas().Verificar();
    QCOMPARE(hist.LbWarning()->text(), QString());
    QCOMPARE(hist.Entregas().pendentes(), 0);
    QVERIFY(!entryOf(a, QStringLiteral("chegou?")).contains(QStringLiteral("confirmada")));
    // A receipt is no message to the user.
    QCOMPARE(alerts.count(), 0);
}

void TestMessageExchange::stoppedStationDoesNotConfirm()
{
    FakeClock clock;
    TestStation a(QStringLiteral("pc-a"), &clock);
    TestStation b(QStringLiteral("pc-b"), &clock);
    logOn(a, QStringLiteral("ANA"));
    logOn(b, QStringLiteral("BRUNO"));
    QTRY_COMPARE_WITH_TIMEOUT(knownUsers(a).size(), 1, Patience);
    sendTo(a, { QStringLiteral("BRUNO (pc-b)") }, QStringLiteral("primeira"));
    QTRY_VERIFY_WITH_TIMEOUT(entryOf(a, QStringLiteral("primeira")).contains(QStringLiteral("entregue")), Patience);

    // pc-b goes away without a word, as a machine that is switched off.
    b.com().ALMailSlot1().setActive(false);
    clock.advance(60 * 1000);
    sendTo(a, { QStringLiteral("BRUNO (pc-b)") }, QStringLiteral("segunda"));
    TFormHistMSG& hist = a.station().FormHistMSG();
    DeliveryWatch& watch = hist.Entregas();
    QCOMPARE(watch.pendentes(), 1);
    QVERIFY(watch.timer().isActive());
    QVERIFY(watch.timer().remainingTime() <= DeliveryMarks::ConfirmationSeconds * 1000);
    clock.advance(DeliveryMarks::ConfirmationSeconds * 1000 - 1);
    watch.Verificar();
    QCOMPARE(hist.LbWarning()->text(), QString());

    clock.advance(1);
    watch.Verificar();
    QCOMPARE(hist.LbWarning()->text(), QStringLiteral("BRUNO (pc-b) não confirmou a mensagem das 14:31"));
    QVERIFY(entryOf(a, QStringLiteral("segunda")).contains(QStringLiteral("não confirmada")));
    QVERIFY(entryOf(a, QStringLiteral("primeira")).contains(QStringLiteral("entregue")));
    // Told once.
    hist.OcultarAviso();
    clock.advance(60 * 1000);
    watch.Verificar();
    QCOMPARE(hist.LbWarning()->text(), QString());
    QCOMPARE(watch.pendentes(), 0);
}

// One message to BRUNO, who confirms, and to a peer whose program knows no receipts.
void TestMessageExchange::peerWithoutReceiptsShowsNoMark()
{
    FakeClock clock;
    TestStation a(QStringLiteral("pc-a"), &clock);
    TestStation b(QStringLiteral("pc-b"), &clock);
    // The peer writes to the mailbox of its own channel.
    a.com().Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
    b.com().Conectar(QStringLiteral("BRUNO"), SessionStation::Channel, QStringLiteral("ON"));
    RawPeer peer;
    peer.send(a.address(), QStringLiteral("pc-a"), QStringLiteral("pc-p"), QStringLiteral("pc-p"),
        BuildPresenceFrame(QStringLiteral("PAULO"), FrameTimestamp(clock), QStringLiteral("ON")));
    QTRY_COMPARE_WITH_TIMEOUT(knownUsers(a).size(), 2, Patience);

    sendTo(a, { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("PAULO (pc-p)") }, QStringLiteral("a ambos"));
    QTRY_COMPARE_WITH_TIMEOUT(peer.frames().filter(QStringLiteral("D[a ambos]")).size(), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(receipts(a.tools().history().receivedPath()).size(), 1, Patience);
    clock.advance(DeliveryMarks::ConfirmationSeconds * 1000);
    TFormHistMSG& hist = a.station().FormHistMSG();
    hist.Entregas().Verificar();
    QCOMPARE(hist.LbWarning()->text(), QString());
    const QStringList lines = hist.Linhas().filter(QStringLiteral("a ambos"));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.filter(QStringLiteral("para: BRUNO")).filter(QStringLiteral("entregue")).size(), 1);
    QVERIFY(!lines.filter(QStringLiteral("para: PAULO")).value(0).contains(QStringLiteral("confirmada")));
    QVERIFY(!lines.filter(QStringLiteral("para: PAULO")).value(0).contains(QStringLiteral("entregue")));
}

QTEST_MAIN(TestMessageExchange)
#include "tst_messageexchange.moc"
