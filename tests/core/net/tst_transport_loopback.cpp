#include "backendwatch.h"
#include "loopback.h"
#include "networkconfig.h"
#include "talmailslot.h"
#include "udpmailslotbackend.h"

#include <QTest>

#include <memory>

namespace
{
struct Received
{
    QString computer;
    QString userName;
    QString text;
};

const QString Channel = QStringLiteral("NETWORK");

// One station: a transport over the real UDP backend, bound to its own 127.x.y.z address,
// broadcasting to the loopback broadcast address only.
struct Node
{
    QString computer;
    QString address;
    NetworkConfig config;
    std::shared_ptr<BackendWatch> watch = std::make_shared<BackendWatch>();
    UdpMailslotBackend* udp = nullptr; // owned by the transport
    std::unique_ptr<TALMailSlot> slot;
    QList<Received> received;

    QStringList texts() const
    {
        QStringList result;
        for (const Received& r : received)
            result.append(r.text);
        return result;
    }
};

NetworkConfig loopbackConfig(const QString& address)
{
    NetworkConfig config;
    config.port = Loopback::testPort();
    config.address = address;
    config.broadcast = { { QStringLiteral("127.255.255.255"), config.port } };
    return config;
}
} // namespace

class TestTransportLoopback : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Node> node(const QString& computer, bool activate = true, const QString& mailBox = Channel,
        const QString& address = QString())
    {
        auto n = std::make_unique<Node>();
        n->computer = computer;
        n->address = address.isEmpty() ? Loopback::nextAddress().toString() : address;
        n->config = loopbackConfig(n->address);
        const NetworkConfig config = n->config;
        auto udp = std::make_unique<UdpMailslotBackend>(computer, [config] { return config; });
        n->udp = udp.get();
        n->slot = std::make_unique<TALMailSlot>(BackendWatch::wrap(std::move(udp), n->watch), nullptr, computer,
            QStringLiteral("user.") + computer.toLower());
        n->slot->setCheckInterval(10);
        n->slot->setMailBox(mailBox);
        Node* raw = n.get();
        connect(n->slot.get(), &TALMailSlot::OnNewMessage, this,
            [raw](const QString& c, const QString& u, const QString& t) {
                raw->received.append({ c, u, t });
            });
        if (activate) {
            n->slot->setActive(true);
            if (!n->slot->Active())
                qWarning("%s could not open %s", qPrintable(computer), qPrintable(n->address));
        }
        return n;
    }

    // Destroys the transport and checks that its reader ended before the mailslot closed,
    // and that the address and port are free again.
    void destroyAndCheckStopped(std::unique_ptr<Node>& n)
    {
        const QString address = n->address;
        const std::shared_ptr<BackendWatch> watch = n->watch;
        n->slot.reset();
        QVERIFY(watch->destroyed());
        QCOMPARE(watch->closeCount(), 1);
        QCOMPARE(watch->infoWhileClosed(), 0);
        auto again = node(QStringLiteral("AGAIN"), true, Channel, address);
        QVERIFY(again->slot->Active());
    }

