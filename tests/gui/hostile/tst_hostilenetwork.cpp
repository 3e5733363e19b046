#include "hostilestation.h"
#include "tformhistmsg.h"
#include "tformsendmsg.h"
#include "torbchecklistbox.h"

#include <QLabel>
#include <QTextDocument>
#include <QTimer>

// Hostile and broken datagrams sent to a running station from a bare socket. Afterwards the
// station must still answer and store what a well-behaved peer sends, every record it held
// must still be there, and each history file must hold one record per line.
namespace
{
using namespace Hostile;
using Datagrams = QList<QByteArray>;

const QString Intruder = QStringLiteral("pc-intruso");
const QByteArray IntruderAnnouncement = "M[INTRUSO||070512143005|9]S[USR_ON]D[]";

// Offsets in the datagrams below: the NetBIOS header, two encoded names, then the SMB
// transaction with "\MAILSLOT\CANAL" and its terminator, then the message.
constexpr int SmbStart = NetbiosDatagram::HeaderSize + 2 * 34;
constexpr int SmbFlags = SmbStart + 9;
constexpr int TotalDataCount = SmbStart + 33 + 2;
constexpr int DataCount = SmbStart + 33 + 22;
constexpr int DataOffset = SmbStart + 33 + 24;
constexpr int Opcode = SmbStart + 33 + 28;
constexpr int ByteCount = SmbStart + 33 + 34;
constexpr int SlotName = SmbStart + 33 + 36;
constexpr int MessageStart = SlotName + 16;

quint16 g_id = 0x4000;

NetbiosDatagram writeTo(const QString& mailBox, const QByteArray& text, const QString& source = Intruder)
{
    NetbiosDatagram d;
    d.id = ++g_id;
    d.sourceIp = 0x7F000001;
    d.sourcePort = Loopback::testPort();
    d.sourceName = source;
    d.destinationName = QStringLiteral("PC-ALVO");
    d.mailBox = mailBox;
    d.data = text;
    return d;
}

QByteArray intruderWrite(const QByteArray& frame = IntruderAnnouncement)
{
    return writeTo(Channel, HostilePeer::lines(Intruder.toLatin1(), frame)).encode();
}

QByteArray patched(QByteArray bytes, int at, quint8 value)
{
    bytes[at] = static_cast<char>(value);
    return bytes;
}

QByteArray plusOne(QByteArray bytes, int at)
{
    bytes[at] = static_cast<char>(static_cast<quint8>(bytes[at]) + 1);
    return bytes;
}

// A history record as the file keeps it: CR and LF inside become blanks.
QString storedForm(const QString& frame)
{
    return QString(frame).replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// One record per line: as many CRs and LFs as records, each pair ending a record.
void verifyOneRecordPerLine(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const qsizetype records = HistoryFiles::ReadHistoryRecords(path).size();
    QCOMPARE(bytes.count('\r'), records);
    QCOMPARE(bytes.count('\n'), records);
    QCOMPARE(bytes.count("\r\n"), records);
    QVERIFY(bytes.isEmpty() || bytes.endsWith("\r\n"));
}

// What a label or tool tip shows of `text`: rich text is rendered, plain text is shown as is.
QString shownText(const QString& text, Qt::TextFormat format)
{
    const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    if (!rich)
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n'));
}

// Everything a test compares after the hostile part: the records before it are kept in order,
// followed by exactly the records the rules store, then the two of checkStillWorking.
struct Before
{
    QStringList received;
    QStringList sent;
};

Before snapshot(const HostileStation& station)
{
    return { station.received(), station.sent() };
}

void verifyAfter(const HostileStation& station, const Before& before, const QStringList& stored, int hostileAcks)
{
    const QStringList received = station.received();
    QCOMPARE(received.mid(0, before.received.size()), before.received);
    QStringList added = received.mid(before.received.size());
    QCOMPARE(added.size(), stored.size() + 2);
    QCOMPARE(added.mid(0, stored.size()), stored);
    const QStringList sent = station.sent();
    QCOMPARE(sent.mid(0, before.sent.size()), before.sent);
    QCOMPARE(sent.mid(before.sent.size()).filter(QStringLiteral("S[ACK_USR_")).size(), hostileAcks + 1);
    verifyOneRecordPerLine(station.receivedPath());
    verifyOneRecordPerLine(station.sentPath());
}

// Datagrams that must be dropped whole: nothing stored, nothing answered, no tree entry.
void verifyDropped(const Datagrams& datagrams)
{
    HostileStation station;
    station.writeSettings();
    station.start();
    station.logOn();
    HostilePeer peer(Intruder);
    const Before before = snapshot(station);
    for (const QByteArray& bytes : datagrams)
        peer.sendRaw(station, bytes);
    checkStillWorking(station, peer);
    verifyAfter(station, before, {}, 0);
    QCOMPARE(station.masterTexts(), QStringList { UserEntryText(QStringLiteral("PEDRO"), Intruder) });
    QCOMPARE(peer.acks().filter(QStringLiteral("|INTRUSO|")), QStringList());
}
} // namespace

class TestHostileNetwork final : public QObject
{
    Q_OBJECT

private slots:
    void foreignDatagrams_data();
    void foreignDatagrams();
    void truncatedDatagrams_data();
    void truncatedDatagrams();
    void oversizedDatagrams_data();
    void oversizedDatagrams();
    void hostileNames_data();
    void hostileNames();
    void markupShownAsTyped_data();
    void markupShownAsTyped();
    void messageTexts_data();
    void messageTexts();
    void flood_data();
    void flood();
};

void TestHostileNetwork::foreignDatagrams_data()
{
    QTest::addColumn<Datagrams>("datagrams");

    const QByteArray good = intruderWrite();
    QTest::newRow("another channel") << Datagrams {
        writeTo(QStringLiteral("OUTRO"), HostilePeer::lines(Intruder.toLatin1(), IntruderAnnouncement)).encode()
    };
    QTest::newRow("channel one letter longer") << Datagrams {
        writeTo(QStringLiteral("CANALX"), HostilePeer::lines(Intruder.toLatin1(), IntruderAnnouncement)).encode()
    };
    QTest::newRow("channel one letter shorter") << Datagrams {
        writeTo(QStringLiteral("CANA"), HostilePeer::lines(Intruder.toLatin1(), IntruderAnnouncement)).encode()
    };
    NetbiosDatagram group = writeTo(Channel, HostilePeer::lines(Intruder.toLatin1(), IntruderAnnouncement));
    group.type = NetbiosDatagram::DirectGroup;
    group.destinationName = QStringLiteral("OUTROGRUPO");
    QTest::newRow("group write to another workgroup") << Datagrams { group.encode() };
    QTest::newRow("header line in lower case")
        << Datagrams { writeTo(Channel, "message\r\npeer\r\npc-intruso\r\n" + IntruderAnnouncement + "\r\n").encode() };
    QTest::newRow("header line only") << Datagrams { writeTo(Channel, "Message\r\n").encode() };
    QTest::newRow("no computer line") << Datagrams { writeTo(Channel, "Message\r\npeer").encode() };
    QTest::newRow("no message at all") << Datagrams { writeTo(Channel, {}).encode() };
    QTest::newRow("not a datagram") << Datagrams { QByteArray("M[INTRUSO||070512143005|9]S[USR_ON]D[]"), {} };
    QTest::newRow("unknown datagram type") << Datagrams { patched(good, 0, 0x14) };
    QTest::newRow("more fragments follow") << Datagrams { patched(good, 1, 0x03) };
    QTest::newRow("a later fragment") << Datagrams { patched(patched(good, 1, 0x00), 13, 0x40) };
    QTest::newRow("SMB reply") << Datagrams { patched(good, SmbFlags, 0x80) };
    QTest::newRow("not a mailslot write") << Datagrams { patched(good, Opcode, 2) };
    QTest::newRow("a pipe, not a mailslot") << Datagrams { patched(good, SlotName + 8, 'X') };
    QTest::newRow("part of a larger transaction") << Datagrams { plusOne(good, TotalDataCount) };
}

void TestHostileNetwork::foreignDatagrams()
{
    QFETCH(Datagrams, datagrams);
    verifyDropped(datagrams);
}

void TestHostileNetwork::truncatedDatagrams_data()
{
    QTest::addColumn<Datagrams>("datagrams");

    // Cut after every byte of one part of the datagram.
    const QByteArray good = intruderWrite();
    const auto cuts = [&](int from, int to) {
        Datagrams list;
        for (int size = from; size < to; ++size)
            list.append(
                writeTo(Channel, HostilePeer::lines(Intruder.toLatin1(), IntruderAnnouncement)).encode().left(size));
        return list;
    };
    QTest::newRow("cut in the NetBIOS header") << cuts(0, NetbiosDatagram::HeaderSize);
    QTest::newRow("cut in the source name") << cuts(NetbiosDatagram::HeaderSize, NetbiosDatagram::HeaderSize + 34);
    QTest::newRow("cut in the destination name") << cuts(NetbiosDatagram::HeaderSize + 34, SmbStart);
    QTest::newRow("cut in the SMB header") << cuts(SmbStart, SmbStart + 33);
    QTest::newRow("cut in the transaction words") << cuts(SmbStart + 33, SlotName);
    QTest::newRow("cut in the mailslot name") << cuts(SlotName, MessageStart);
    QTest::newRow("cut in the message") << cuts(MessageStart, good.size());

    // Whole datagrams whose length fields claim more than they hold.
    QTest::newRow("datagram length one too long") << Datagrams { plusOne(good, 11) };
    QTest::newRow("byte count one too long") << Datagrams { plusOne(good, ByteCount) };
    QTest::newRow("data count one too long") << Datagrams { plusOne(plusOne(good, DataCount), TotalDataCount) };
    QTest::newRow("data offset one too far") << Datagrams { plusOne(good, DataOffset) };
    QTest::newRow("data inside the mailslot name") << Datagrams { patched(good, DataOffset, SlotName - SmbStart) };
}

void TestHostileNetwork::truncatedDatagrams()
{
    QFETCH(Datagrams, datagrams);
    verifyDropped(datagrams);
}

void TestHostileNetwork::oversizedDatagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QStringList>("stored");

