#include "fakemailslotbackend.h"
#include "queuedprompter.h"
#include "talmailslot.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace
{
struct Received
{
    QString computer;
    QString userName;
    QString text;
};

QByteArray datagram(const char* user, const char* computer, const char* payload)
{
    return QByteArray("Message\r\n") + user + "\r\n" + computer + "\r\n" + payload;
}

const QByteArray Sentinel = datagram("sentinel", "S", "");
} // namespace

class TestTALMailSlot : public QObject
{
    Q_OBJECT

private:
    // A transport on computer PC1 for user ana over a backend the test keeps observing.
    struct Station
    {
        std::unique_ptr<FakeMailslotBackend> backend;
        std::unique_ptr<TALMailSlot> slot;
        QList<Received> received;
    };

    std::unique_ptr<Station> station(const QString& computer = QStringLiteral("PC1"), bool listen = true)
    {
        auto s = std::make_unique<Station>();
        s->backend = m_network.attach(computer);
        s->slot
            = std::make_unique<TALMailSlot>(borrowBackend(*s->backend), &m_prompter, computer, QStringLiteral("ana"));
        s->slot->setMailBox(QStringLiteral("NETWORK"));
        s->slot->setCheckInterval(20);
        if (listen) {
            Station* raw = s.get();
            connect(s->slot.get(), &TALMailSlot::OnNewMessage, this,
                [raw](const QString& c, const QString& u, const QString& t) {
                    raw->received.append({ c, u, t });
                });
        }
        return s;
    }

    void inject(const QByteArray& data, const QString& mailBox = QStringLiteral("NETWORK"))
    {
        QCOMPARE(m_network.deliver(QStringLiteral("PC1"), mailBox, data), 1);
    }

    // Destroys the transport and checks that its reader is gone and its mailslot closed.
    static void destroyAndCheckStopped(Station& s)
    {
        s.slot.reset();
        QVERIFY(!s.backend->isOpen());
        const int polls = s.backend->infoCount();
        QTest::qWait(100);
        QCOMPARE(s.backend->infoCount(), polls);
        QCOMPARE(s.backend->infoWhileClosed(), 0);
    }

    FakeMailslotNetwork m_network;
    QueuedPrompter m_prompter;

private slots:
    void init() { m_prompter.clear(); }

    void defaults()
    {
        FakeMailslotBackend backend(m_network, QStringLiteral("PC1"));
        TALMailSlot slot(borrowBackend(backend), &m_prompter, QStringLiteral("PC1"), QStringLiteral("ana"));
        QCOMPARE(slot.property("MailBox").toString(), QStringLiteral("MailBox"));
        QCOMPARE(slot.property("Active").toBool(), false);
        QCOMPARE(slot.property("CheckInterval").toInt(), 1000);
        QCOMPARE(slot.property("ThreadPriority").value<QThread::Priority>(), QThread::NormalPriority);
        QVERIFY(slot.setProperty("CheckInterval", 250));
        QCOMPARE(slot.CheckInterval(), 250);
        QCOMPARE(backend.createCount(), 0);
    }

