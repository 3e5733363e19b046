#include "sessionstation.h"

#include "ansi.h"
#include "loopback.h"
#include "netbiosdatagram.h"
#include "networkconfig.h"
#include "udpmailslotbackend.h"
#include "usertreefile.h"

#include <QNetworkDatagram>

namespace
{
const QString LineEnd = QStringLiteral("\r\n");

// The frame of a datagram's text: the line after "Message", user and computer.
QString frameOf(const QByteArray& data)
{
    return Ansi::decode(data).section(LineEnd, 3, 3);
}

// Forwards to the real backend and writes down the order of the calls that matter.
class RecordingBackend final : public MailslotBackend
{
public:
    RecordingBackend(std::unique_ptr<MailslotBackend> inner, QStringList& log)
        : m_inner(std::move(inner))
        , m_log(log)
    { }
    bool create(const QString& mailBox) override
    {
        m_log.append(QStringLiteral("open ") + mailBox);
        return m_inner->create(mailBox);
    }
    void close() override
    {
        m_log.append(QStringLiteral("close"));
        m_inner->close();
    }
    bool isOpen() const override { return m_inner->isOpen(); }
    MailslotInfo info() override { return m_inner->info(); }
    QByteArray read() override { return m_inner->read(); }
    void forgetComputer(const QString& computer) override { m_inner->forgetComputer(computer); }
    void setDuplicateNameHandler(DuplicateNameHandler handler) override
    {
        m_inner->setDuplicateNameHandler(std::move(handler));
    }
    void write(const QString& target, const QString& mailBox, const QByteArray& data) override
    {
        m_log.append(target + QLatin1Char(' ') + frameOf(data));
        m_inner->write(target, mailBox, data);
    }

private:
    std::unique_ptr<MailslotBackend> m_inner;
    QStringList& m_log;
};
} // namespace

const QString SessionStation::Channel = QStringLiteral("NETWORK");

SessionStation::SessionStation(const QString& computer)
    : computer(computer)
    , settings(home.home())
    , history(home.home(), settings)
    , names(home.home())
    , address(Loopback::nextAddress())
{
    home.home().ensureDataDir();
    Loopback::writeNetwork(home.home(), address, Loopback::testPort());
    auto udp = std::make_unique<UdpMailslotBackend>(computer, [this] { return NetworkConfig::fromSettings(settings); });
    this->udp = udp.get();
    transport = std::make_unique<TALMailSlot>(
        std::make_unique<RecordingBackend>(std::move(udp), calls), nullptr, computer, QStringLiteral("tester"));
    transport->setCheckInterval(10);
    session = std::make_unique<CommunicatorSession>(
        CommunicatorSession::Services { *transport, settings, history, names, clock }, QLocale::c());
    QObject::connect(
        transport.get(), &TALMailSlot::OnNewMessage, session.get(), &CommunicatorSession::ALMailSlot1NewMessage);
}

SessionStation::~SessionStation()
{
    // The session goes first; the transport then stops its reader.
    session.reset();
    transport.reset();
}

QStringList SessionStation::received() const
{
    return HistoryFiles::ReadHistoryRecords(history.receivedPath());
}

QStringList SessionStation::sent() const
{
    return HistoryFiles::ReadHistoryRecords(history.sentPath());
}

QString SessionStation::treeFile() const
{
    return Ansi::decode(home.read(QStringLiteral("Dados/ArvUsuarios.tv")));
}

QString SessionStation::master() const
{
    return Ansi::decode(UserTreeFile::toBytes(session->master())).replace(LineEnd, QStringLiteral("\n"));
}

QString SessionStation::setting(const QString& section, const QString& key) const
{
    return settings.readString(section, key, QStringLiteral("<none>"), QStringLiteral("<no file>"));
}

RawPeer::RawPeer()
    : m_address(Loopback::nextAddress())
{
    m_socket.bind(m_address, Loopback::testPort());
}

void RawPeer::send(const QHostAddress& to, const QString& toComputer, const QString& netbiosName,
    const QString& computer, const QString& frame)
{
    NetbiosDatagram d;
    d.id = ++m_id;
    d.sourceIp = m_address.toIPv4Address();
    d.sourcePort = Loopback::testPort();
    d.sourceName = netbiosName;
    d.destinationName = toComputer;
    d.mailBox = SessionStation::Channel;
    const QString text
        = QStringLiteral("Message") + LineEnd + QStringLiteral("peer") + LineEnd + computer + LineEnd + frame + LineEnd;
    d.data = Ansi::encode(text);
    m_socket.writeDatagram(d.encode(), to, Loopback::testPort());
}

QStringList RawPeer::frames()
{
    while (m_socket.hasPendingDatagrams()) {
        if (const auto d = NetbiosDatagram::decode(m_socket.receiveDatagram().data()))
            m_frames.append(frameOf(d->data));
    }
    return m_frames;
}
