#include "historyfiles.h"
#include "loopback.h"
#include "settings.h"
#include "temphome.h"

#include <QHostAddress>
#include <QProcess>
#include <QTest>

#include <csignal>

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

const QString Channel = QStringLiteral("CANAL");
constexpr int Patience = 15000;

class StationProcess
{
public:
    StationProcess(const QString& computer, const QString& user)
        : m_computer(computer)
        , m_address(Loopback::nextAddress())
    {
        m_home.home().ensureDataDir();
        Settings settings(m_home.home());
        const quint16 port = Loopback::testPort();
        const QString setup = QStringLiteral("SETUP");
        const QString rede = QStringLiteral("REDE");
        settings.WriteSetting(setup, QStringLiteral("DEFAULT_USER"), SettingString, user);
        settings.WriteSetting(setup, QStringLiteral("DEFAULT_CHANNEL"), SettingString, Channel);
        settings.WriteSetting(setup, QStringLiteral("DEFAULT_STATUS"), SettingString, QStringLiteral("ON"));
        settings.WriteSetting(rede, QStringLiteral("PORTA"), SettingInteger, int(port));
        settings.WriteSetting(rede, QStringLiteral("ENDERECO"), SettingString, m_address.toString());
        settings.WriteSetting(
            rede, QStringLiteral("DIFUSAO"), SettingString, QStringLiteral("127.255.255.255:%1").arg(port));
    }

    ~StationProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    void start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(COLLOQUA_APP_PATH),
            { QStringLiteral("--home"), m_home.path(), QStringLiteral("--computer"), m_computer });
    }

    bool terminate()
    {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        return m_process.waitForFinished(Patience) && m_process.exitStatus() == QProcess::NormalExit
            && m_process.exitCode() == 0;
    }

    QProcess& process() { return m_process; }

    QStringList treeFile() const
    {
        return QString::fromLatin1(m_home.read(QStringLiteral("Dados/ArvUsuarios.tv")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    QString lastChannel() const
    {
        return Settings(m_home.home()).readString(QStringLiteral("SETUP"), QStringLiteral("LAST_CHANNEL"), {}, {});
    }

private:
    TempHome m_home;
    QString m_computer;
    QHostAddress m_address;
    QProcess m_process;
};
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
    StationProcess b(QStringLiteral("pc-b"), QStringLiteral("BRUNO"));
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
