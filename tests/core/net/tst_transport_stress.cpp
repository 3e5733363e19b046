#include "loopback.h"
#include "networkconfig.h"
#include "talmailslot.h"
#include "udpmailslotbackend.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <memory>

// A burst far larger than a socket buffer reaches a transport that looks only once a second.
class TestTransportStress : public QObject
{
    Q_OBJECT

private:
    static constexpr int Burst = 5000;

    static std::unique_ptr<TALMailSlot> transport(const QString& computer, const QString& address)
    {
        NetworkConfig config;
        config.port = Loopback::testPort();
        config.address = address;
        config.broadcast = { { QStringLiteral("127.255.255.255"), config.port } };
        auto slot
            = std::make_unique<TALMailSlot>(std::make_unique<UdpMailslotBackend>(computer, [config] { return config; }),
                nullptr, computer, QStringLiteral("stress"));
        slot->setMailBox(QStringLiteral("NETWORK"));
        return slot;
    }

private slots:
    void burstIsReceivedWhole_data()
    {
        QTest::addColumn<bool>("broadcast");
        QTest::newRow("directed") << false;
        QTest::newRow("broadcast") << true;
    }
    void burstIsReceivedWhole()
    {
        QFETCH(bool, broadcast);
        const QString address = Loopback::nextAddress().toString();
        auto receiver = transport(QStringLiteral("PCR"), address);
        auto sender = transport(QStringLiteral("PCS"), Loopback::nextAddress().toString());
        receiver->setCheckInterval(1000);
        QList<int> numbers;
        numbers.reserve(Burst);
        // An event loop of its own: QTRY's waits nap between looks and would slow every hand-over.
        QEventLoop loop;
        connect(receiver.get(), &TALMailSlot::OnNewMessage, &loop,
            [&](const QString&, const QString&, const QString& text) {
                numbers.append(text.section(QLatin1Char(' '), 0, 0).toInt());
                if (numbers.size() == Burst)
                    loop.quit();
            });
        receiver->setActive(true);
        QVERIFY(receiver->Active());

        // A frame of typical size, numbered.
        const QString frame = QStringLiteral("M[FULANO|BELTRANO|070512143005|5]S[]D[mensagem de tamanho comum %1]");
        for (int i = 0; i < Burst; ++i) {
            const QString text = QString::number(i) + QLatin1Char(' ') + frame.arg(i);
            if (broadcast)
                sender->Broadcast(text);
            else
                sender->SendTo(address, text);
        }

        // Count-based: the guard time only keeps a lost datagram from hanging the suite.
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(numbers.size(), Burst);
        for (int i = 0; i < Burst; ++i)
            QCOMPARE(numbers[i], i);
    }
};

QTEST_GUILESS_MAIN(TestTransportStress)
#include "tst_transport_stress.moc"
