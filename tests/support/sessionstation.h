#pragma once

#include "communicatorsession.h"
#include "fakeclock.h"
#include "historyfiles.h"
#include "namelists.h"
#include "settings.h"
#include "talmailslot.h"
#include "temphome.h"

#include <QHostAddress>
#include <QStringList>
#include <QUdpSocket>

#include <memory>

class UdpMailslotBackend;

// A station as the communicator sees it, in the test process: its own home, REDE on its own
// loopback address with broadcasts to the loopback only, a real UDP backend, a quick reader,
// and a session wired to the transport. `calls` lists the backend's opens ("open <mailbox>"),
// writes ("<target> <frame>") and closes ("close") in order.
struct SessionStation
{
    static const QString Channel; // "NETWORK"

    explicit SessionStation(const QString& computer);
    ~SessionStation();
    Q_DISABLE_COPY_MOVE(SessionStation)

    QStringList received() const;
    QStringList sent() const;
    QString treeFile() const;
    // The master tree in file form with LF line ends, for comparisons.
    QString master() const;
    // A string setting; "<none>" when the key is missing, "<no file>" without colloqua.ini.
    QString setting(const QString& section, const QString& key) const;

    QString computer;
    TempHome home;
    Settings settings;
    HistoryFiles history;
    NameLists names;
    FakeClock clock;
    QHostAddress address;
    QStringList calls;
    UdpMailslotBackend* udp = nullptr; // owned by the transport
    std::unique_ptr<TALMailSlot> transport;
    std::unique_ptr<CommunicatorSession> session;
};

// A foreign station made of a bare socket on its own loopback address: it sends whatever
// datagram a test crafts, under any computer name, and catches what is sent back to it.
class RawPeer
{
public:
    RawPeer();
    const QHostAddress& address() const { return m_address; }

    // `toComputer` is the receiver's computer name, the datagram's destination; `netbiosName`
    // is the datagram's source name, where answers go; `computer` is the name the datagram's
    // text carries.
    void send(const QHostAddress& to, const QString& toComputer, const QString& netbiosName, const QString& computer,
        const QString& frame);
    void send(const SessionStation& to, const QString& netbiosName, const QString& computer, const QString& frame)
    {
        send(to.address, to.computer, netbiosName, computer, frame);
    }
    void send(const SessionStation& to, const QString& computer, const QString& frame)
    {
        send(to.address, to.computer, computer, computer, frame);
    }

    // Every frame received so far.
    QStringList frames();

private:
    QHostAddress m_address;
    QUdpSocket m_socket;
    quint16 m_id = 0;
    QStringList m_frames;
};
