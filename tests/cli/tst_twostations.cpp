#include "loopback.h"
#include "stationprocess.h"

#include <QProcess>
#include <QTest>

// Two colloqua processes on loopback addresses log on by themselves and find each other.
namespace
{
// What `colloqua-cli who` lists for the channel, asking from an address of its own.
QStringList who()
{
    const quint16 port = Loopback::testPort();
    QProcess cli;
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cli.start(QStringLiteral(COLLOQUA_CLI_PATH),
        { QStringLiteral("who"), QStringLiteral("--channel"), QStringLiteral("CANAL"), QStringLiteral("--computer"),
            QStringLiteral("pc-cli"), QStringLiteral("--address"), Loopback::nextAddress().toString(),
            QStringLiteral("--port"), QString::number(port), QStringLiteral("--broadcast"),
            QStringLiteral("127.255.255.255:%1").arg(port), QStringLiteral("--timeout"), QStringLiteral("1.5") });
    if (!cli.waitForFinished(30000) || cli.exitCode() != 0)
        return { QStringLiteral("colloqua-cli who failed") };
    return QString::fromUtf8(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

const QString Channel = StationProcess::Channel;
constexpr int Patience = StationProcess::Patience;
} // namespace

class TestTwoStations final : public QObject
{
    Q_OBJECT

private slots:
    void stationsFindEachOtherAndSayGoodbye();
};

void TestTwoStations::stationsFindEachOtherAndSayGoodbye()
{
    StationProcess a(QStringLiteral("pc-a"), QStringLiteral("ANA"));
    StationProcess b(QString(), QStringLiteral("BRUNO"));
    // B is named by its settings; for A, --computer wins over them.
    const auto rename = [](const StationProcess& station, const char* name) {
        Settings(station.home().home())
            .WriteSetting(
                QStringLiteral("REDE"), QStringLiteral("COMPUTADOR"), SettingString, QString::fromLatin1(name));
    };
    rename(a, "pc-wrong");
    rename(b, " pc-b ");
    a.start();
    QVERIFY(a.process().waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(a.lastChannel(), Channel, Patience);
    b.start();
    QVERIFY(b.process().waitForStarted());

    // B's announcement reaches A; A's acknowledgement reaches B.
    QTRY_COMPARE_WITH_TIMEOUT(a.treeFile(), QStringList { QStringLiteral("BRUNO (pc-b)") }, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(b.treeFile(), QStringList { QStringLiteral("ANA (pc-a)") }, Patience);
    QCOMPARE(who(), (QStringList { QStringLiteral("ANA (pc-a) ON"), QStringLiteral("BRUNO (pc-b) ON") }));

    // Stopped by a signal, A still logs off: B marks it offline.
    QVERIFY(a.terminate());
    QTRY_VERIFY_WITH_TIMEOUT(b.treeFile().contains(QStringLiteral("'ANA (pc-a)")), Patience);
    // A saved its tree at logoff, with B offline.
    QVERIFY(a.treeFile().contains(QStringLiteral("'BRUNO (pc-b)")));
    QVERIFY(b.terminate());
}

QTEST_GUILESS_MAIN(TestTwoStations)
#include "tst_twostations.moc"