    const int max = NetbiosDatagram::MaxUdpPayload;
    QByteArray noise(max, Qt::Uninitialized);
    for (int i = 0; i < max; ++i)
        noise[i] = static_cast<char>((i * 7919) >> 3);
    QTest::newRow("65507 bytes of noise") << noise << QStringList();

    const QByteArray frameLines = HostilePeer::lines(Intruder.toLatin1(), IntruderAnnouncement);
    QByteArray full = writeTo(Channel, frameLines + QByteArray(max - MessageStart - frameLines.size(), 'x')).encode();
    QCOMPARE(full.size(), max);
    QTest::newRow("65507 bytes, length field at its top")
        << patched(patched(full, 10, 0xFF), 11, 0xFF) << QStringList();

    // A frame spread over thousands of lines is still one record: its line breaks become blanks.
    QByteArray lines = "M[INTRUSO|ANA|070512143005|5]S[]D[";
    while (lines.size() < max - MessageStart - 40)
        lines += "a\r\n";
    lines += "b]";
    const QByteArray spread = writeTo(Channel, HostilePeer::lines(Intruder.toLatin1(), lines)).encode();
    QVERIFY(spread.size() <= max);
    QTest::newRow("a text over thousands of lines") << spread << QStringList { storedForm(Ansi::decode(lines)) };

