#include "networkconfig.h"
#include "settings.h"
#include "temphome.h"

#include <QTest>

using Endpoints = QList<NetworkEndpoint>;

class TestNetworkConfig : public QObject
{
    Q_OBJECT

private slots:
    void withoutSettingsFile()
    {
        TempHome home;
        const NetworkConfig config = NetworkConfig::fromSettings(Settings(home.home()));
        QCOMPARE(config, NetworkConfig());
        QCOMPARE(config.port, quint16(45138));
        QCOMPARE(config.address, QString());
        QCOMPARE(config.broadcast, Endpoints());
        QCOMPARE(config.group, QStringLiteral("WORKGROUP"));
    }

    void fromSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("address");
        QTest::addColumn<Endpoints>("broadcast");
        QTest::addColumn<QString>("group");

        const QString wg = QStringLiteral("WORKGROUP");
        QTest::newRow("no REDE section") << QByteArray("[SETUP]\r\nPORTA=1\r\n") << 45138 << QString() << Endpoints()
                                         << wg;
        QTest::newRow("everything set") << QByteArray("[REDE]\r\nPORTA=5000\r\nENDERECO=127.0.0.5\r\n"
                                                      "DIFUSAO=127.255.255.255\r\nGRUPO=Vendas\r\n")
                                        << 5000 << QStringLiteral("127.0.0.5")
                                        << Endpoints { { QStringLiteral("127.255.255.255"), 5000 } }
                                        << QStringLiteral("Vendas");
        QTest::newRow("names in any case") << QByteArray("[rede]\r\nporta=6000\r\ngrupo=x\r\n") << 6000 << QString()
                                           << Endpoints() << QStringLiteral("x");
        QTest::newRow("hexadecimal port")
            << QByteArray("[REDE]\r\nPORTA=0xB053\r\n") << 45139 << QString() << Endpoints() << wg;
        QTest::newRow("port zero") << QByteArray("[REDE]\r\nPORTA=0\r\n") << 45138 << QString() << Endpoints() << wg;
        QTest::newRow("port negative") << QByteArray("[REDE]\r\nPORTA=-5\r\n") << 45138 << QString() << Endpoints()
                                       << wg;
        QTest::newRow("port too large") << QByteArray("[REDE]\r\nPORTA=65536\r\n") << 45138 << QString() << Endpoints()
                                        << wg;
        QTest::newRow("port not a number")
            << QByteArray("[REDE]\r\nPORTA=abc\r\n") << 45138 << QString() << Endpoints() << wg;
        QTest::newRow("empty group keeps the default")
            << QByteArray("[REDE]\r\nGRUPO=\r\n") << 45138 << QString() << Endpoints() << wg;
        QTest::newRow("destinations take the configured port")
            << QByteArray("[REDE]\r\nPORTA=7000\r\nDIFUSAO=127.255.255.255, 127.0.0.9:7001\r\n") << 7000 << QString()
            << Endpoints { { QStringLiteral("127.255.255.255"), 7000 }, { QStringLiteral("127.0.0.9"), 7001 } } << wg;
    }
    void fromSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, port);
        QFETCH(QString, address);
        QFETCH(Endpoints, broadcast);
        QFETCH(QString, group);

        TempHome home;
        home.write(QStringLiteral("colloqua.ini"), ini);
        const NetworkConfig config = NetworkConfig::fromSettings(Settings(home.home()));
        QCOMPARE(config.port, quint16(port));
        QCOMPARE(config.address, address);
        QCOMPARE(config.broadcast, broadcast);
        QCOMPARE(config.group, group);
    }

    void parseDestinations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Endpoints>("expected");
        const auto e = [](const char* host, quint16 port) {
            return NetworkEndpoint { QString::fromLatin1(host), port };
        };
        QTest::newRow("empty") << QString() << Endpoints();
        QTest::newRow("blanks and commas") << QStringLiteral(" , ,, ") << Endpoints();
        QTest::newRow("host") << QStringLiteral("pc-sala") << Endpoints { e("pc-sala", 100) };
        QTest::newRow("host and port") << QStringLiteral("127.0.0.255:138") << Endpoints { e("127.0.0.255", 138) };
        QTest::newRow("blanks around") << QStringLiteral("  a : 5 ,b  ") << Endpoints { e("a", 5), e("b", 100) };
        QTest::newRow("repeated once") << QStringLiteral("a,a:100,b,a") << Endpoints { e("a", 100), e("b", 100) };
        QTest::newRow("bad ports skipped")
            << QStringLiteral("a:0,b:65536,c:x,d:,e:-1,f:65535") << Endpoints { e("f", 65535) };
        QTest::newRow("no host") << QStringLiteral(":5,g") << Endpoints { e("g", 100) };
        QTest::newRow("IPv6 skipped") << QStringLiteral("::1,fe80::1:5,h") << Endpoints { e("h", 100) };
    }
    void parseDestinations()
    {
        QFETCH(QString, text);
        QFETCH(Endpoints, expected);
        QCOMPARE(NetworkConfig::parseDestinations(text, 100), expected);
    }
};

QTEST_GUILESS_MAIN(TestNetworkConfig)
#include "tst_networkconfig.moc"
