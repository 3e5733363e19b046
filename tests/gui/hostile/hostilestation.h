#pragma once

// A station started the way the program starts it, over a home a test may lay out first, with
// UDP on a loopback address of its own and its transport's backend in reach; and a foreign
// peer made of a bare socket, which sends whatever bytes a test crafts and catches what the
// station sends back.

#include "ansi.h"
#include "historyfiles.h"
#include "netbiosdatagram.h"
#include "teststation.h"
#include "udpmailslotbackend.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

namespace Hostile
{
inline const QString Channel = QStringLiteral("CANAL");
inline const QString LineEnd = QStringLiteral("\r\n");
// Only matters when something fails.
constexpr int Patience = 20000;

// The REDE section that puts a station on `address`, broadcasting on the loopback only.
inline QByteArray networkSection(const QHostAddress& address)
{
    const QByteArray port = QByteArray::number(Loopback::testPort());
    return "[REDE]\r\nPORTA=" + port + "\r\nENDERECO=" + address.toString().toLatin1()
        + "\r\nDIFUSAO=127.255.255.255:" + port + "\r\n";
}

// A presence announcement and a text message as a peer builds them.
inline QString announcement(const QString& user, const QString& status = QStringLiteral("ON"))
{
    return QStringLiteral("M[%1||070512143005|9]S[USR_%2]D[]").arg(user, status);
}
inline QString textMessage(const QString& from, const QString& to, const QString& text)
{
    return QStringLiteral("M[%1|%2|070512143005|5]S[]D[%3]").arg(from, to, text);
}
} // namespace Hostile

class HostileStation
{
public:
    explicit HostileStation(const QString& computer = QStringLiteral("pc-alvo"))
        : m_address(Loopback::nextAddress())
        , m_builder(m_home.path(), computer, m_prompter)
    { }
    HostileStation(const HostileStation&) = delete;
    HostileStation& operator=(const HostileStation&) = delete;

    const TempHome& home() const { return m_home; }
    const QHostAddress& address() const { return m_address; }

    // Writes colloqua.ini: `settings` followed by the REDE section of this station.
    void writeSettings(const QByteArray& settings = {}) const
    {
        m_home.write(QStringLiteral("colloqua.ini"), settings + Hostile::networkSection(m_address));
    }

    // Creates the station over the program's UDP backend and runs the start-up checks on the
    // splash, as the program does.
    Station& start() { return m_builder.checkInterval(20).buildAndStart(); }

    Station& station() const { return m_builder.station(); }
    TFormCom& com() const { return station().FormCom(); }
    TFormComTools& tools() const { return station().FormComTools(); }
    CommunicatorSession& session() const { return com().session(); }
    UdpMailslotBackend& backend() const { return m_builder.udp(); }
    QueuedPrompter& queued() { return m_prompter.queued(); }
    ProbingPrompter& prompter() { return m_prompter; }

    QString receivedPath() const { return tools().history().receivedPath(); }
    QString sentPath() const { return tools().history().sentPath(); }
    QStringList received() const { return HistoryFiles::ReadHistoryRecords(receivedPath()); }
    QStringList sent() const { return HistoryFiles::ReadHistoryRecords(sentPath()); }
    QStringList masterTexts() const
    {
        QStringList texts;
        for (const UserTreeNode* node : com().session().master().nodes())
            texts.append(node->text());
        return texts;
    }

    // Logs on and waits until the own announcement came back, so that what follows starts
    // from a settled history.
    void logOn(const QString& user = QStringLiteral("ANA"))
    {
        com().Conectar(user, Hostile::Channel, QStringLiteral("ON"));
        QVERIFY(com().EstaConectado());
        const QString own = QStringLiteral("M[%1||").arg(user);
        const auto back = [&] {
            const QStringList records = received();
            return std::any_of(records.cbegin(), records.cend(), [&](const QString& r) { return r.startsWith(own); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(back(), Hostile::Patience);
    }

private:
    TempHome m_home;
    QHostAddress m_address;
    ProbingPrompter m_prompter;
    StationBuilder m_builder;
};

class HostilePeer
{
public:
    explicit HostilePeer(const QString& computer = QStringLiteral("pc-peer"))
        : m_computer(computer)
        , m_address(Loopback::nextAddress())
    {
        m_socket.bind(m_address, Loopback::testPort());
    }

    const QString& computer() const { return m_computer; }

    // A well-formed mailslot write of `text` lines ("Message", user, computer, frame) to
    // the station's channel, with our computer name as the NetBIOS source.
    NetbiosDatagram datagram(const QByteArray& text, const QString& netbiosName = {}) const
    {
        NetbiosDatagram d;
        d.id = ++m_id;
        d.sourceIp = m_address.toIPv4Address();
        d.sourcePort = Loopback::testPort();
        d.sourceName = netbiosName.isEmpty() ? m_computer : netbiosName;
        d.destinationName = QStringLiteral("PC-ALVO");
        d.mailBox = Hostile::Channel;
        d.data = text;
        return d;
    }
    // The lines of a datagram's text, each with its CR LF.
    static QByteArray lines(const QByteArray& computer, const QByteArray& frame)
    {
        return "Message\r\npeer\r\n" + computer + "\r\n" + frame + "\r\n";
    }
    QByteArray frameBytes(const QString& frame) const
    {
        return datagram(lines(Ansi::encode(m_computer), Ansi::encode(frame))).encode();
    }

    void sendRaw(const HostileStation& to, const QByteArray& bytes)
    {
        QCOMPARE(m_socket.writeDatagram(bytes, to.address(), Loopback::testPort()), qint64(bytes.size()));
    }
    void sendFrame(const HostileStation& to, const QString& frame) { sendRaw(to, frameBytes(frame)); }
    // For bursts: false when the socket's send buffer refused the datagram.
    bool trySend(const HostileStation& to, const QByteArray& bytes)
    {
        return m_socket.writeDatagram(bytes, to.address(), Loopback::testPort()) == bytes.size();
    }

    // Every frame received so far.
    QStringList frames()
    {
        while (m_socket.hasPendingDatagrams()) {
            if (const auto d = NetbiosDatagram::decode(m_socket.receiveDatagram().data()))
                m_frames.append(Ansi::decode(d->data).section(Hostile::LineEnd, 3, 3));
        }
        return m_frames;
    }
    QStringList acks() { return frames().filter(QStringLiteral("S[ACK_USR_")); }

private:
    QString m_computer;
    QHostAddress m_address;
    QUdpSocket m_socket;
    mutable quint16 m_id = 0;
    QStringList m_frames;
};

// After whatever came before: the station answers an announcement from a well-behaved peer,
// and stores a text message sent after it. Both arrive behind every datagram sent earlier
// from `peer`'s socket, so once they are handled, so is everything before them.
inline void checkStillWorking(HostileStation& station, HostilePeer& peer, const QString& user = QStringLiteral("PEDRO"))
{
    const QString ack = QStringLiteral("M[ANA|%1|").arg(user);
    const auto answers = [&] { return peer.acks().filter(ack).size(); };
    const qsizetype answersBefore = answers();
    peer.sendFrame(station, Hostile::announcement(user));
    QTRY_COMPARE_WITH_TIMEOUT(answers(), answersBefore + 1, Hostile::Patience);
    QVERIFY(station.masterTexts().contains(UserEntryText(user, peer.computer())));

    const QString probe = Hostile::textMessage(user, QStringLiteral("ANA"), QStringLiteral("ainda aqui"));
    peer.sendFrame(station, probe);
    QTRY_VERIFY_WITH_TIMEOUT(station.received().contains(probe), Hostile::Patience);
}