    // Line ends only: a datagram whose frame is empty, which is still kept, as one empty record.
    QByteArray ends = "Message\r\npeer\r\npc-intruso\r\n";
    ends += QByteArray(max - MessageStart - ends.size(), '\n');
    QTest::newRow("65 thousand empty lines") << writeTo(Channel, ends).encode() << QStringList { QString() };
}

void TestHostileNetwork::oversizedDatagrams()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QStringList, stored);

    HostileStation station;
    station.writeSettings();
    station.start();
    station.logOn();
    HostilePeer peer(Intruder);
    const Before before = snapshot(station);
    peer.sendRaw(station, datagram);
    checkStillWorking(station, peer);
    verifyAfter(station, before, stored, 0);
}

void TestHostileNetwork::hostileNames_data()
{
    QTest::addColumn<QString>("netbiosName");
    QTest::addColumn<QByteArray>("computerLine");
    QTest::addColumn<QByteArray>("frame");
    // The record the received history keeps.
    QTest::addColumn<QString>("stored");
    // The entry the master tree gains; empty for none. A gained entry is acknowledged.
    QTest::addColumn<QString>("entry");

    // Names with control characters or the frame's own brackets and bars are forged: the frame
    // is kept, but it changes nothing and is not answered.
    const auto user = [](const char* tag, const QByteArray& name, const QString& stored, const QString& entry) {
        const QByteArray frame = "M[" + name + "||070512143005|9]S[USR_ON]D[]";
        QTest::newRow(tag) << Intruder << Intruder.toLatin1() << frame << stored << entry;
    };
    const QString tail = QStringLiteral("||070512143005|9]S[USR_ON]D[]");
    user("user with CR", "AN\rA", QStringLiteral("M[AN  A") + tail, {});
    // Each line of a datagram arrives ended by CR LF.
    user("user with LF", "AN\nA", QStringLiteral("M[AN  A") + tail, {});
    user("user with TAB", "AN\tA", QStringLiteral("M[AN\tA") + tail, {});
    user("user with NUL", QByteArray("AN\0A", 4), QStringLiteral("M[AN") + QChar(0) + QStringLiteral("A") + tail, {});
    user("user with DEL",
        "AN\x7F"
        "A",
        QStringLiteral("M[AN\x7F"
                       "A")
            + tail,
        {});
    user("user with [", "AN[A", QStringLiteral("M[AN[A") + tail, {});
    user("user with ]", "AN]A", QStringLiteral("M[AN]A") + tail, {});
    user("user with |", "AN|A", QStringLiteral("M[AN|A") + tail, {});
    user("user with a leading blank", " ANA", QStringLiteral("M[ ANA") + tail, {});
    // Markup is only text: such a user is like any other.
    user(
        "user in bold", "<b>BIA</b>", QStringLiteral("M[<b>BIA</b>") + tail, QStringLiteral("<b>BIA</b> (pc-intruso)"));
    user("user as an image", "<img src=x>", QStringLiteral("M[<img src=x>") + tail,
        QStringLiteral("<img src=x> (pc-intruso)"));
    user("user as an entity", "&amp;", QStringLiteral("M[&amp;") + tail, QStringLiteral("&amp; (pc-intruso)"));

    const QString frame = QString::fromLatin1(IntruderAnnouncement);
    const auto computer = [&](const char* tag, const QString& netbios, const QByteArray& line, const QString& stored,
                              const QString& entry) {
        QTest::newRow(tag) << netbios << line << IntruderAnnouncement << stored << entry;
    };
    computer("computer with TAB", QStringLiteral("pc\tx"), "pc\tx", frame, {});
    computer("computer with NUL", QStringLiteral("pc-nul"), QByteArray("pc\0x", 4), frame, {});
    computer("computer with DEL", QStringLiteral("pc\x7Fx"), "pc\x7Fx", frame, {});
    computer("computer with [", QStringLiteral("pc[x"), "pc[x", frame, {});
    computer("computer with ]", QStringLiteral("pc]x"), "pc]x", frame, {});
    computer("computer with |", QStringLiteral("pc|x"), "pc|x", frame, {});
    computer("computer with (", QStringLiteral("pc(x"), "pc(x", frame, {});
    computer(
        "computer in bold", QStringLiteral("<b>pc</b>"), "<b>pc</b>", frame, QStringLiteral("INTRUSO (<b>pc</b>)"));
    // A line break ends the computer line; what follows it is the first line of the frame.
    computer("computer with CR", QStringLiteral("pc"), "pc\rx", QStringLiteral("x  ") + frame,
        QStringLiteral("INTRUSO (pc)"));
    computer("computer with LF", QStringLiteral("pc"), "pc\nx", QStringLiteral("x  ") + frame,
        QStringLiteral("INTRUSO (pc)"));
}

