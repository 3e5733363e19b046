#include "duplicatefilter.h"
#include "networkdiagnosis.h"
#include "peerdirectory.h"
#include "receivequeue.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The tables of the UDP transport, driven by a clock the rows move on: nothing here sleeps.
class TestTransportTables : public QObject
{
    Q_OBJECT

private slots:
    // Each step is "<datagram bytes>@<ms>"; `seen` has one letter per step, y for a copy.
    void duplicateFilter_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("seen");
        QTest::newRow("copy within the window") << QStringList { u"a@0"_s, u"a@4999"_s } << u"ny"_s;
        QTest::newRow("again after the window") << QStringList { u"a@0"_s, u"a@5000"_s } << u"nn"_s;
        // The id and the sender are part of the bytes: one sender that reuses an id loses nothing.
        QTest::newRow("same id, other bytes")
            << QStringList { u"id0 ON@0"_s, u"id0 OF@1"_s, u"id0 ON@2"_s } << u"nny"_s;
        QTest::newRow("a copy does not extend the window")
            << QStringList { u"a@0"_s, u"a@3000"_s, u"a@5000"_s } << u"nyn"_s;
    }
    void duplicateFilter()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, seen);
        DuplicateFilter filter(42);
        QString got;
        for (const QString& step : steps) {
            const QByteArray bytes = step.section(QLatin1Char('@'), 0, 0).toLatin1();
            got += filter.seenBefore(filter.keyOf(bytes), step.section(QLatin1Char('@'), 1).toLongLong()) ? u'y' : u'n';
        }
        QCOMPARE(got, seen);
    }

    void duplicateFilterStaysBounded()
    {
        DuplicateFilter filter(7);
        for (int i = 0; i <= DuplicateFilter::MaxEntries; ++i)
            QVERIFY(!filter.seenBefore(filter.keyOf(QByteArray::number(i)), 0));
        QCOMPARE(filter.size(), DuplicateFilter::MaxEntries);
        // The oldest made room; the newest is still known.
        QVERIFY(!filter.seenBefore(filter.keyOf("0"), 1));
        QVERIFY(filter.seenBefore(filter.keyOf(QByteArray::number(DuplicateFilter::MaxEntries)), 1));
    }

    // Each step is "NAME FROM HEADER AT" (learn) or "-NAME" (logged off); then `name` is
    // looked up at `askAt`. `clashes` counts the steps that reported another machine.
    void peerDirectory_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<qint64>("askAt");
        QTest::addColumn<uint>("address"); // 0: none
        QTest::addColumn<int>("clashes");
        const qint64 forget = PeerDirectory::ForgetAfterMs;
        const qint64 window = PeerDirectory::SameNameWindowMs;
        QTest::newRow("learnt") << QStringList { u"DEB 92 92 0"_s } << qint64(10) << 92u << 0;
        QTest::newRow("the last place wins")
            << QStringList { u"DEB 92 92 0"_s, u"DEB 93 93 1"_s } << qint64(2) << 93u << 1;
        QTest::newRow("two machines, apart in time")
            << QStringList { u"DEB 92 92 0"_s, QStringLiteral("DEB 93 93 %1").arg(window) } << qint64(window) << 93u
            << 0;
        QTest::newRow("one machine on two interfaces")
            << QStringList { u"DEB 92 7 0"_s, u"DEB 93 7 1"_s } << qint64(2) << 93u << 0;
        QTest::newRow("one address, another header")
            << QStringList { u"DEB 92 7 0"_s, u"DEB 92 8 1"_s } << qint64(2) << 92u << 0;
        QTest::newRow("expires unheard") << QStringList { u"DEB 92 92 0"_s } << forget << 0u << 0;
        QTest::newRow("heard again, kept")
            << QStringList { u"DEB 92 92 0"_s, QStringLiteral("DEB 92 92 %1").arg(forget - 1) } << forget << 92u << 0;
        QTest::newRow("logged off") << QStringList { u"DEB 92 92 0"_s, u"-DEB"_s } << qint64(1) << 0u << 0;
        QTest::newRow("others unaffected")
            << QStringList { u"DEB 92 92 0"_s, u"PC2 5 5 1"_s, u"-PC2"_s } << qint64(2) << 92u << 0;
    }
    void peerDirectory()
    {
        QFETCH(QStringList, steps);
        QFETCH(qint64, askAt);
        QFETCH(uint, address);
        QFETCH(int, clashes);
        PeerDirectory peers;
        int clashed = 0;
        for (const QString& step : steps) {
            if (step.startsWith(QLatin1Char('-'))) {
                peers.forget(step.mid(1));
                continue;
            }
            const QStringList f = step.split(QLatin1Char(' '));
            if (peers.learn(f[0], { f[1].toUInt(), f[2].toUInt() }, f[3].toLongLong()))
                ++clashed;
        }
        QCOMPARE(peers.address(QStringLiteral("DEB"), askAt).value_or(0), quint32(address));
        QCOMPARE(clashed, clashes);
    }

    void peerDirectoryMakesRoomForTheNewest()
    {
        PeerDirectory peers;
        for (int i = 0; i < PeerDirectory::MaxPeers; ++i)
            peers.learn(QString::number(i), { quint32(i) + 1, 1 }, i);
        // Heard again, the first is now the most recent: the second makes room.
        peers.learn(QStringLiteral("0"), { 1, 1 }, PeerDirectory::MaxPeers);
        peers.learn(QStringLiteral("new"), { 99, 1 }, PeerDirectory::MaxPeers + 1);
        QCOMPARE(peers.size(), PeerDirectory::MaxPeers);
        const qint64 now = PeerDirectory::MaxPeers + 2;
        QCOMPARE(peers.address(QStringLiteral("0"), now), std::optional<quint32>(1));
        QCOMPARE(peers.address(QStringLiteral("1"), now), std::nullopt);
        QCOMPARE(peers.address(QStringLiteral("new"), now), std::optional<quint32>(99));
    }

    // Each step is "FROM:BYTES" (a datagram arrives) or "read"; `outcomes` has a letter per
    // arrival: k kept, f queue full, s the sender's share full.
    void receiveQueue_data()
    {
        QTest::addColumn<int>("messages");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("outcomes");
        QTest::addColumn<QString>("dropsBySource");
        QTest::newRow("a quarter for one sender")
            << 8 << qint64(1000) << QStringList { u"1:1"_s, u"1:1"_s, u"1:1"_s } << u"kks"_s << u"1=1"_s;
        QTest::newRow("the others still get in")
            << 8 << qint64(1000) << QStringList { u"1:1"_s, u"1:1"_s, u"1:1"_s, u"2:1"_s, u"3:1"_s, u"2:1"_s }
            << u"kkskkk"_s << u"1=1"_s;
        QTest::newRow("reading frees the share")
            << 8 << qint64(1000) << QStringList { u"1:1"_s, u"1:1"_s, u"read"_s, u"1:1"_s } << u"kkk"_s << u""_s;
        QTest::newRow("queue full") << 4 << qint64(1000)
                                    << QStringList { u"1:1"_s, u"2:1"_s, u"3:1"_s, u"4:1"_s, u"5:1"_s } << u"kkkkf"_s
                                    << u"5=1"_s;
        QTest::newRow("a quarter of the bytes")
            << 100 << qint64(40) << QStringList { u"1:6"_s, u"1:6"_s, u"2:10"_s } << u"ksk"_s << u"1=1"_s;
        QTest::newRow("one large datagram still gets in")
            << 100 << qint64(40) << QStringList { u"1:30"_s, u"1:1"_s } << u"ks"_s << u"1=1"_s;
        QTest::newRow("bytes of the whole queue")
            << 100 << qint64(40) << QStringList { u"1:10"_s, u"2:10"_s, u"3:10"_s, u"4:10"_s, u"5:1"_s } << u"kkkkf"_s
            << u"5=1"_s;
    }
    void receiveQueue()
    {
        QFETCH(int, messages);
        QFETCH(qint64, bytes);
        QFETCH(QStringList, steps);
        QFETCH(QString, outcomes);
        QFETCH(QString, dropsBySource);
        ReceiveQueue queue;
        queue.setLimit(messages, bytes);
        QString got;
        for (const QString& step : steps) {
            if (step == QLatin1String("read")) {
                QVERIFY(queue.pop());
                continue;
            }
            const quint32 from = step.section(QLatin1Char(':'), 0, 0).toUInt();
            const int size = step.section(QLatin1Char(':'), 1).toInt();
            switch (queue.push({ QByteArray(size, 'x'), QStringLiteral("PC"), from, from })) {
            case ReceiveQueue::Outcome::Kept:
                got += u'k';
                break;
            case ReceiveQueue::Outcome::QueueFull:
                got += u'f';
                break;
            case ReceiveQueue::Outcome::SourceShareFull:
                got += u's';
                break;
            }
        }
        QCOMPARE(got, outcomes);
        QStringList drops;
        for (auto it = queue.droppedBySource().cbegin(); it != queue.droppedBySource().cend(); ++it)
            drops.append(QStringLiteral("%1=%2").arg(it.key()).arg(it.value()));
        drops.sort();
        QCOMPARE(drops.join(QLatin1Char(' ')), dropsBySource);
        QCOMPARE(queue.droppedCount(), quint64(got.count(u'f') + got.count(u's')));
    }

    void firewallRules_data()
    {
        QTest::addColumn<QString>("ruleset");
        QTest::addColumn<QStringList>("blocking");
        const QString nftHead = QStringLiteral("table inet filter {\n chain input {\n  type filter hook input priority "
                                               "filter; policy accept;\n");
        QTest::newRow("nft drop") << nftHead + u"  udp dport 45138 drop\n }\n}\n"_s
                                  << QStringList { u"udp dport 45138 drop"_s };
        QTest::newRow("nft set") << nftHead + u"  udp dport { 137, 45138 } reject\n"_s
                                 << QStringList { u"udp dport { 137, 45138 } reject"_s };
        QTest::newRow("nft range") << nftHead + u"  udp dport 45000-46000 drop\n"_s
                                   << QStringList { u"udp dport 45000-46000 drop"_s };
        QTest::newRow("nft other port") << nftHead + u"  udp dport 53 drop\n"_s << QStringList {};
        QTest::newRow("nft all but the port") << nftHead + u"  udp dport != 45138 drop\n"_s << QStringList {};
        QTest::newRow("nft accepted first") << nftHead + u"  udp dport 45138 accept\n  udp drop\n"_s << QStringList {};
        QTest::newRow("nft all udp") << nftHead + u"  ip saddr 127.0.0.0/8 udp drop\n"_s
                                     << QStringList { u"ip saddr 127.0.0.0/8 udp drop"_s };
        QTest::newRow("nft policy drop") << QStringLiteral(
            "table inet filter {\n chain input {\n  type filter hook input priority 0; policy drop;\n"
            "  tcp dport 22 accept\n") << QStringList { u"type filter hook input priority 0; policy drop;"_s };
        QTest::newRow("nft policy drop, port accepted") << QStringLiteral(
            "chain input {\n type filter hook input priority 0; policy drop;\n udp dport 45138 accept\n")
                                                        << QStringList {};
        QTest::newRow("iptables drop") << QStringLiteral("*filter\n:INPUT ACCEPT [0:0]\n-A INPUT -p udp -m udp --dport "
                                                         "45138 -j DROP\nCOMMIT\n")
                                       << QStringList { u"-A INPUT -p udp -m udp --dport 45138 -j DROP"_s };
        QTest::newRow("iptables multiport range")
            << QStringLiteral("-A INPUT -p udp -m multiport --dports 137,45000:46000 -j REJECT\n")
            << QStringList { u"-A INPUT -p udp -m multiport --dports 137,45000:46000 -j REJECT"_s };
        QTest::newRow("iptables negated")
            << QStringLiteral("-A INPUT -p udp ! --dport 45138 -j DROP\n") << QStringList {};
        QTest::newRow("iptables policy drop") << QStringLiteral(
            "*filter\n:INPUT DROP [0:0]\n-A INPUT -p tcp --dport 22 "
            "-j ACCEPT\n") << QStringList { u":INPUT DROP [0:0]"_s };
    }
    void firewallRules()
    {
        QFETCH(QString, ruleset);
        QFETCH(QStringList, blocking);
        QCOMPARE(NetworkDiagnosis::blockingRules(ruleset, 45138), blocking);
    }

    void socketsOfThePort()
    {
        const QByteArray table = "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
                                 "timeout inode ref pointer drops\n"
                                 "  10: 0B00007F:B052 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000  "
                                 "0 4242 2 0000000000000000 0\n"
                                 "  11: FFFFFF7F:B052 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000  "
                                 "0 4243 2 0000000000000000 0\n"
                                 "  12: 00000000:0035 00000000:0000 07 00000000:00000000 00:00000000 00000000     0  "
                                 "0 17 2 0000000000000000 0\n";
        QCOMPARE(NetworkDiagnosis::socketInodes(table, 45138), (QList<quint64> { 4242, 4243 }));
        QCOMPARE(NetworkDiagnosis::socketInodes(table, 53), (QList<quint64> { 17 }));
        QVERIFY(NetworkDiagnosis::socketInodes(table, 138).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTransportTables)
#include "tst_transporttables.moc"
