// What we send must be what Windows sends: Wireshark's own dissectors have to read our
// datagrams as NetBIOS datagrams carrying "Write Mail Slot". The datagrams are taken from a
// real backend on loopback and written, in Ethernet/IPv4/UDP frames, to a capture file.

#include "ansi.h"
#include "loopback.h"
#include "netbiosdatagram.h"
#include "udpmailslotbackend.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

namespace
{
constexpr quint16 WirePort = 45138;

struct Captured
{
    QByteArray payload;
    quint32 from = 0;
    quint32 to = 0;
};

void appendBe16(QByteArray& out, quint16 v)
{
    out.append(static_cast<char>(v >> 8));
    out.append(static_cast<char>(v & 0xFF));
}

void appendBe32(QByteArray& out, quint32 v)
{
    appendBe16(out, static_cast<quint16>(v >> 16));
    appendBe16(out, static_cast<quint16>(v & 0xFFFF));
}

void appendLe32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

quint16 ipChecksum(QByteArrayView header)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i + 1 < header.size(); i += 2)
        sum += (quint32(quint8(header[i])) << 8) | quint8(header[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<quint16>(~sum);
}

// A classic pcap file (Ethernet link type), one frame per datagram, UDP port 45138 both ways.
QByteArray pcap(const QList<Captured>& datagrams)
{
    QByteArray out;
    appendLe32(out, 0xA1B2C3D4);
    out.append("\x02\x00\x04\x00", 4); // version 2.4
    appendLe32(out, 0); // time zone
    appendLe32(out, 0); // accuracy
    appendLe32(out, 65535); // snapshot length
    appendLe32(out, 1); // Ethernet
    quint32 second = 1700000000;
    for (const Captured& c : datagrams) {
        QByteArray udp;
        appendBe16(udp, WirePort);
        appendBe16(udp, WirePort);
        appendBe16(udp, static_cast<quint16>(8 + c.payload.size()));
        appendBe16(udp, 0); // no checksum
        udp.append(c.payload);

        QByteArray ip;
        ip.append("\x45\x00", 2);
        appendBe16(ip, static_cast<quint16>(20 + udp.size()));
        appendBe16(ip, 1); // identification
        appendBe16(ip, 0); // flags, fragment offset
        ip.append("\x40\x11", 2); // TTL 64, UDP
        appendBe16(ip, 0);
        appendBe32(ip, c.from);
        appendBe32(ip, c.to);
        const quint16 sum = ipChecksum(ip);
        ip[10] = static_cast<char>(sum >> 8);
        ip[11] = static_cast<char>(sum & 0xFF);

        QByteArray frame = QByteArray::fromHex("ffffffffffff020000000001") + QByteArray("\x08\x00", 2);
        frame += ip + udp;
        appendLe32(out, second++);
        appendLe32(out, 0);
        appendLe32(out, static_cast<quint32>(frame.size()));
        appendLe32(out, static_cast<quint32>(frame.size()));
        out.append(frame);
    }
    return out;
}
} // namespace

