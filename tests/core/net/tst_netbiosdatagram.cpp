#include "netbiosdatagram.h"

#include <QRandomGenerator>
#include <QTest>

namespace
{
// A DIRECT_GROUP write from PC1 (127.0.0.2:45138, id 0x1234) to WORKGROUP<00>, mailbox
// NETWORK, data "hi", written out by hand from RFC 1002 and the SMB transaction layout.
QByteArray golden()
{
    return QByteArray::fromHex(
        // type, flags (B node, first), id, source ip, source port, DGM_LENGTH 157, offset 0
        "11 02 1234 7F000002 B052 009D 0000"
        // " PC1" <00>, first-level encoded, no scope
        "20 4641454444424341434143414341434143414341434143414341434143414141 00"
        // "WORKGROUP" <00>
        "20 464845504643454C454846434550464646414341434143414341434143414141 00"
        // SMB header: magic, SMB_COM_TRANSACTION, status, flags, flags2, pid, signature, tid...
        "FF534D42 25 00000000 00 0000 0000 0000000000000000 0000 0000 0000 0000 0000"
        // WordCount 17; total param 0, total data 2, max param/data 0, max setup 0, flags 0,
        // timeout 0, param count 0, param offset 87, data count 2, data offset 87, setup count 3
        "11 0000 0200 0000 0000 00 00 0000 00000000 0000 0000 5700 0200 5700 03 00"
        // setup: write (1), priority 1, class 2; byte count 20
        "0100 0100 0200 1400"
        // "\MAILSLOT\NETWORK" NUL, then the data
        "5C4D41494C534C4F545C4E4554574F524B00 6869");
}

NetbiosDatagram goldenDatagram()
{
    NetbiosDatagram d;
    d.type = NetbiosDatagram::DirectGroup;
    d.id = 0x1234;
    d.sourceIp = 0x7F000002;
    d.sourcePort = 45138;
    d.sourceName = QStringLiteral("PC1");
    d.destinationName = QStringLiteral("WORKGROUP");
    d.mailBox = QStringLiteral("NETWORK");
    d.data = "hi";
    return d;
}

// Offsets into golden(): the SMB header starts after the 14-byte header and two names.
constexpr int Smb = 14 + 34 + 34;

QByteArray setByte(QByteArray b, int at, quint8 value)
{
    b[at] = static_cast<char>(value);
    return b;
}

QByteArray setBe16(QByteArray b, int at, quint16 value)
{
    b[at] = static_cast<char>(value >> 8);
    b[at + 1] = static_cast<char>(value & 0xFF);
    return b;
}

QByteArray setLe16(QByteArray b, int at, quint16 value)
{
    b[at] = static_cast<char>(value & 0xFF);
    b[at + 1] = static_cast<char>(value >> 8);
    return b;
}

// Grows or shrinks the datagram, keeping DGM_LENGTH and the SMB byte count in step.
QByteArray withTail(QByteArray b, qsizetype dropSmbBytes, const QByteArray& append = {})
{
    b.chop(dropSmbBytes);
    b.append(append);
    const auto smbBytes = static_cast<quint16>(b.size() - Smb - 69);
    b = setBe16(b, 10, static_cast<quint16>(b.size() - 14));
    return setLe16(b, Smb + 67, smbBytes);
}
} // namespace

class TestNetbiosDatagram : public QObject
{
    Q_OBJECT

private slots:
    void encodesTheDocumentedLayout() { QCOMPARE(goldenDatagram().encode().toHex(' '), golden().toHex(' ')); }