void TestHostileNetwork::hostileNames()
{
    QFETCH(QString, netbiosName);
    QFETCH(QByteArray, computerLine);
    QFETCH(QByteArray, frame);
    QFETCH(QString, stored);
    QFETCH(QString, entry);

    HostileStation station;
    station.writeSettings();
    station.start();
    station.logOn();
    HostilePeer hostile(netbiosName);
    HostilePeer peer;
    const Before before = snapshot(station);
    hostile.sendRaw(station, writeTo(Channel, HostilePeer::lines(computerLine, frame), netbiosName).encode());
    // The well-behaved peer's datagrams come from another socket: wait for the hostile one.
    QTRY_COMPARE_WITH_TIMEOUT(station.received().size(), before.received.size() + 1, Patience);
    checkStillWorking(station, peer);
    verifyAfter(station, before, { stored }, entry.isEmpty() ? 0 : 1);

    QStringList expected { UserEntryText(QStringLiteral("PEDRO"), peer.computer()) };
    if (!entry.isEmpty())
        expected.prepend(entry);
    QStringList master = station.masterTexts();
    master.sort();
    expected.sort();
    QCOMPARE(master, expected);
    // One line per node in the tree file (written once each burst has been handled), and an
    // acknowledgement only for a gained entry.
    const auto fileLines = [&] {
        QStringList lines = Ansi::decode(station.home().read(QStringLiteral("Dados/ArvUsuarios.tv")))
                                .split(LineEnd, Qt::SkipEmptyParts);
        lines.sort();
        return lines;
    };
    QTRY_COMPARE_WITH_TIMEOUT(fileLines(), expected, Patience);
    if (!entry.isEmpty())
        QTRY_COMPARE_WITH_TIMEOUT(hostile.acks().size(), 1, Patience);
    else
        QCOMPARE(hostile.acks(), QStringList());
}