class TestTshark : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
        if (m_tshark.isEmpty())
            QSKIP("tshark is not installed");
    }

    void wiresharkReadsOurWrites_data()
    {
        QTest::addColumn<bool>("broadcast");
        QTest::addColumn<QString>("mailBox");
        QTest::addColumn<QByteArray>("payload");
        const QByteArray frame = "Message\r\nana\r\nalpha\r\nM[ANA||070512143005|9]S[USR_ON]D[]\r\n";
        QTest::newRow("directed") << false << QStringLiteral("VENDAS") << frame;
        QTest::newRow("to the workgroup") << true << QStringLiteral("VENDAS") << frame;
        QTest::newRow("accented text") << false << QStringLiteral("Vendas")
                                       << QByteArray("Message\r\nana\r\nalpha\r\nM[ANA|JO\xC3O|070512143005|3]S[]D["
                                                     "Reuni\xE3o \x80 10h]\r\n");
        // Wireshark reads mailboxes starting with "NET" as the logon protocol; the mailslot
        // layer around it must still be ours.
        QTest::newRow("default channel") << true << QStringLiteral("NETWORK") << frame;
    }
    void wiresharkReadsOurWrites()
    {
        QFETCH(bool, broadcast);
        QFETCH(QString, mailBox);
        QFETCH(QByteArray, payload);

        QUdpSocket peer;
        const QHostAddress peerAddress = Loopback::nextAddress();
        QVERIFY(peer.bind(peerAddress, Loopback::testPort()));

        NetworkConfig config;
        config.port = Loopback::testPort();
        config.address = Loopback::nextAddress().toString();
        config.broadcast = { { peerAddress.toString(), config.port } };
        UdpMailslotBackend alpha(QStringLiteral("alpha"), [config] { return config; });
        QVERIFY(alpha.create(mailBox));

        if (broadcast) {
            alpha.write(QStringLiteral("*"), mailBox, payload);
        } else {
            // Introduce the peer as computer "gamma" so the write goes to it by name.
            NetbiosDatagram hello;
            hello.sourceName = QStringLiteral("gamma");
            hello.destinationName = QStringLiteral("alpha");
            hello.mailBox = mailBox;
            hello.data = "hello";
            peer.writeDatagram(hello.encode(), QHostAddress(config.address), config.port);
            // Learnt as the datagram is handed over.
            QTRY_COMPARE(alpha.info().count, 1);
            alpha.read();
            QVERIFY(alpha.learntAddress(QStringLiteral("gamma")).has_value());
            alpha.write(QStringLiteral("gamma"), mailBox, payload);
        }
        QVERIFY(peer.hasPendingDatagrams() || peer.waitForReadyRead(3000));
        const QNetworkDatagram got = peer.receiveDatagram();
        QCOMPARE(got.senderAddress(), QHostAddress(config.address));

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("mailslot.pcap"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(pcap({ { got.data(), got.senderAddress().toIPv4Address(), peerAddress.toIPv4Address() } }));
        out.close();

        const QStringList fields = { QStringLiteral("nbdgm.type"), QStringLiteral("nbdgm.source_name"),
            QStringLiteral("nbdgm.destination_name"), QStringLiteral("smb.cmd"), QStringLiteral("mailslot.opcode"),
            QStringLiteral("mailslot.class"), QStringLiteral("mailslot.name"), QStringLiteral("data.data") };
        QStringList args = { QStringLiteral("-r"), file, QStringLiteral("-d"), QStringLiteral("udp.port==45138,nbdgm"),
            QStringLiteral("-T"), QStringLiteral("fields"), QStringLiteral("-E"), QStringLiteral("separator=|") };
        for (const QString& f : fields)
            args << QStringLiteral("-e") << f;
        const QStringList values = run(args).trimmed().split(u'|');
        QCOMPARE(values.size(), fields.size());
        QCOMPARE(values.at(0).toInt(nullptr, 0), broadcast ? 0x11 : 0x10);
        QCOMPARE(values.at(1), QStringLiteral("ALPHA<00>"));
        QCOMPARE(values.at(2), broadcast ? QStringLiteral("WORKGROUP<00>") : QStringLiteral("GAMMA<00>"));
        QCOMPARE(values.at(3).toInt(nullptr, 0), 0x25);
        QCOMPARE(values.at(4).toInt(), 1);
        QCOMPARE(values.at(5).toInt(), 2);
        QCOMPARE(values.at(6), QStringLiteral("\\MAILSLOT\\") + mailBox);
        if (!mailBox.startsWith(QLatin1String("NET"), Qt::CaseInsensitive))
            QCOMPARE(QByteArray::fromHex(values.at(7).toLatin1()), payload);

        const QString verbose = run({ QStringLiteral("-r"), file, QStringLiteral("-d"),
            QStringLiteral("udp.port==45138,nbdgm"), QStringLiteral("-V") });
        QVERIFY2(verbose.contains(QLatin1String("Opcode: Write Mail Slot (1)")), qPrintable(verbose));
        QVERIFY(verbose.contains(QLatin1String("Class: Unreliable & Broadcast (2)")));
        QVERIFY(verbose.contains(QLatin1String("Source name: ALPHA<00>")));
        if (mailBox.startsWith(QLatin1String("NET"), Qt::CaseInsensitive))
            QVERIFY(verbose.contains(QLatin1String("Microsoft Windows Logon Protocol")));
        else
            QVERIFY2(!verbose.contains(QLatin1String("Malformed")), qPrintable(verbose));
    }

private:
    QString run(const QStringList& args)
    {
        QProcess tshark;
        tshark.start(m_tshark, args);
        if (!tshark.waitForFinished(60000) || tshark.exitCode() != 0) {
            qWarning("%s", tshark.readAllStandardError().constData());
            return {};
        }
        return QString::fromUtf8(tshark.readAllStandardOutput());
    }

    QString m_tshark;
};

QTEST_GUILESS_MAIN(TestTshark)
#include "tst_tshark.moc"
