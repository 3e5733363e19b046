#include "networkconfig.h"

#include "machineidentity.h"
#include "settings.h"

#include <optional>

namespace
{
const QString Section = QStringLiteral("REDE");

std::optional<quint16> portFrom(int value)
{
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}
} // namespace

NetworkConfig NetworkConfig::fromSettings(const Settings& settings)
{
    NetworkConfig config;
    const int port = settings.readInt(Section, QStringLiteral("PORTA"), DefaultPort, DefaultPort);
    config.port = portFrom(port).value_or(DefaultPort);
    config.address = settings.readString(Section, QStringLiteral("ENDERECO"), QString(), QString()).trimmed();
    config.broadcast
        = parseDestinations(settings.readString(Section, QStringLiteral("DIFUSAO"), QString(), QString()), config.port);
    const QString group = settings.readString(Section, QStringLiteral("GRUPO"), defaultGroup(), defaultGroup());
    if (!group.trimmed().isEmpty())
        config.group = group.trimmed();
    return config;
}

QString NetworkConfig::computerName(const Settings& settings)
{
    const QString name = settings.readString(Section, QStringLiteral("COMPUTADOR"), QString(), QString()).trimmed();
    return name.isEmpty() ? MachineIdentity::computerName() : name;
}

QList<NetworkEndpoint> NetworkConfig::parseDestinations(QStringView text, quint16 defaultPort)
{
    QList<NetworkEndpoint> list;
    for (const QStringView part : text.split(u',')) {
        const QStringView entry = part.trimmed();
        if (entry.isEmpty())
            continue;
        NetworkEndpoint endpoint { entry.toString(), defaultPort };
        const qsizetype colon = entry.indexOf(u':');
        if (colon >= 0) {
            // One colon only: IPv6 has no broadcast and is not spoken here.
            if (entry.indexOf(u':', colon + 1) >= 0)
                continue;
            bool ok = false;
            const int port = entry.sliced(colon + 1).trimmed().toInt(&ok);
            const std::optional<quint16> valid = ok ? portFrom(port) : std::nullopt;
            endpoint.host = entry.first(colon).trimmed().toString();
            if (!valid || endpoint.host.isEmpty())
                continue;
            endpoint.port = *valid;
        }
        if (!list.contains(endpoint))
            list.append(endpoint);
    }
    return list;
}