void TestHostileNetwork::markupShownAsTyped_data()
{
    QTest::addColumn<QString>("user");

    QTest::newRow("bold") << QStringLiteral("<b>BIA</b>");
    QTest::newRow("image") << QStringLiteral("<img src=x>");
    QTest::newRow("link") << QStringLiteral("<a href=x>BIA</a>");
    QTest::newRow("entity") << QStringLiteral("&amp;");
    QTest::newRow("escaped tag") << QStringLiteral("&lt;b&gt;");
}

void TestHostileNetwork::markupShownAsTyped()
{
    QFETCH(QString, user);

    HostileStation station;
    station.writeSettings();
    station.start();
    station.logOn();
    HostilePeer peer;
    peer.sendFrame(station, announcement(user));
    const QString entry = UserEntryText(user, peer.computer());
    QTRY_VERIFY_WITH_TIMEOUT(station.masterTexts().contains(entry), Patience);
    QTRY_VERIFY_WITH_TIMEOUT(station.com().TreeView()->topLevelItemCount() == 1, Patience);
    QCOMPARE(station.com().TreeView()->topLevelItem(0)->text(0), entry);

    // The recipient list's tip names the user as typed.
    TFormSendMSG& send = station.station().FormSendMSG();
    send.show();
    send.AdicionarDestinatario(entry);
    QCOMPARE(send.Destinatarios(), QStringList { entry });
    const QString tip = send.ChLBoxDestino()->toolTip();
    QVERIFY2(shownText(tip, Qt::AutoText).contains(user), qPrintable(tip));

    // A message from the user shows its name and text as typed in the history.
    peer.sendFrame(station, textMessage(user, QStringLiteral("ANA"), user + QStringLiteral(" disse oi")));
    TFormHistMSG& history = station.station().FormHistMSG();
    QTRY_VERIFY_WITH_TIMEOUT(history.isVisible(), Patience);
    QTRY_COMPARE_WITH_TIMEOUT(history.Linhas().size(), 1, Patience);
    QVERIFY2(history.Linhas().constFirst().contains(user + QStringLiteral(" disse oi")),
        qPrintable(history.Linhas().constFirst()));

    // The user's logoff takes the entry off the list with a warning that names it as typed.
    peer.sendFrame(station, announcement(user, QStringLiteral("OF")));
    QTRY_COMPARE_WITH_TIMEOUT(send.Destinatarios(), QStringList(), Patience);
    const QString warning = QStringLiteral("Usuário \"%1\" desconectou.").arg(entry);
    QCOMPARE(send.Aviso(), warning);
    const QLabel* label = send.LbWarning();
    QCOMPARE(shownText(label->text(), label->textFormat()), warning);
}

