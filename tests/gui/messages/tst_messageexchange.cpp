#include "../teststation.h"
#include "historyfiles.h"
#include "tformhistmsg.h"
#include "tformsendmsg.h"

#include <QPlainTextEdit>
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
} // namespace

class TestMessageExchange final : public QObject
{
    Q_OBJECT

private slots:
    void typedMessageReachesHistoryWindow();
    void oneSendToTwoStations();
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

QTEST_MAIN(TestMessageExchange)
#include "tst_messageexchange.moc"