private slots:
    void broadcastReachesAllIncludingSenderOnce()
    {
        auto a = node(QStringLiteral("PCA"));
        auto b = node(QStringLiteral("PCB"));
        auto c = node(QStringLiteral("PCC"));
        QVERIFY(a->slot->Active() && b->slot->Active() && c->slot->Active());
        a->slot->Broadcast(QStringLiteral("M[ANA||070512143005|9]S[USR_ON]D[]"));
        a->slot->Broadcast(QStringLiteral("fim"));
        for (Node* n : { a.get(), b.get(), c.get() }) {
            QTRY_COMPARE(n->received.size(), 2);
            QCOMPARE(n->texts(),
                (QStringList { QStringLiteral("M[ANA||070512143005|9]S[USR_ON]D[]\r\n"), QStringLiteral("fim\r\n") }));
            QCOMPARE(n->received[0].computer, QStringLiteral("PCA"));
            QCOMPARE(n->received[0].userName, QStringLiteral("user.pca"));
        }
    }

    void directedReachesOne_data()
    {
        QTest::addColumn<bool>("byAddress");
        QTest::newRow("by learnt computer name") << false;
        QTest::newRow("by address") << true;
    }
    void directedReachesOne()
    {
        QFETCH(bool, byAddress);
        auto a = node(QStringLiteral("PCA"));
        auto b = node(QStringLiteral("PCB"));
        auto c = node(QStringLiteral("PCC"));
        // Everybody announces itself, so names are learnt from the datagrams.
        for (Node* n : { a.get(), b.get(), c.get() })
            n->slot->Broadcast(QStringLiteral("hello"));
        for (Node* n : { a.get(), b.get(), c.get() }) {
            QTRY_COMPARE(n->received.size(), 3);
            n->received.clear();
        }
        b->slot->SendTo(byAddress ? a->address : QStringLiteral("pca"), QStringLiteral("s\u00F3 para voc\u00EA"));
        QTRY_COMPARE(a->received.size(), 1);
        QCOMPARE(a->received[0].text, QStringLiteral("s\u00F3 para voc\u00EA\r\n"));
        QCOMPARE(a->received[0].computer, QStringLiteral("PCB"));
        b->slot->Broadcast(QStringLiteral("fim"));
        for (Node* n : { b.get(), c.get() }) {
            QTRY_COMPARE(n->received.size(), 1);
            QCOMPARE(n->received[0].text, QStringLiteral("fim\r\n"));
        }
    }

    void foreignChannelIgnored()
    {
        auto a = node(QStringLiteral("PCA"));
        auto b = node(QStringLiteral("PCB"));
        auto d = node(QStringLiteral("PCD"), true, QStringLiteral("OUTRO"));
        d->slot->Broadcast(QStringLiteral("outro canal"));
        d->slot->SendTo(a->address, QStringLiteral("outro canal"));
        QTRY_COMPARE(d->received.size(), 1);
        a->slot->Broadcast(QStringLiteral("fim"));
        for (Node* n : { a.get(), b.get() }) {
            QTRY_COMPARE(n->received.size(), 1);
            QCOMPARE(n->received[0].text, QStringLiteral("fim\r\n"));
        }
        QCOMPARE(d->texts(), QStringList { QStringLiteral("outro canal\r\n") });
    }

    // Datagrams that only a foreign program would send, written to the backend directly.
    void rawDatagrams_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("lower-case header dropped") << QByteArray("message\r\nbia\r\nPCX\r\nabc\r\n") << QStringList {};
        QTest::newRow("two lines dropped") << QByteArray("Message\r\nbia\r\n") << QStringList {};
        QTest::newRow("three lines give empty text")
            << QByteArray("Message\r\nbia\r\nPCX\r\n") << QStringList { QString() };
        QTest::newRow("LF line ends") << QByteArray("Message\nbia\nPCX\na\nb")
                                      << QStringList { QStringLiteral("a\r\nb\r\n") };
    }
    void rawDatagrams()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, texts);
        auto a = node(QStringLiteral("PCA"));
        const NetworkConfig config = loopbackConfig(Loopback::nextAddress().toString());
        UdpMailslotBackend foreign(QStringLiteral("PCX"), [config] { return config; });
        foreign.write(a->address, Channel, bytes);
        foreign.write(a->address, Channel, QByteArray("Message\r\nbia\r\nPCX\r\nfim\r\n"));
        QTRY_VERIFY(!a->received.isEmpty() && a->received.last().text == QLatin1String("fim\r\n"));
        a->received.removeLast();
        QCOMPARE(a->texts(), texts);
    }

    void emptyPayloadGivesEmptyText()
    {
        auto a = node(QStringLiteral("PCA"));
        auto b = node(QStringLiteral("PCB"));
        a->slot->SendTo(b->address, QString());
        QTRY_COMPARE(b->received.size(), 1);
        QCOMPARE(b->received[0].text, QString());
        QCOMPARE(b->received[0].computer, QStringLiteral("PCA"));
    }

    void threeWaitingDeliveredInOnePollInOrder()
    {
        auto a = node(QStringLiteral("PCA"), false);
        auto b = node(QStringLiteral("PCB"));
        a->slot->setCheckInterval(60000);
        a->watch->hold(true);
        a->slot->setActive(true);
        for (const char* text : { "1", "2", "3" })
            b->slot->SendTo(a->address, QLatin1String(text));
        QTRY_COMPARE(a->udp->info().count, 3);
        a->watch->hold(false);
        QTRY_COMPARE(a->received.size(), 3);
        QCOMPARE(
            a->texts(), (QStringList { QStringLiteral("1\r\n"), QStringLiteral("2\r\n"), QStringLiteral("3\r\n") }));
        // One look saw three waiting, then two, one, none: a single poll.
        QCOMPARE(a->watch->infoCount(), 4);
    }

    void renameWhileActiveReopens()
    {
        auto a = node(QStringLiteral("PCA"));
        auto b = node(QStringLiteral("PCB"));
        auto c = node(QStringLiteral("PCC"), false, QStringLiteral("OUTRO"));
        a->slot->setMailBox(QStringLiteral("OUTRO"));
        QVERIFY(a->slot->Active());
        QCOMPARE(a->watch->createCount(), 2);
        b->slot->Broadcast(QStringLiteral("network"));
        QTRY_COMPARE(b->received.size(), 1);
        c->slot->Broadcast(QStringLiteral("outro"));
        QTRY_COMPARE(a->received.size(), 1);
        QCOMPARE(a->received[0].text, QStringLiteral("outro\r\n"));
    }

    void activeTwiceOpensOnce()
    {
        auto a = node(QStringLiteral("PCA"), false);
        auto b = node(QStringLiteral("PCB"));
        a->watch->hold(true);
        a->slot->setActive(true);
        b->slot->SendTo(a->address, QStringLiteral("kept"));
        QTRY_COMPARE(a->udp->info().count, 1);
        // A second open would have emptied the mailslot.
        a->slot->setActive(true);
        a->watch->hold(false);
        QTRY_COMPARE(a->received.size(), 1);
        QCOMPARE(a->watch->createCount(), 1);
    }

    void secondStationOnSameAddressStaysInactive()
    {
        auto a = node(QStringLiteral("PCA"));
        auto twin = node(QStringLiteral("TWIN"), true, Channel, a->address);
        QVERIFY(a->slot->Active());
        QVERIFY(!twin->slot->Active());
    }

    void stopWithPendingHandOver_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("deactivate") << false;
        QTest::newRow("destroy") << true;
    }
    void stopWithPendingHandOver()
    {
        QFETCH(bool, destroy);
        auto a = node(QStringLiteral("PCA"));
        auto b = node(QStringLiteral("PCB"));
        b->slot->SendTo(a->address, QStringLiteral("pendente"));
        // The reader has seen it and waits for this thread, which does not serve it yet.
        QVERIFY(a->watch->waitForInfoReportingWaiting(1, 5000));
        QThread::msleep(200);
        QVERIFY(a->received.isEmpty());
        if (destroy) {
            Node* raw = a.get();
            raw->slot.reset();
            QCOMPARE(raw->received.size(), 1);
            QVERIFY(raw->watch->destroyed());
            QCOMPARE(raw->watch->infoWhileClosed(), 0);
        } else {
            a->slot->setActive(false);
            QVERIFY(!a->slot->Active());
            QCOMPARE(a->received.size(), 1);
            QCOMPARE(a->received[0].text, QStringLiteral("pendente\r\n"));
            QCoreApplication::processEvents();
            QCOMPARE(a->received.size(), 1);
            destroyAndCheckStopped(a);
        }
    }

    void destroyingActiveStopsReaderFirst()
    {
        auto a = node(QStringLiteral("PCA"));
        auto b = node(QStringLiteral("PCB"));
        b->slot->SendTo(a->address, QStringLiteral("x"));
        QTRY_COMPARE(a->received.size(), 1);
        destroyAndCheckStopped(a);
    }
};

QTEST_GUILESS_MAIN(TestTransportLoopback)
#include "tst_transport_loopback.moc"