void TestHostileNetwork::messageTexts_data()
{
    QTest::addColumn<QByteArray>("text");
    // The record's bytes in the file, before its letters are mirrored.
    QTest::addColumn<QByteArray>("stored");

    const QByteArray head = "M[INTRUSO|ANA|070512143005|5]S[]D[";
    const auto row = [&](const char* tag, const QByteArray& text, const QByteArray& stored) {
        QTest::newRow(tag) << text << head + stored + "]";
    };
    row("markup", "<b>oi</b> &amp; <img src=x>", "<b>oi</b> &amp; <img src=x>");
    row("bytes Windows-1252 leaves undefined", "\x81\x8D\x8F\x90\x9D", "\x81\x8D\x8F\x90\x9D");
    QByteArray high;
    for (int b = 0x80; b <= 0xFF; ++b)
        high.append(static_cast<char>(b));
    row("every byte from 0x80 to 0xFF", high, high);
    const QByteArray controls("a\0b\x01"
                              "c\x1B[0m\x7F\t",
        10);
    row("NUL and other control bytes", controls, controls);
    row("a forged record on a line of its own", "oi\r\nM[FALSO|ANA|070512143005|5]S[]D[forjada",
        "oi  M[FALSO|ANA|070512143005|5]S[]D[forjada");
    row("a lone CR", "oi\rM[FALSO|ANA|070512143005|5]S[]D[forjada", "oi  M[FALSO|ANA|070512143005|5]S[]D[forjada");
    // As much text as one datagram carries: a little under 64 KiB.
    const QByteArray lines = HostilePeer::lines(Intruder.toLatin1(), head + "]");
    const QByteArray most(NetbiosDatagram::MaxUdpPayload - MessageStart - lines.size(), 'x');
    row("64 KiB of text", most, most);
}

void TestHostileNetwork::messageTexts()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, stored);

    HostileStation station;
    station.writeSettings();
    station.start();
    station.logOn();
    HostilePeer peer(Intruder);
    const Before before = snapshot(station);
    const QByteArray fileBefore = station.home().read(QStringLiteral("Dados/hist_recv.dbt"));
    const QByteArray datagram
        = writeTo(Channel, HostilePeer::lines(Intruder.toLatin1(), "M[INTRUSO|ANA|070512143005|5]S[]D[" + text + "]"))
              .encode();
    QVERIFY(!datagram.isEmpty());
    peer.sendRaw(station, datagram);
    checkStillWorking(station, peer);
    verifyAfter(station, before, { Ansi::decode(stored) }, 0);

    // Byte for byte, whatever the code page leaves undefined.
    const QByteArray fileAfter = station.home().read(QStringLiteral("Dados/hist_recv.dbt"));
    QVERIFY(fileAfter.startsWith(fileBefore));
    QVERIFY(fileAfter.mid(fileBefore.size()).startsWith(QByteArray(HistoryFiles::MirrorLetters(stored) + "\r\n")));

    // Both messages are in the history window, one entry each.
    TFormHistMSG& history = station.station().FormHistMSG();
    QTRY_VERIFY_WITH_TIMEOUT(history.isVisible(), Patience);
    QTRY_COMPARE_WITH_TIMEOUT(history.Linhas().size(), 2, Patience);
}

void TestHostileNetwork::flood_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("count");

    QTest::newRow("text messages") << QStringLiteral("text") << 1000;
    QTest::newRow("announcements") << QStringLiteral("announcement") << 2500;
    QTest::newRow("noise") << QStringLiteral("noise") << 20000;
    QTest::newRow("another channel") << QStringLiteral("other channel") << 20000;
}