    void decodesTheDocumentedLayout()
    {
        const auto d = NetbiosDatagram::decode(golden());
        QVERIFY(d);
        const NetbiosDatagram expected = goldenDatagram();
        QCOMPARE(d->type, expected.type);
        QCOMPARE(d->id, expected.id);
        QCOMPARE(d->sourceIp, expected.sourceIp);
        QCOMPARE(d->sourcePort, expected.sourcePort);
        QCOMPARE(d->sourceName, expected.sourceName);
        QCOMPARE(d->destinationName, expected.destinationName);
        QCOMPARE(d->sourceSuffix, quint8(0));
        QCOMPARE(d->destinationSuffix, quint8(0));
        QCOMPARE(d->priority, quint16(1));
        QCOMPARE(d->mailslotClass, quint16(2));
        QCOMPARE(d->mailBox, expected.mailBox);
        QCOMPARE(d->data, expected.data);
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("mailBox");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("sourceOnWire");
        QTest::addColumn<QString>("destinationOnWire");

        const QByteArray message = "Message\r\nana\r\nPC1\r\nM[ANA||070512143005|9]S[USR_ON]D[]\r\n";
        QTest::newRow("directed, lower-case names go upper")
            << int(NetbiosDatagram::DirectUnique) << QStringLiteral("pc1") << QStringLiteral("pc2")
            << QStringLiteral("NETWORK") << message << QStringLiteral("PC1") << QStringLiteral("PC2");
        QTest::newRow("group") << int(NetbiosDatagram::DirectGroup) << QStringLiteral("PC1")
                               << QStringLiteral("Escritorio") << QStringLiteral("Vendas") << message
                               << QStringLiteral("PC1") << QStringLiteral("ESCRITORIO");
        QTest::newRow("broadcast type") << int(NetbiosDatagram::Broadcast) << QStringLiteral("PC1")
                                        << QStringLiteral("*") << QStringLiteral("X") << QByteArray("x")
                                        << QStringLiteral("PC1") << QStringLiteral("*");
        QTest::newRow("names cut to 15") << int(NetbiosDatagram::DirectUnique)
                                         << QStringLiteral("workstation-number-12") << QStringLiteral("b")
                                         << QStringLiteral("NETWORK") << message << QStringLiteral("WORKSTATION-NUM")
                                         << QStringLiteral("B");
        QTest::newRow("accented names") << int(NetbiosDatagram::DirectUnique) << QStringLiteral("jo\u00E3o")
                                        << QStringLiteral("ma\u00E7\u00E3") << QStringLiteral("Canal\u00E7")
                                        << QByteArray("S\xE3o") << QStringLiteral("JO\u00C3O")
                                        << QStringLiteral("MA\u00C7\u00C3");
        QTest::newRow("empty message") << int(NetbiosDatagram::DirectUnique) << QStringLiteral("A")
                                       << QStringLiteral("B") << QStringLiteral("NETWORK") << QByteArray()
                                       << QStringLiteral("A") << QStringLiteral("B");
        QTest::newRow("binary data with NULs")
            << int(NetbiosDatagram::DirectUnique) << QStringLiteral("A") << QStringLiteral("B")
            << QStringLiteral("NETWORK") << QByteArray("\0\xFF\0\r\n", 5) << QStringLiteral("A") << QStringLiteral("B");
        QTest::newRow("largest that fits")
            << int(NetbiosDatagram::DirectUnique) << QStringLiteral("A") << QStringLiteral("B") << QStringLiteral("M")
            << QByteArray(NetbiosDatagram::MaxUdpPayload - 14 - 68 - 69 - 12, 'z') << QStringLiteral("A")
            << QStringLiteral("B");
    }
    void roundTrip()
    {
        QFETCH(int, type);
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, mailBox);
        QFETCH(QByteArray, data);
        QFETCH(QString, sourceOnWire);
        QFETCH(QString, destinationOnWire);

        NetbiosDatagram d;
        d.type = static_cast<NetbiosDatagram::Type>(type);
        d.id = 0xFFFF;
        d.sourceIp = 0xC0A80A05;
        d.sourcePort = 138;
        d.sourceName = source;
        d.destinationName = destination;
        d.destinationSuffix = 0x1D;
        d.priority = 9;
        d.mailBox = mailBox;
        d.data = data;
        const QByteArray bytes = d.encode();
        QVERIFY(!bytes.isEmpty());
        QVERIFY(bytes.size() <= NetbiosDatagram::MaxUdpPayload);

