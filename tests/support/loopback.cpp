#include "loopback.h"

#include "settings.h"
#include "stationhome.h"

#include <QCoreApplication>

#include <atomic>

namespace
{
std::atomic<quint32> g_next { 0 };
}

QHostAddress Loopback::nextAddress()
{
    // 127.0.0.1 is left alone; the pid spreads test processes over the /8.
    const quint32 pidPart = static_cast<quint32>(QCoreApplication::applicationPid() % 200) + 20;
    const quint32 n = g_next.fetch_add(1) + 2;
    return QHostAddress((127u << 24) | (pidPart << 16) | ((n / 250) << 8) | (n % 250 + 2));
}

quint16 Loopback::testPort()
{
    return static_cast<quint16>(20000 + QCoreApplication::applicationPid() % 40000);
}

void Loopback::writeNetwork(const StationHome& home, const QHostAddress& address, quint16 port)
{
    Settings settings(home);
    const QString rede = QStringLiteral("REDE");
    settings.WriteSetting(rede, QStringLiteral("PORTA"), SettingInteger, int(port));
    settings.WriteSetting(rede, QStringLiteral("ENDERECO"), SettingString, address.toString());
    settings.WriteSetting(
        rede, QStringLiteral("DIFUSAO"), SettingString, QStringLiteral("127.255.255.255:%1").arg(port));
}