void TestHostileNetwork::flood()
{
    QFETCH(QString, kind);
    QFETCH(int, count);
    constexpr int QueueLimit = 200;
    // However fast datagrams come, the window's event loop turns between them.
    constexpr int MostPerTurn = 32;

    HostileStation station;
    station.writeSettings();
    station.start();
    station.logOn();
    station.backend().setQueueLimit(QueueLimit);
    HostilePeer hostile(Intruder);
    HostilePeer peer;
    const Before before = snapshot(station);
    const quint64 droppedBefore = station.backend().droppedCount();
    const quint64 lostBefore = station.backend().lostCount();
    const quint64 rejectedBefore = station.backend().rejectedCount();

    int handledSinceTurn = 0;
    int mostSinceTurn = 0;
    int longestQueue = 0;
    QTimer turn;
    turn.setInterval(0);
    connect(&turn, &QTimer::timeout, this, [&] {
        handledSinceTurn = 0;
        longestQueue = qMax(longestQueue, station.backend().info().count);
    });
    connect(&station.com().ALMailSlot1(), &TALMailSlot::OnNewMessage, this, [&] {
        mostSinceTurn = qMax(mostSinceTurn, ++handledSinceTurn);
        longestQueue = qMax(longestQueue, station.backend().info().count);
    });
    turn.start();

    QStringList frames;
    QByteArray noise(300, 'n');
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        QByteArray bytes;
        if (kind == QLatin1String("text")) {
            frames.append(textMessage(QStringLiteral("INTRUSO"), QStringLiteral("ANA"), QString::number(i)));
            bytes = intruderWrite(Ansi::encode(frames.constLast()));
        } else if (kind == QLatin1String("announcement")) {
            frames.append(announcement(QStringLiteral("INTRUSO")));
            bytes = intruderWrite(Ansi::encode(frames.constLast()));
        } else if (kind == QLatin1String("noise")) {
            noise[i % noise.size()] = static_cast<char>(i);
            bytes = noise;
        } else {
            bytes = writeTo(QStringLiteral("OUTRO"), HostilePeer::lines(Intruder.toLatin1(), IntruderAnnouncement))
                        .encode();
        }
        // A full send buffer refuses some; those never left.
        if (hostile.trySend(station, bytes))
            ++sent;
        else
            frames.removeLast();
    }
    // Every datagram sent is handled, dropped for a full queue, refused, or lost by the
    // system; wait until the burst is over before a well-behaved peer speaks.
    const auto received = [&] { return station.received().mid(before.received.size()); };
    const auto dropped = [&] { return station.backend().droppedCount() - droppedBefore; };
    const auto lost = [&] { return station.backend().lostCount() - lostBefore; };
    const auto rejected = [&] { return station.backend().rejectedCount() - rejectedBefore; };
    if (kind == QLatin1String("text") || kind == QLatin1String("announcement"))
        QTRY_COMPARE_WITH_TIMEOUT(quint64(received().size()) + dropped() + lost(), quint64(sent), Patience);
    else if (kind == QLatin1String("noise"))
        QTRY_COMPARE_WITH_TIMEOUT(rejected() + lost(), quint64(sent), Patience);
    QTRY_COMPARE_WITH_TIMEOUT(station.backend().info().count, 0, Patience);
    const QStringList added = received();
    turn.stop();

    QVERIFY2(longestQueue <= QueueLimit, qPrintable(QString::number(longestQueue)));
    QVERIFY2(mostSinceTurn <= MostPerTurn, qPrintable(QString::number(mostSinceTurn)));
    if (kind == QLatin1String("other channel") || kind == QLatin1String("noise")) {
        QCOMPARE(added, QStringList());
        QCOMPARE(dropped(), quint64(0));
    } else {
        // What was kept is what was sent, in order, one record each.
        qsizetype at = 0;
        for (const QString& record : added) {
            while (at < frames.size() && frames.at(at) != record)
                ++at;
            QVERIFY2(at < frames.size(), qPrintable(record));
            ++at;
        }
    }
    checkStillWorking(station, peer);
    verifyOneRecordPerLine(station.receivedPath());
    verifyOneRecordPerLine(station.sentPath());
}

QTEST_MAIN(TestHostileNetwork)
#include "tst_hostilenetwork.moc"