        const auto back = NetbiosDatagram::decode(bytes);
        QVERIFY(back);
        QCOMPARE(int(back->type), type);
        QCOMPARE(back->id, quint16(0xFFFF));
        QCOMPARE(back->sourceIp, quint32(0xC0A80A05));
        QCOMPARE(back->sourcePort, quint16(138));
        QCOMPARE(back->sourceName, sourceOnWire);
        QCOMPARE(back->destinationName, destinationOnWire);
        QCOMPARE(back->destinationSuffix, quint8(0x1D));
        QCOMPARE(back->priority, quint16(9));
        QCOMPARE(back->mailslotClass, quint16(2));
        QCOMPARE(back->mailBox, mailBox);
        QCOMPARE(back->data, data);
        QCOMPARE(NetbiosDatagram::wireName(source), sourceOnWire);
    }

    void refusesToEncode_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("mailBox");
        QTest::addColumn<int>("dataSize");
        const QString a = QStringLiteral("A");
        QTest::newRow("no source") << QString() << a << a << 1;
        QTest::newRow("no destination") << a << QString() << a << 1;
        QTest::newRow("no mailbox") << a << a << QString() << 1;
        QTest::newRow("NUL in mailbox") << a << a << QStringLiteral("a\0b") << 1;
        QTest::newRow("NUL in name") << QStringLiteral("a\0b") << a << a << 1;
        QTest::newRow("one byte too large")
            << a << a << QStringLiteral("M") << NetbiosDatagram::MaxUdpPayload - 14 - 68 - 69 - 12 + 1;
        QTest::newRow("far too large") << a << a << a << 70000;
    }
    void refusesToEncode()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, mailBox);
        QFETCH(int, dataSize);
        NetbiosDatagram d;
        d.sourceName = source;
        d.destinationName = destination;
        d.mailBox = mailBox;
        d.data = QByteArray(dataSize, 'x');
        QVERIFY(d.encode().isEmpty());
    }

    void rejectsEveryTruncation()
    {
        const QByteArray full = golden();
        for (qsizetype n = 0; n < full.size(); ++n)
            QVERIFY2(!NetbiosDatagram::decode(full.first(n)), qPrintable(QString::number(n)));
    }

    void rejectsMalformed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray g = golden();
        const int words = Smb + 33;
        const int bytes = Smb + 69;

        QTest::newRow("empty") << QByteArray();
        QTest::newRow("direct group name only") << g.first(14);
        QTest::newRow("type error") << setByte(g, 0, 0x13);
        QTest::newRow("type query") << setByte(g, 0, 0x14);
        QTest::newRow("type below range") << setByte(g, 0, 0x0F);
        QTest::newRow("more fragments") << setByte(g, 1, 0x03);
        QTest::newRow("not first fragment") << setByte(g, 1, 0x00);
        QTest::newRow("packet offset") << setBe16(g, 12, 10);
        QTest::newRow("length past end") << setBe16(g, 10, 158);
        QTest::newRow("length short by one") << setBe16(g, 10, 156);
        QTest::newRow("length zero") << setBe16(g, 10, 0);
        QTest::newRow("name label not 32") << setByte(g, 14, 0x1F);
        QTest::newRow("name letter past P") << setByte(g, 15, 'Q');
        QTest::newRow("name letter lower case") << setByte(g, 15, 'f');
        QTest::newRow("name compression pointer") << setByte(g, 14, 0xC0);
        QTest::newRow("scope label swallows the destination") << setByte(g, 47, 0x3F);
        QTest::newRow("scope label too long") << setByte(g, 47, 0x40);
        QTest::newRow("destination label bad") << setByte(g, 48, 0x00);
        QTest::newRow("smb magic") << setByte(g, Smb, 0xFE);
        QTest::newRow("smb letters") << setByte(g, Smb + 1, 's');
        QTest::newRow("not a transaction") << setByte(g, Smb + 4, 0x32);
        QTest::newRow("a reply") << setByte(g, Smb + 9, 0x80);
        QTest::newRow("word count 16") << setByte(g, Smb + 32, 16);
        QTest::newRow("word count 18") << setByte(g, Smb + 32, 18);
        QTest::newRow("setup count 2") << setByte(g, words + 26, 2);
        QTest::newRow("opcode not write") << setLe16(g, words + 28, 2);
        QTest::newRow("opcode zero") << setLe16(g, words + 28, 0);
        QTest::newRow("total data differs") << setLe16(g, words + 2, 3);
        QTest::newRow("total parameters differ") << setLe16(g, words + 0, 1);
        QTest::newRow("parameters past end") << setLe16(setLe16(g, words + 0, 4), words + 18, 4);
        QTest::newRow("parameter offset in header")
            << setLe16(setLe16(setLe16(g, words + 0, 1), words + 18, 1), words + 20, 10);
        QTest::newRow("data count past end") << setLe16(setLe16(g, words + 2, 3), words + 22, 3);
        QTest::newRow("data count huge") << setLe16(setLe16(g, words + 2, 0xFFFF), words + 22, 0xFFFF);
        QTest::newRow("data offset past end") << setLe16(g, words + 24, 88 + 1);
        QTest::newRow("data offset huge") << setLe16(g, words + 24, 0xFFFF);
        QTest::newRow("data offset inside name") << setLe16(g, words + 24, 80);
        QTest::newRow("data offset in header") << setLe16(g, words + 24, 4);
        QTest::newRow("byte count past end") << setLe16(g, Smb + 67, 21);
        QTest::newRow("byte count huge") << setLe16(g, Smb + 67, 0xFFFF);
        QTest::newRow("byte count cuts the data") << setLe16(g, Smb + 67, 19);
        QTest::newRow("name without NUL")
            << setByte(setLe16(setLe16(setLe16(g, words + 2, 0), words + 22, 0), Smb + 67, 17), bytes + 17, 'X');
        QTest::newRow("pipe, not mailslot") << withTail(g.first(bytes), 0, QByteArray("\\PIPE\\LANMAN\0", 13))
                                                   .replace(words + 2, 2, QByteArray(2, '\0'))
                                                   .replace(words + 22, 2, QByteArray(2, '\0'));
        QTest::newRow("empty mailbox name") << withTail(g.first(bytes), 0, QByteArray("\\MAILSLOT\\\0", 11))
                                                   .replace(words + 2, 2, QByteArray(2, '\0'))
                                                   .replace(words + 22, 2, QByteArray(2, '\0'));
        QTest::newRow("prefix without backslash") << setByte(g, bytes + 9, '/');
    }
    void rejectsMalformed()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!NetbiosDatagram::decode(bytes));
    }

    void acceptsTolerableVariants_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("mailBox");
        QTest::addColumn<QByteArray>("data");
        const QByteArray g = golden();
        const int words = Smb + 33;

        QTest::newRow("golden") << g << QStringLiteral("NETWORK") << QByteArray("hi");
        QTest::newRow("padding past DGM_LENGTH")
            << g + QByteArray(6, '\0') << QStringLiteral("NETWORK") << QByteArray("hi");
        QTest::newRow("lower-case prefix")
            << QByteArray(g).replace("\\MAILSLOT\\", "\\mailslot\\") << QStringLiteral("NETWORK") << QByteArray("hi");
        QTest::newRow("gap before data") << setLe16(setLe16(withTail(g, 2, "..hi"), words + 24, 89), words + 20, 89)
                                         << QStringLiteral("NETWORK") << QByteArray("hi");
        QTest::newRow("no data, any offset")
            << setLe16(setLe16(setLe16(withTail(g, 2), words + 2, 0), words + 22, 0), words + 24, 0xFFFF)
            << QStringLiteral("NETWORK") << QByteArray();
        QTest::newRow("class 1, priority 0")
            << setLe16(setLe16(g, words + 30, 0), words + 32, 1) << QStringLiteral("NETWORK") << QByteArray("hi");
        QTest::newRow("sub-path mailbox") << withTail(g.first(Smb + 69), 0, QByteArray("\\MAILSLOT\\A\\B\0hi", 16))
                                                 .replace(words + 24, 2, QByteArray("\x53\x00", 2))
                                          << QStringLiteral("A\\B") << QByteArray("hi");
    }
    void acceptsTolerableVariants()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, mailBox);
        QFETCH(QByteArray, data);
        const auto d = NetbiosDatagram::decode(bytes);
        QVERIFY(d);
        QCOMPARE(d->mailBox, mailBox);
        QCOMPARE(d->data, data);
    }

    void acceptsAScope()
    {
        // Source name with the scope "office": one more label before the terminating zero.
        QByteArray g = golden();
        g.insert(47, QByteArray("\x06office", 7));
        g = setBe16(g, 10, static_cast<quint16>(g.size() - 14));
        const auto d = NetbiosDatagram::decode(g);
        QVERIFY(d);
        QCOMPARE(d->sourceName, QStringLiteral("PC1"));
        QCOMPARE(d->destinationName, QStringLiteral("WORKGROUP"));
        QCOMPARE(d->data, QByteArray("hi"));
    }

    void survivesRandomDamage()
    {
        // Flipped, inserted and removed bytes must never read outside the buffer (the
        // sanitizer build checks), and whatever decodes must have its data inside the input.
        QRandomGenerator random(20240607);
        const QByteArray g = golden();
        int decoded = 0;
        for (int round = 0; round < 50000; ++round) {
            QByteArray b = g;
            const int edits = 1 + int(random.bounded(4));
            for (int e = 0; e < edits && !b.isEmpty(); ++e) {
                const auto at = random.bounded(b.size());
                switch (random.bounded(3)) {
                case 0:
                    b[at] = static_cast<char>(random.bounded(256));
                    break;
                case 1:
                    b.insert(at, static_cast<char>(random.bounded(256)));
                    break;
                default:
                    b.remove(at, 1);
                }
            }
            if (const auto d = NetbiosDatagram::decode(b)) {
                ++decoded;
                QVERIFY(d->data.size() < b.size());
                QVERIFY(!d->mailBox.isEmpty());
            }
        }
        QVERIFY(decoded > 0); // some edits (id, address, priority) leave it well-formed
    }

    void wireName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("wire");
        QTest::newRow("upper-cased") << QStringLiteral("pc-ana") << QStringLiteral("PC-ANA");
        QTest::newRow("cut to 15") << QStringLiteral("abcdefghijklmnopq") << QStringLiteral("ABCDEFGHIJKLMNO");
        QTest::newRow("trailing blanks go") << QStringLiteral("ab  ") << QStringLiteral("AB");
        QTest::newRow("outside Windows-1252") << QStringLiteral("a\u4E2D") << QStringLiteral("A?");
        QTest::newRow("accented") << QStringLiteral("s\u00E3o") << QStringLiteral("S\u00C3O");
    }
    void wireName()
    {
        QFETCH(QString, name);
        QFETCH(QString, wire);
        QCOMPARE(NetbiosDatagram::wireName(name), wire);
    }
};

QTEST_GUILESS_MAIN(TestNetbiosDatagram)
#include "tst_netbiosdatagram.moc"