    void datagramLayout_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("one line") << QStringLiteral("abc") << QByteArray("Message\r\nana\r\nPC1\r\nabc\r\n");
        QTest::newRow("empty payload") << QString() << QByteArray("Message\r\nana\r\nPC1\r\n");
        QTest::newRow("final line end not doubled")
            << QStringLiteral("abc\r\n") << QByteArray("Message\r\nana\r\nPC1\r\nabc\r\n");
        QTest::newRow("LF and CR become CR LF")
            << QStringLiteral("a\nb\rc") << QByteArray("Message\r\nana\r\nPC1\r\na\r\nb\r\nc\r\n");
        QTest::newRow("empty line kept") << QStringLiteral("a\r\n\r\nb")
                                         << QByteArray("Message\r\nana\r\nPC1\r\na\r\n\r\nb\r\n");
        QTest::newRow("windows-1252") << QStringLiteral("S\u00E3o \u20AC")
                                      << QByteArray("Message\r\nana\r\nPC1\r\nS\xE3o \x80\r\n");
        QTest::newRow("outside the code page")
            << QStringLiteral("a\u4E2Db") << QByteArray("Message\r\nana\r\nPC1\r\na?b\r\n");
    }
    void datagramLayout()
    {
        QFETCH(QString, payload);
        QFETCH(QByteArray, bytes);
        auto s = station(QStringLiteral("PC1"), false);
        s->slot->SendTo(QStringLiteral("PC2"), payload);
        s->slot->Broadcast(payload);
        const QList<FakeMailslotBackend::Written> written = s->backend->written();
        QCOMPARE(written.size(), 2);
        QCOMPARE(written[0].target, QStringLiteral("PC2"));
        QCOMPARE(written[1].target, QStringLiteral("*"));
        for (const FakeMailslotBackend::Written& w : written) {
            QCOMPARE(w.mailBox, QStringLiteral("NETWORK"));
            QCOMPARE(w.data, bytes);
        }
        QVERIFY(!s->slot->Active());
    }

    void readNextMessage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("computer");
        QTest::addColumn<QString>("userName");
        QTest::addColumn<QString>("text");
        QTest::newRow("one line") << datagram("ana", "PC1", "abc\r\n") << true << QStringLiteral("PC1")
                                  << QStringLiteral("ana") << QStringLiteral("abc\r\n");
        QTest::newRow("exactly three lines")
            << datagram("ana", "PC1", "") << true << QStringLiteral("PC1") << QStringLiteral("ana") << QString();
        QTest::newRow("no final line end") << datagram("ana", "PC1", "abc") << true << QStringLiteral("PC1")
                                           << QStringLiteral("ana") << QStringLiteral("abc\r\n");
        QTest::newRow("lines rejoined with CR LF")
            << QByteArray("Message\nbia\rPC9\r\na\nb\r\n") << true << QStringLiteral("PC9") << QStringLiteral("bia")
            << QStringLiteral("a\r\nb\r\n");
        QTest::newRow("empty lines kept") << datagram("ana", "PC1", "\r\nx\r\n\r\n") << true << QStringLiteral("PC1")
                                          << QStringLiteral("ana") << QStringLiteral("\r\nx\r\n\r\n");
        QTest::newRow("windows-1252") << datagram("Jo\xE3o", "PC1", "\x80\r\n") << true << QStringLiteral("PC1")
                                      << QStringLiteral("Jo\u00E3o") << QStringLiteral("\u20AC\r\n");
        QTest::newRow("lower-case header")
            << QByteArray("message\r\nana\r\nPC1\r\nabc\r\n") << false << QString() << QString() << QString();
        QTest::newRow("header with blank")
            << QByteArray("Message \r\nana\r\nPC1\r\nabc\r\n") << false << QString() << QString() << QString();
        QTest::newRow("two lines") << QByteArray("Message\r\nana\r\n") << false << QString() << QString() << QString();
        QTest::newRow("empty") << QByteArray() << false << QString() << QString() << QString();
        QTest::newRow("NUL bytes") << QByteArray("Message\r\nana\r\nPC1\r\na\0b\r\n", 23) << true
                                   << QStringLiteral("PC1") << QStringLiteral("ana")
                                   << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b\r\n"));
    }
    void readNextMessage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, delivered);
        auto s = station();
        s->slot->setActive(true);
        inject(bytes);
        inject(Sentinel);
        QTRY_VERIFY(!s->received.isEmpty() && s->received.last().userName == QLatin1String("sentinel"));
        s->received.removeLast();
        QCOMPARE(s->received.size(), delivered ? 1 : 0);
        if (delivered) {
            QTEST(s->received[0].computer, "computer");
            QTEST(s->received[0].userName, "userName");
            QTEST(s->received[0].text, "text");
        }
        QCOMPARE(s->backend->waiting(), 0);
    }

    void withoutHandlerDatagramIsDropped()
    {
        auto s = station(QStringLiteral("PC1"), false);
        s->slot->setActive(true);
        inject(datagram("ana", "PC1", "lost\r\n"));
        QTRY_COMPARE(s->backend->waiting(), 0);
        QList<QString> texts;
        connect(s->slot.get(), &TALMailSlot::OnNewMessage, this,
            [&texts](const QString&, const QString&, const QString& t) { texts.append(t); });
        inject(datagram("ana", "PC1", "kept\r\n"));
        QTRY_COMPARE(texts, QList<QString> { QStringLiteral("kept\r\n") });
    }

    void handlerRunsOnOwnerThreadWithSender()
    {
        auto s = station(QStringLiteral("PC1"), false);
        QThread* thread = nullptr;
        QObject* sender = nullptr;
        connect(s->slot.get(), &TALMailSlot::OnNewMessage, this, [&] {
            thread = QThread::currentThread();
            sender = this->sender();
        });
        s->slot->setActive(true);
        inject(Sentinel);
        QTRY_VERIFY(sender != nullptr);
        QCOMPARE(sender, s->slot.get());
        QCOMPARE(thread, QThread::currentThread());
    }

    void mailBoxName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("eight characters") << QStringLiteral("CANAL123") << true;
        QTest::newRow("nine characters") << QStringLiteral("CANAL1234") << false;
        QTest::newRow("eight accented") << QStringLiteral("S\u00C3OPAULO") << true;
        QTest::newRow("long") << QStringLiteral("A VERY LONG CHANNEL NAME") << false;
    }
    void mailBoxName()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        auto s = station();
        s->slot->setActive(true);
        s->slot->setMailBox(name);
        QCOMPARE(s->slot->MailBox(), accepted ? name : QStringLiteral("NETWORK"));
        QCOMPARE(s->backend->openName(), s->slot->MailBox());
        QCOMPARE(s->backend->createCount(), accepted ? 2 : 1);
        QVERIFY(s->slot->Active());
        if (accepted) {
            QVERIFY(m_prompter.asked().isEmpty());
        } else {
            QCOMPARE(m_prompter.asked().size(), 1);
            QCOMPARE(m_prompter.asked()[0].kind, Prompter::Kind::Warning);
            QCOMPARE(
                m_prompter.asked()[0].text, QStringLiteral("MailBox name cannot be greater than 8 characters long."));
        }
    }

    void sameMailBoxDoesNotReopen()
    {
        auto s = station();
        s->slot->setActive(true);
        s->slot->setMailBox(QStringLiteral("NETWORK"));
        QCOMPARE(s->backend->createCount(), 1);
        QCOMPARE(s->backend->closeCount(), 0);
    }

    void renameWhileInactiveDoesNotOpen()
    {
        auto s = station();
        s->slot->setMailBox(QStringLiteral("VENDAS"));
        QCOMPARE(s->backend->createCount(), 0);
        QVERIFY(!s->slot->Active());
    }

    void activeTwiceOpensOnce()
    {
        auto s = station();
        s->slot->setActive(true);
        s->slot->setActive(true);
        QCOMPARE(s->backend->createCount(), 1);
        s->slot->setActive(false);
        s->slot->setActive(false);
        QCOMPARE(s->backend->closeCount(), 1);
        auto idle = station(QStringLiteral("PC2"));
        idle->slot->setActive(false);
        QCOMPARE(idle->backend->closeCount(), 0);
        QCOMPARE(idle->backend->createCount(), 0);
    }

    void failedOpenStaysInactiveSilently()
    {
        auto first = station(QStringLiteral("PC1"));
        auto second = station(QStringLiteral("PC1"));
        first->slot->setActive(true);
        second->slot->setActive(true);
        QVERIFY(first->slot->Active());
        QVERIFY(!second->slot->Active());
        QVERIFY(m_prompter.asked().isEmpty());
        // Sending still works while inactive, and a later attempt opens once the name is free.
        second->slot->Broadcast(QStringLiteral("hi"));
        QTRY_COMPARE(first->received.size(), 1);
        first->slot->setActive(false);
        second->slot->setActive(true);
        QVERIFY(second->slot->Active());
    }

    void reactivationReceivesAgain()
    {
        auto s = station();
        s->slot->setActive(true);
        s->slot->setActive(false);
        QCOMPARE(m_network.deliver(QStringLiteral("PC1"), QStringLiteral("NETWORK"), Sentinel), 0);
        s->slot->setActive(true);
        inject(Sentinel);
        QTRY_COMPARE(s->received.size(), 1);
    }

    void threeWaitingDeliveredInOnePollInOrder()
    {
        auto s = station();
        // Long mode: the first pass checks at once, the next one is a minute away.
        s->slot->setCheckInterval(60000);
        s->backend->holdInfo(true);
        s->slot->setActive(true);
        inject(datagram("ana", "PC1", "1\r\n"));
        inject(datagram("ana", "PC1", "2\r\n"));
        inject(datagram("ana", "PC1", "3\r\n"));
        s->backend->holdInfo(false);
        QTRY_COMPARE(s->received.size(), 3);
        QCOMPARE(s->received[0].text, QStringLiteral("1\r\n"));
        QCOMPARE(s->received[1].text, QStringLiteral("2\r\n"));
        QCOMPARE(s->received[2].text, QStringLiteral("3\r\n"));
        // Three waiting, then two, one, none: all in the first look.
        QCOMPARE(s->backend->infoCount(), 4);
        inject(datagram("ana", "PC1", "4\r\n"));
        QTest::qWait(1500);
        QCOMPARE(s->received.size(), 3);
    }

    void longModeReadsTheCurrentInterval()
    {
        auto s = station();
        s->slot->setCheckInterval(60000);
        s->slot->setActive(true);
        QTRY_VERIFY(s->backend->infoCount() >= 1);
        s->slot->setCheckInterval(1000);
        inject(Sentinel);
        QTRY_COMPARE(s->received.size(), 1);
    }

    void shortModeKeepsPolling()
    {
        auto s = station();
        s->slot->setActive(true);
        for (int i = 1; i <= 3; ++i) {
            inject(Sentinel);
            QTRY_COMPARE(s->received.size(), i);
        }
    }

    void invalidIntervalStillPolls_data()
    {
        QTest::addColumn<int>("interval");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
    }
    void invalidIntervalStillPolls()
    {
        QFETCH(int, interval);
        auto s = station();
        s->slot->setCheckInterval(interval);
        s->slot->setActive(true);
        inject(Sentinel);
        QTRY_COMPARE(s->received.size(), 1);
        inject(Sentinel);
        QTRY_COMPARE(s->received.size(), 2);
        s->slot->setActive(false);
    }

    void oneHandOverAtATime()
    {
        auto s = station(QStringLiteral("PC1"), false);
        int depth = 0;
        int deepest = 0;
        QStringList texts;
        connect(s->slot.get(), &TALMailSlot::OnNewMessage, this, [&](const QString&, const QString&, const QString& t) {
            ++depth;
            deepest = std::max(deepest, depth);
            texts.append(t);
            if (texts.size() == 1) {
                // Like a modal dialog: a nested event loop must not deliver the next datagram.
                QEventLoop loop;
                QTimer::singleShot(300, &loop, &QEventLoop::quit);
                loop.exec();
            }
            --depth;
        });
        s->slot->setActive(true);
        inject(datagram("ana", "PC1", "1"));
        inject(datagram("ana", "PC1", "2"));
        inject(datagram("ana", "PC1", "3"));
        QTRY_COMPARE(texts.size(), 3);
        QCOMPARE(deepest, 1);
        QCOMPARE(texts, (QStringList { QStringLiteral("1\r\n"), QStringLiteral("2\r\n"), QStringLiteral("3\r\n") }));
    }

    void stoppingLongModeIsPrompt()
    {
        auto s = station();
        s->slot->setCheckInterval(5000);
        s->slot->setActive(true);
        QTRY_VERIFY(s->backend->infoCount() >= 1);
        QElapsedTimer timer;
        timer.start();
        s->slot->setActive(false);
        // Never more than one sleep period.
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    // What the handler of the first datagram does to its own transport.
    void handlerChangesTransport_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("activeAfter");
        QTest::addColumn<QString>("openAfter");
        QTest::newRow("deactivate") << QStringLiteral("deactivate") << false << QString();
        QTest::newRow("rename") << QStringLiteral("rename") << true << QStringLiteral("OUTRO");
        QTest::newRow("deactivate and reactivate") << QStringLiteral("cycle") << true << QStringLiteral("NETWORK");
    }
    void handlerChangesTransport()
    {
        QFETCH(QString, action);
        QFETCH(bool, activeAfter);
        QFETCH(QString, openAfter);
        auto s = station(QStringLiteral("PC1"), false);
        TALMailSlot* slot = s->slot.get();
        int handled = 0;
        connect(slot, &TALMailSlot::OnNewMessage, this, [&] {
            if (++handled > 1)
                return;
            // The reader is waiting on this very hand-over: stopping it must not wait for it.
            if (action == QLatin1String("deactivate")) {
                slot->setActive(false);
            } else if (action == QLatin1String("rename")) {
                slot->setMailBox(QStringLiteral("OUTRO"));
            } else {
                slot->setActive(false);
                slot->setActive(true);
            }
        });
        slot->setActive(true);
        inject(Sentinel);
        QTRY_COMPARE(handled, 1);
        QCOMPARE(slot->Active(), activeAfter);
        QCOMPARE(s->backend->openName(), openAfter);
        if (activeAfter) {
            inject(Sentinel, openAfter);
            QTRY_COMPARE(handled, 2);
        }
        destroyAndCheckStopped(*s);
    }

    // What a handler served while the transport is being deactivated asks for.
    void handlerDuringStop_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("activeAfter");
        QTest::addColumn<QString>("mailBoxAfter");
        QTest::newRow("reactivate") << QStringLiteral("reactivate") << true << QStringLiteral("NETWORK");
        QTest::newRow("rename") << QStringLiteral("rename") << false << QStringLiteral("OUTRO");
        QTest::newRow("rename and reactivate") << QStringLiteral("both") << true << QStringLiteral("OUTRO");
        QTest::newRow("deactivate again") << QStringLiteral("deactivate") << false << QStringLiteral("NETWORK");
    }
    void handlerDuringStop()
    {
        QFETCH(QString, action);
        QFETCH(bool, activeAfter);
        QFETCH(QString, mailBoxAfter);
        auto s = station(QStringLiteral("PC1"), false);
        TALMailSlot* slot = s->slot.get();
        int handled = 0;
        connect(slot, &TALMailSlot::OnNewMessage, this, [&] {
            if (++handled > 1)
                return;
            if (action == QLatin1String("rename") || action == QLatin1String("both"))
                slot->setMailBox(QStringLiteral("OUTRO"));
            if (action == QLatin1String("reactivate") || action == QLatin1String("both"))
                slot->setActive(true);
            if (action == QLatin1String("deactivate"))
                slot->setActive(false);
        });
        slot->setActive(true);
        inject(Sentinel);
        QVERIFY(s->backend->waitForInfoReportingWaiting(1, 5000));
        QThread::msleep(200);
        slot->setActive(false);
        QCOMPARE(handled, 1);
        QCOMPARE(slot->Active(), activeAfter);
        QCOMPARE(slot->MailBox(), mailBoxAfter);
        QCOMPARE(s->backend->openName(), activeAfter ? mailBoxAfter : QString());
        if (activeAfter) {
            inject(Sentinel, mailBoxAfter);
            QTRY_COMPARE(handled, 2);
        }
        destroyAndCheckStopped(*s);
    }

    void priorityChangeWhileActiveKeepsReceiving()
    {
        auto s = station();
        s->slot->setThreadPriority(QThread::LowPriority);
        s->slot->setActive(true);
        s->slot->setThreadPriority(QThread::HighPriority);
        QCOMPARE(s->slot->ThreadPriority(), QThread::HighPriority);
        inject(Sentinel);
        QTRY_COMPARE(s->received.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTALMailSlot)
#include "tst_talmailslot.moc"
