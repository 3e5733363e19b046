#pragma once

#include <QList>
#include <QString>
#include <QStringView>

class Settings;

// A host (name or IPv4 address) and a UDP port.
struct NetworkEndpoint
{
    QString host;
    quint16 port = 0;

    bool operator==(const NetworkEndpoint& other) const = default;
};

// The REDE section of colloqua.ini: where the transport listens and where broadcasts go.
struct NetworkConfig
{
    static constexpr quint16 DefaultPort = 45138;

    // PORTA: the port every station of the network listens on.
    quint16 port = DefaultPort;
    // ENDERECO: the local IPv4 address to bind; empty binds every interface, exclusively.
    QString address;
    // DIFUSAO: where a broadcast is sent; empty means the broadcast address of every
    // interface that is up (loopback included).
    QList<NetworkEndpoint> broadcast;
    // GRUPO: the workgroup a broadcast is addressed to and whose broadcasts are accepted.
    QString group = defaultGroup();

    static QString defaultGroup() { return QStringLiteral("WORKGROUP"); }

    // Reads REDE; every missing or unusable value keeps its default.
    static NetworkConfig fromSettings(const Settings& settings);
    // COMPUTADOR: the computer name the station announces, so that one of two machines of
    // the same host name can be renamed; empty or missing: the host name.
    static QString computerName(const Settings& settings);

    // "host" or "host:port" entries separated by commas; blanks around entries are ignored,
    // and so are empty entries and entries with an unusable port.
    static QList<NetworkEndpoint> parseDestinations(QStringView text, quint16 defaultPort);

    bool operator==(const NetworkConfig& other) const = default;
};
