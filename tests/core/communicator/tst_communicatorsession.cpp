#include "ansi.h"
#include "fakeclock.h"
#include "frame.h"
#include "sessionstation.h"
#include "udpmailslotbackend.h"
#include "usertreefile.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
QString stamp()
{
    return FrameTimestamp(FakeClock());
}

// A tree file with a group Vendas holding BIA at pc-03, and the free user CAIO at pc-07.
const QByteArray SampleTree = "Vendas\r\n\t'BIA (pc-03)\r\n'CAIO (pc-07)\r\n";
} // namespace

class TestCommunicatorSession : public QObject
{
    Q_OBJECT

private slots:
    void statusCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("selector");
        QTest::newRow("online") << "ON" << 0 << 1;
        QTest::newRow("away") << "AU" << 1 << 2;
        QTest::newRow("busy") << "OC" << 2 << 3;
        QTest::newRow("invisible") << "IN" << 3 << 4;
        QTest::newRow("offline") << "OF" << 4 << -1;
        QTest::newRow("stray code shows online") << "on" << 0 << 0;
        QTest::newRow("stray selector is online") << "ON" << 0 << 5;
    }
    void statusCodes()
    {
        QFETCH(QString, code);
        QFETCH(int, index);
        QFETCH(int, selector);
        QCOMPARE(CommunicatorSession::StatusIndex(code), index);
        if (selector >= 0)
            QCOMPARE(CommunicatorSession::StatusCode(selector), code.toUpper());
    }

    void logonSetsStateAndOwnEchoIsOnlyStored()
    {
        SessionStation a(QStringLiteral("PC-Ana"));
        QSignalSpy loggedOn(a.session.get(), &CommunicatorSession::loggedOn);
        QSignalSpy tray(a.session.get(), &CommunicatorSession::trayIconChanged);
        QSignalSpy saved(a.session.get(), &CommunicatorSession::treeSaved);
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("OC"));

        QVERIFY(a.session->EstaConectado());
        QCOMPARE(a.session->UsuarioAtual(), QStringLiteral("ANA"));
        QCOMPARE(a.session->ComputadorAtual(), QStringLiteral("pc-ana"));
        QCOMPARE(a.session->StatusAtual(), QStringLiteral("OC"));
        QCOMPARE(a.session->CanalAtual(), SessionStation::Channel);
        QCOMPARE(loggedOn.count(), 1);
        QCOMPARE(tray.count(), 1);
        QCOMPARE(tray.at(0), (QVariantList { 2, false }));
        QCOMPARE(a.setting(QStringLiteral("SETUP"), QStringLiteral("LAST_USER")), QStringLiteral("ANA"));
        QCOMPARE(a.setting(QStringLiteral("SETUP"), QStringLiteral("LAST_CHANNEL")), SessionStation::Channel);
        QStringList users;
        QStringList channels;
        a.names.LoadUserList(users);
        a.names.LoadChannelList(channels);
        QCOMPARE(users, QStringList { QStringLiteral("ANA") });
        QCOMPARE(channels, QStringList { SessionStation::Channel });

        // The own broadcast comes back: kept in the history, but no entry and no answer.
        QTRY_COMPARE(
            a.received(), QStringList { BuildPresenceFrame(QStringLiteral("ANA"), stamp(), QStringLiteral("OC")) });
        QVERIFY(a.session->master().isEmpty());
        QVERIFY(a.sent().isEmpty());
        QCOMPARE(saved.count(), 0);
    }

    void sameUserOnTwoComputersSeeEachOther()
    {
        SessionStation a(QStringLiteral("pc-01"));
        SessionStation b(QStringLiteral("pc-02"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        b.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("AU"));
        // b's announcement reaches a, which answers; the answer reaches b.
        QTRY_COMPARE(a.master(), QStringLiteral("ANA (pc-02)\n"));
        QTRY_COMPARE(b.master(), QStringLiteral("ANA (pc-01)\n"));
        QCOMPARE(a.session->master().topLevel(0)->imageIndex(), 1);
        QCOMPARE(b.session->master().topLevel(0)->imageIndex(), 0);
        QCOMPARE(a.sent(),
            QStringList { BuildAckFrame(QStringLiteral("ANA"), QStringLiteral("ANA"), stamp(), QStringLiteral("ON")) });
        QCOMPARE(a.treeFile(), QStringLiteral("ANA (pc-02)\r\n"));
    }

    // One datagram into a station whose tree file holds SampleTree.
    void presenceIntoTree_data()
    {
        QTest::addColumn<QString>("computer");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("ack");

        const QString sample = QStringLiteral("Vendas\n\t'BIA (pc-03)\n'CAIO (pc-07)\n");
        QTest::newRow("upper-case computer updates the lower-case entry") << "PC-03"
                                                                          << "USR_AU"
                                                                          << "Vendas\n\tBIA (pc-03)\n'CAIO (pc-07)\n"
                                                                          << "ACK_USR_ON";
        QTest::newRow("known user on a new computer lands in the user's group")
            << "pc-04"
            << "USR_ON"
            << "Vendas\n\t'BIA (pc-03)\n\tBIA (pc-04)\n'CAIO (pc-07)\n"
            << "ACK_USR_ON";
        QTest::newRow("invisible is stored with its marker and answered") << "pc-03"
                                                                          << "USR_IN"
                                                                          << "Vendas\n\t.BIA (pc-03)\n'CAIO (pc-07)\n"
                                                                          << "ACK_USR_ON";
        QTest::newRow("offline is not answered") << "pc-03"
                                                 << "USR_OF" << sample << "";
        QTest::newRow("acknowledgement updates") << "pc-03"
                                                 << "ACK_USR_OC"
                                                 << "Vendas\n\tBIA (pc-03)\n'CAIO (pc-07)\n"
                                                 << "";
        QTest::newRow("invisible acknowledgement is ignored") << "pc-03"
                                                              << "ACK_USR_IN" << sample << "";
        QTest::newRow("other commands are ignored") << "pc-03"
                                                    << "USR_XX" << sample << "";
        QTest::newRow("delivery receipt changes nothing and is not answered")
            << "pc-03" << QString(QStringLiteral("ACK_MSG_") + stamp()) << sample << "";
    }
    void presenceIntoTree()
    {
        QFETCH(QString, computer);
        QFETCH(QString, command);
        QFETCH(QString, master);
        QFETCH(QString, ack);

        SessionStation a(QStringLiteral("pc-a"));
        a.home.write(QStringLiteral("Dados/ArvUsuarios.tv"), SampleTree);
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QTRY_COMPARE(a.received().size(), 1); // the own echo
        RawPeer peer;
        const QString frame = QStringLiteral("M[BIA||%1|9]S[%2]D[]").arg(stamp(), command);
        peer.send(a, computer, frame);
        QTRY_COMPARE(a.received().size(), 2);
        QCOMPARE(a.master(), master);
        if (ack.isEmpty()) {
            QTest::qWait(50);
            QCOMPARE(peer.frames(), QStringList());
            QCOMPARE(a.sent(), QStringList());
        } else {
            const QString expected = QStringLiteral("M[ANA|BIA|%1|9]S[%2]D[]").arg(stamp(), ack);
            QTRY_COMPARE(peer.frames(), QStringList { expected });
            QCOMPARE(a.sent(), QStringList { expected });
        }
    }

    void invisibleUserIsHiddenButSeesEverybody()
    {
        SessionStation a(QStringLiteral("pc-a"));
        SessionStation b(QStringLiteral("pc-b"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        b.session->Conectar(QStringLiteral("BIA"), SessionStation::Channel, QStringLiteral("IN"));
        QTRY_COMPARE(a.master(), QStringLiteral(".BIA (pc-b)\n"));
        QTRY_COMPARE(b.master(), QStringLiteral("ANA (pc-a)\n"));
        a.session->MontarArvore();
        QVERIFY(a.session->visible().isEmpty());

        // b answers a's refresh with "ACK_USR_IN", which keeps b offline at a.
        a.session->Refresh();
        QCOMPARE(a.master(), QStringLiteral("'BIA (pc-b)\n"));
        QTRY_VERIFY(a.received().contains(
            BuildAckFrame(QStringLiteral("BIA"), QStringLiteral("ANA"), stamp(), QStringLiteral("IN"))));
        QCOMPARE(a.master(), QStringLiteral("'BIA (pc-b)\n"));
    }

    void logoffBroadcastsBeforeClosingAndDropsTheRecipient()
    {
        SessionStation a(QStringLiteral("pc-a"));
        SessionStation b(QStringLiteral("pc-b"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        b.session->Conectar(QStringLiteral("BIA"), SessionStation::Channel, QStringLiteral("ON"));
        QTRY_COMPARE(b.master(), QStringLiteral("ANA (pc-a)\n"));

        QSignalSpy gone(a.session.get(), &CommunicatorSession::recipientDisconnected);
        QSignalSpy loggedOff(b.session.get(), &CommunicatorSession::loggedOff);
        QSignalSpy tray(b.session.get(), &CommunicatorSession::trayIconChanged);
        b.calls.clear();
        b.session->Desconectar();
        QCOMPARE(b.calls.first(), QStringLiteral("* ") + BuildLogoffFrame(QStringLiteral("BIA"), stamp()));
        QCOMPARE(b.calls.at(1), QStringLiteral("close"));
        QVERIFY(!b.session->EstaConectado());
        QCOMPARE(b.session->StatusAtual(), QStringLiteral("OF"));
        QVERIFY(b.session->UsuarioAtual().isEmpty() && b.session->ComputadorAtual().isEmpty()
            && b.session->CanalAtual().isEmpty());
        QVERIFY(b.session->master().isEmpty() && b.session->visible().isEmpty());
        QCOMPARE(b.treeFile(), QStringLiteral("'ANA (pc-a)\r\n"));
        QCOMPARE(loggedOff.count(), 1);
        QCOMPARE(tray.at(0), (QVariantList { 4, false }));

        QTRY_COMPARE(gone.count(), 1);
        QCOMPARE(gone.at(0).at(0).toString(), QStringLiteral("BIA (pc-b)"));
        QCOMPARE(a.master(), QStringLiteral("'BIA (pc-b)\n"));

        b.session->Desconectar(); // logged off already: nothing happens
        QCOMPARE(loggedOff.count(), 1);
    }

    // A burst is written once it has been handled, not once per frame, and rebuilt once.
    void tenAnnouncementsGiveOneBurstSaveAndOneRebuild()
    {
        SessionStation a(QStringLiteral("pc-a"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QTRY_COMPARE(a.received().size(), 1);
        QSignalSpy saved(a.session.get(), &CommunicatorSession::treeSaved);
        QSignalSpy rebuilt(a.session.get(), &CommunicatorSession::visibleTreeRebuilt);
        RawPeer peer;
        for (int i = 0; i < 10; ++i)
            peer.send(a, QStringLiteral("pc-%1").arg(i),
                BuildPresenceFrame(QStringLiteral("BIA"), stamp(), QStringLiteral("ON")));
        QTRY_COMPARE(a.session->master().count(), 10);
        QTRY_COMPARE(a.treeFile().count(QStringLiteral("BIA (pc-")), 10);
        QVERIFY2(saved.count() >= 1 && saved.count() < 10, qPrintable(QString::number(saved.count())));
        QCOMPARE(rebuilt.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(rebuilt.count(), 1, 2 * CommunicatorSession::RefreshDelayMs);
        QCOMPARE(a.session->visible().count(), 10);
        QTest::qWait(100);
        QCOMPARE(rebuilt.count(), 1);
    }

    // Two machines called "deb" announce before the station reads either: each acknowledgement
    // goes to the address of the announcement it answers. A logoff forgets the address.
    void acknowledgementGoesToTheAnnouncer()
    {
        SessionStation a(QStringLiteral("pc-a"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QTRY_COMPARE(a.received().size(), 1);
        RawPeer first;
        RawPeer second;
        first.send(a, QStringLiteral("deb"), BuildPresenceFrame(QStringLiteral("U1"), stamp(), QStringLiteral("ON")));
        second.send(a, QStringLiteral("deb"), BuildPresenceFrame(QStringLiteral("U2"), stamp(), QStringLiteral("ON")));
        QTRY_COMPARE(a.sent().size(), 2);
        QTRY_COMPARE(first.frames().size() + second.frames().size(), 2);
        QCOMPARE(first.frames(),
            QStringList { BuildAckFrame(QStringLiteral("ANA"), QStringLiteral("U1"), stamp(), QStringLiteral("ON")) });
        QCOMPARE(second.frames(),
            QStringList { BuildAckFrame(QStringLiteral("ANA"), QStringLiteral("U2"), stamp(), QStringLiteral("ON")) });
        second.send(a, QStringLiteral("deb"), BuildLogoffFrame(QStringLiteral("U2"), stamp()));
        QTRY_COMPARE(a.received().size(), 4);
        QVERIFY(!a.udp->learntAddress(QStringLiteral("deb")));
    }

    // A host floods the station; another's announcement still finds room and is answered.
    void floodLeavesRoomForOthers()
    {
        SessionStation a(QStringLiteral("pc-a"));
        a.udp->setQueueLimit(400);
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QTRY_COMPARE(a.received().size(), 1);
        RawPeer flood;
        RawPeer bia;
        for (int i = 0; i < 1000; ++i)
            flood.send(a, QStringLiteral("pc-flood"), QStringLiteral("x"));
        bia.send(a, QStringLiteral("pc-b"), BuildPresenceFrame(QStringLiteral("BIA"), stamp(), QStringLiteral("ON")));
        QTRY_COMPARE_WITH_TIMEOUT(bia.frames().size(), 1, 20000);
        // The flood's share is 100 of 400; a few may be handed over while it lasts.
        const quint64 dropped = a.udp->droppedBySource().value(flood.address().toIPv4Address());
        QVERIFY2(dropped >= 850, qPrintable(QString::number(dropped)));
        QCOMPARE(a.udp->droppedCount(), dropped);
    }

    void frameWithCommandAndTextIsBoth()
    {
        SessionStation a(QStringLiteral("pc-a"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QSignalSpy text(a.session.get(), &CommunicatorSession::textMessageArrived);
        RawPeer peer;
        peer.send(a, QStringLiteral("pc-b"), QStringLiteral("M[BIA|ANA|%1|4]S[USR_ON]D[oi]").arg(stamp()));
        QTRY_COMPARE(text.count(), 1);
        QCOMPARE(a.master(), QStringLiteral("BIA (pc-b)\n"));
        // The acknowledgement and the delivery receipt.
        QTRY_COMPARE(peer.frames().size(), 2);
    }

    // What one datagram, from BIA at pc-b unless the row says otherwise, makes ANA's station
    // send back, and whether it alerts her or counts as a receipt for one of her messages.
    void receipts_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("computer");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("alerts");
        QTest::addColumn<int>("receipts");

        const QString s = stamp();
        const QString text = QStringLiteral("M[BIA|ANA|%1|4]S[]D[oi]").arg(s);
        const QString toBia = QStringLiteral("pc-b M[ANA|BIA|%1|9]S[ACK_MSG_%1]D[]").arg(s);
        const QString receipt = QStringLiteral("M[BIA|ANA|%1|9]S[ACK_MSG_%1]D[]").arg(s);
        const QStringList none;
        QTest::newRow("text message is confirmed") << "ON" << true << "pc-b" << text << QStringList { toBia } << 1 << 0;
        QTest::newRow("invisible station confirms nothing") << "IN" << true << "pc-b" << text << none << 1 << 0;
        QTest::newRow("receipts turned off") << "ON" << false << "pc-b" << text << none << 1 << 0;
        QTest::newRow("own echo") << "ON" << true << "pc-a" << QStringLiteral("M[ANA|ANA|%1|4]S[]D[oi]").arg(s) << none
                                  << 1 << 0;
        QTest::newRow("own name from another computer")
            << "ON" << true << "pc-b" << QStringLiteral("M[ANA|ANA|%1|4]S[]D[oi]").arg(s)
            << QStringList { QStringLiteral("pc-b M[ANA|ANA|%1|9]S[ACK_MSG_%1]D[]").arg(s) } << 1 << 0;
        QTest::newRow("no stamp") << "ON" << true << "pc-b" << QStringLiteral("M[BIA|ANA]S[]D[oi]") << none << 1 << 0;
        QTest::newRow("forged computer name") << "ON" << true << "pc.b" << text << none << 1 << 0;
        QTest::newRow("announcement with text: one acknowledgement, one receipt")
            << "ON" << true << "pc-b" << QStringLiteral("M[BIA|ANA|%1|4]S[USR_ON]D[oi]").arg(s)
            << QStringList { QStringLiteral("pc-b M[ANA|BIA|%1|9]S[ACK_USR_ON]D[]").arg(s), toBia } << 1 << 0;
        QTest::newRow("receipt is not answered") << "ON" << true << "pc-b" << receipt << none << 0 << 1;
        QTest::newRow("receipt with text neither alerts nor is answered")
            << "ON" << true << "pc-b" << QString(receipt).replace(QStringLiteral("D[]"), QStringLiteral("D[oi]"))
            << none << 0 << 1;
        QTest::newRow("receipt for another user")
            << "ON" << true << "pc-b" << QString(receipt).replace(QStringLiteral("|ANA|"), QStringLiteral("|CAIO|"))
            << none << 0 << 0;
    }
    void receipts()
    {
        QFETCH(QString, status);
        QFETCH(bool, confirm);
        QFETCH(QString, computer);
        QFETCH(QString, frame);
        QFETCH(QStringList, answers);
        QFETCH(int, alerts);
        QFETCH(int, receipts);

        SessionStation a(QStringLiteral("pc-a"));
        if (!confirm)
            a.settings.WriteSetting(
                QStringLiteral("ENVIAR"), QStringLiteral("CONFIRMAR_ENTREGA"), SettingBoolean, false);
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, status);
        a.calls.clear();
        QSignalSpy text(a.session.get(), &CommunicatorSession::textMessageArrived);
        QSignalSpy arrived(a.session.get(), &CommunicatorSession::receiptArrived);
        a.session->ALMailSlot1NewMessage(computer, QStringLiteral("bia"), frame + QStringLiteral("\r\n"));
        QCOMPARE(a.calls, answers);
        QStringList sent;
        for (const QString& answer : answers)
            sent.append(answer.section(QLatin1Char(' '), 1));
        QCOMPARE(a.sent(), sent);
        QCOMPARE(text.count(), alerts);
        QCOMPARE(arrived.count(), receipts);
        if (receipts > 0)
            QCOMPARE(arrived.at(0), (QVariantList { QStringLiteral("pc-b"), QStringLiteral("BIA"), stamp() }));
    }

    void receiveFlags_data()
    {
        QTest::addColumn<QString>("ini"); // "" keeps no settings file
        QTest::addColumn<QVariantList>("flags");
        QTest::addColumn<QList<QVariantList>>("tray");
        const QVariantList arrived { 2, true };
        const QVariantList normal { 2, false };
        QTest::newRow("no settings file")
            << "" << QVariantList { true, true, true } << QList<QVariantList> { arrived, normal };
        QTest::newRow("keys missing") << "[SETUP]\r\n"
                                      << QVariantList { true, true, true } << QList<QVariantList> { arrived, normal };
        QTest::newRow("not shown, animated: the icon stays")
            << "[RECEBER]\r\nEXIBIR_MSG=0\r\nANIMAR_ICONE=1\r\nEMITIR_SOM=0\r\n"
            << QVariantList { false, true, false } << QList<QVariantList> { arrived };
        QTest::newRow("shown, not animated") << "[RECEBER]\r\nEXIBIR_MSG=1\r\nANIMAR_ICONE=0\r\nEMITIR_SOM=1\r\n"
                                             << QVariantList { true, false, true } << QList<QVariantList> { normal };
        QTest::newRow("all off") << "[RECEBER]\r\nEXIBIR_MSG=0\r\nANIMAR_ICONE=0\r\nEMITIR_SOM=0\r\n"
                                 << QVariantList { false, false, false } << QList<QVariantList> {};
    }
    void receiveFlags()
    {
        QFETCH(QString, ini);
        QFETCH(QVariantList, flags);
        QFETCH(QList<QVariantList>, tray);

        SessionStation a(QStringLiteral("pc-a"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("OC"));
        // The network settings were read when the mailbox opened.
        QFile::remove(a.settings.path());
        if (!ini.isEmpty())
            a.home.write(QStringLiteral("colloqua.ini"), ini.toLatin1());
        QSignalSpy text(a.session.get(), &CommunicatorSession::textMessageArrived);
        QSignalSpy icons(a.session.get(), &CommunicatorSession::trayIconChanged);
        const QString frame
            = BuildTextFrame(QStringLiteral("BIA"), QStringLiteral("ANA"), stamp(), 4, QStringLiteral("oi"));
        a.session->ALMailSlot1NewMessage(QStringLiteral("pc-b"), QStringLiteral("bia"), frame + QStringLiteral("\r\n"));
        QCOMPARE(text.count(), 1);
        QCOMPARE(text.at(0), flags);
        QCOMPARE(QList<QVariantList>(icons.begin(), icons.end()), tray);
        QVERIFY(a.received().contains(frame));
    }

    // Names from the network that could forge an entry are kept in the history only.
    void untrustedNamesChangeNothing_data()
    {
        QTest::addColumn<QString>("computer");
        QTest::addColumn<QString>("user");
        QTest::newRow("empty user") << "pc-b"
                                    << "";
        QTest::newRow("leading blank") << "pc-b"
                                       << " BIA";
        QTest::newRow("trailing blank") << "pc-b"
                                        << "BIA ";
        QTest::newRow("control character") << "pc-b"
                                           << "B\tIA";
        QTest::newRow("offline marker") << "pc-b"
                                        << "'BIA";
        QTest::newRow("invisible marker") << "pc-b"
                                          << ".BIA";
        QTest::newRow("parenthesis") << "pc-b"
                                     << "BIA (pc-x)";
        QTest::newRow("empty computer") << ""
                                        << "BIA";
        QTest::newRow("computer with a blank at the end") << "pc-b "
                                                          << "BIA";
        QTest::newRow("computer with brackets") << "pc[b]"
                                                << "BIA";
        QTest::newRow("computer with a bar") << "pc|b"
                                             << "BIA";
        QTest::newRow("computer with a parenthesis") << "pc)b"
                                                     << "BIA";
        QTest::newRow("computer with a dot") << "pc.b"
                                             << "BIA";
    }
    void untrustedNamesChangeNothing()
    {
        QFETCH(QString, computer);
        QFETCH(QString, user);
        SessionStation a(QStringLiteral("pc-a"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QTRY_COMPARE(a.received().size(), 1);
        QSignalSpy gone(a.session.get(), &CommunicatorSession::recipientDisconnected);
        RawPeer peer;
        const QString bad = QStringLiteral("M[%1||%2|9]S[USR_ON]D[]").arg(user, stamp());
        peer.send(a, QStringLiteral("EVIL"), computer, bad);
        peer.send(a, QStringLiteral("EVIL"), computer, QStringLiteral("M[%1||%2|9]S[USR_OF]D[]").arg(user, stamp()));
        // Answered in order, so once the good one is answered the bad ones were not.
        peer.send(a, QStringLiteral("GOOD"), QStringLiteral("good"),
            BuildPresenceFrame(QStringLiteral("BIA"), stamp(), QStringLiteral("ON")));
        QTRY_COMPARE(peer.frames().size(), 1);
        QCOMPARE(a.master(), QStringLiteral("BIA (good)\n"));
        QCOMPARE(a.received().at(1), TrimFrameText(bad));
        QCOMPARE(gone.count(), 0);
    }

    void statusChangeWhileLoggedOnTellsTheVisibleUsers()
    {
        SessionStation a(QStringLiteral("pc-a"));
        SessionStation b(QStringLiteral("pc-b"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        b.session->Conectar(QStringLiteral("BIA"), SessionStation::Channel, QStringLiteral("ON"));
        QTRY_COMPARE(a.master(), QStringLiteral("BIA (pc-b)\n"));
        QTRY_COMPARE(b.master(), QStringLiteral("ANA (pc-a)\n"));
        a.session->MontarArvore();
        const int sentBefore = a.sent().size();
        QSignalSpy tray(a.session.get(), &CommunicatorSession::trayIconChanged);
        a.session->AlterarStatus(2);
        QCOMPARE(a.session->StatusAtual(), QStringLiteral("AU"));
        QCOMPARE(tray.at(0), (QVariantList { 1, false }));
        const QString directed
            = BuildStatusFrame(QStringLiteral("ANA"), QStringLiteral("BIA"), stamp(), QStringLiteral("AU"));
        QCOMPARE(a.sent().mid(sentBefore), QStringList { directed });
        QTRY_COMPARE(b.session->master().topLevel(0)->imageIndex(), 1);
        // b answers, and a hears it.
        QTRY_VERIFY(a.received().contains(
            BuildAckFrame(QStringLiteral("BIA"), QStringLiteral("ANA"), stamp(), QStringLiteral("ON"))));
    }

    void statusChangeWhileLoggedOff_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("user"); // empty: stays logged off
        QTest::addColumn<QString>("channel");
        QTest::newRow("last user and channel") << "LAST_USER=CAIO\r\nLAST_CHANNEL=VENDAS\r\n"
                                               << "CAIO"
                                               << "VENDAS";
        QTest::newRow("channel defaults to NETWORK") << "LAST_USER=CAIO\r\n"
                                                     << "CAIO"
                                                     << "NETWORK";
        QTest::newRow("no last user") << "LAST_CHANNEL=VENDAS\r\n"
                                      << ""
                                      << "";
        QTest::newRow("empty last channel") << "LAST_USER=CAIO\r\nLAST_CHANNEL=\r\n"
                                            << ""
                                            << "";
    }
    void statusChangeWhileLoggedOff()
    {
        QFETCH(QString, ini);
        QFETCH(QString, user);
        QFETCH(QString, channel);
        SessionStation a(QStringLiteral("pc-a"));
        a.home.write(QStringLiteral("colloqua.ini"),
            a.home.read(QStringLiteral("colloqua.ini")) + "[SETUP]\r\n" + ini.toLatin1());
        a.session->AlterarStatus(3);
        QCOMPARE(a.session->EstaConectado(), !user.isEmpty());
        QCOMPARE(a.session->UsuarioAtual(), user);
        QCOMPARE(a.session->CanalAtual(), channel);
        QCOMPARE(a.session->StatusAtual(), user.isEmpty() ? QStringLiteral("OF") : QStringLiteral("OC"));
    }

    void refreshMarksEverybodyOfflineThenRebuildsFromAcks()
    {
        SessionStation a(QStringLiteral("pc-a"));
        SessionStation b(QStringLiteral("pc-b"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        b.session->Conectar(QStringLiteral("BIA"), SessionStation::Channel, QStringLiteral("OC"));
        QTRY_COMPARE(a.master(), QStringLiteral("BIA (pc-b)\n"));
        RawPeer gone; // announces, then never answers again
        gone.send(a, QStringLiteral("pc-x"), BuildPresenceFrame(QStringLiteral("XICO"), stamp(), QStringLiteral("ON")));
        QTRY_COMPARE(a.master(), QStringLiteral("BIA (pc-b)\nXICO (pc-x)\n"));

        a.session->Refresh();
        QCOMPARE(a.master(), QStringLiteral("'BIA (pc-b)\n'XICO (pc-x)\n"));
        QTRY_COMPARE(a.master(), QStringLiteral("BIA (pc-b)\n'XICO (pc-x)\n"));
        QCOMPARE(a.session->master().topLevel(0)->imageIndex(), 2);

        // Logged off there is nothing to refresh, and the saved tree stays as it is.
        a.session->Desconectar();
        const QString file = a.treeFile();
        a.session->Refresh();
        QCOMPARE(a.treeFile(), file);
    }

    void malformedTreeFileIsReportedOnceAndLogonGoesOn()
    {
        SessionStation a(QStringLiteral("pc-a"));
        a.home.write(QStringLiteral("Dados/ArvUsuarios.tv"), "'BIA (pc-03)\r\n\t\tbad\r\n'CAIO (pc-07)\r\n");
        QStringList order;
        connect(a.session.get(), &CommunicatorSession::loggedOn, this, [&] { order.append(QStringLiteral("on")); });
        connect(a.session.get(), &CommunicatorSession::treeFileProblem, this,
            [&](const QString& message) { order.append(message.isEmpty() ? QString() : QStringLiteral("problem")); });
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QCOMPARE(order, (QStringList { QStringLiteral("on"), QStringLiteral("problem") }));
        QVERIFY(a.session->EstaConectado());
        QCOMPARE(a.master(), QStringLiteral("'BIA (pc-03)\n'CAIO (pc-07)\n"));
        QCOMPARE(
            QDir(a.home.file(QStringLiteral("Dados"))).entryList({ QStringLiteral("ArvUsuarios.tv.bad-*") }).size(), 1);
        a.session->Desconectar();
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QCOMPARE(order.count(QStringLiteral("problem")), 1);
    }

    void fileErrorsAreReportedOnceAndTheProtocolGoesOn()
    {
        SessionStation a(QStringLiteral("pc-a"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        QTRY_COMPARE(a.received().size(), 1);
        QSignalSpy errors(a.session.get(), &CommunicatorSession::fileError);
        // Directories where the tree file and the received history belong: neither can be written.
        QFile::remove(a.history.receivedPath());
        QVERIFY(QDir().mkpath(a.history.receivedPath()));
        QVERIFY(QDir().mkpath(a.session->treeFilePath()));
        RawPeer peer;
        peer.send(a, QStringLiteral("pc-b"), BuildPresenceFrame(QStringLiteral("BIA"), stamp(), QStringLiteral("ON")));
        peer.send(a, QStringLiteral("pc-c"), BuildPresenceFrame(QStringLiteral("CAIO"), stamp(), QStringLiteral("ON")));
        QTRY_COMPARE(peer.frames().size(), 2);
        QCOMPARE(a.master(), QStringLiteral("BIA (pc-b)\nCAIO (pc-c)\n"));
        QCOMPARE(errors.count(), 2); // one per file, not one per datagram
    }

    // Whatever mailbox carried the announcement hears the logoff, so no peer keeps a ghost.
    void logoffAnswersTheAnnouncement_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("address"); // REDE ENDERECO; empty: the station's own
        QTest::addColumn<QString>("mailBox"); // where the announcement went
        QTest::addColumn<bool>("opened");
        QTest::newRow("refused channel keeps the previous mailbox") << "CHANNEL09"
                                                                    << ""
                                                                    << "MailBox" << true;
        QTest::newRow("mailbox that cannot be opened") << "NETWORK"
                                                       << "servidor"
                                                       << "NETWORK" << false;
    }
    void logoffAnswersTheAnnouncement()
    {
        QFETCH(QString, channel);
        QFETCH(QString, address);
        QFETCH(QString, mailBox);
        QFETCH(bool, opened);
        SessionStation a(QStringLiteral("pc-a"));
        if (!address.isEmpty())
            a.settings.WriteSetting(QStringLiteral("REDE"), QStringLiteral("ENDERECO"), SettingString, address);
        QSignalSpy loggedOff(a.session.get(), &CommunicatorSession::loggedOff);
        const QString announcement = QStringLiteral("* ") + BuildPresenceFrame(u"ANA"_s, stamp(), u"ON"_s);
        const QString logoff = QStringLiteral("* ") + BuildLogoffFrame(u"ANA"_s, stamp());
        a.session->Conectar(u"ANA"_s, channel, u"ON"_s);
        QCOMPARE(a.calls, (QStringList { u"open "_s + mailBox, announcement }));
        QCOMPARE(a.transport->MailBox(), mailBox);
        QCOMPARE(a.session->EstaConectado(), opened);
        QCOMPARE(a.session->CanalAtual(), channel);
        QCOMPARE(a.setting(u"SETUP"_s, u"LAST_CHANNEL"_s), channel);

        a.calls.clear();
        a.session->Desconectar();
        QCOMPARE(a.calls, (opened ? QStringList { logoff, u"close"_s } : QStringList { logoff }));
        QCOMPARE(a.transport->MailBox(), mailBox);
        QCOMPARE(loggedOff.count(), 1);
        a.session->Desconectar(); // answered once
        QCOMPARE(loggedOff.count(), 1);

        // A second logon after a failed one withdraws the first before it announces again.
        a.session->Conectar(u"ANA"_s, channel, u"ON"_s);
        a.calls.clear();
        a.session->Conectar(u"ANA"_s, u"NETWORK"_s, u"ON"_s);
        QCOMPARE(a.calls.first(), logoff);
        QCOMPARE(loggedOff.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCommunicatorSession)
#include "tst_communicatorsession.moc"
