#include "colloquaversion.h"
#include "settings.h"
#include "stationprocess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// What a user meets before the station is up: --help and --version anywhere, a clear line
// when there is no display, and the busy port told instead of a deaf station.
namespace
{
constexpr int Patience = StationProcess::Patience;
using Environment = QMap<QString, QString>; // an empty value unsets the variable

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runProgram(const QString& program, const QStringList& args, const Environment& changes = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // By default a machine without any display.
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QString::fromLatin1(name));
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (it.value().isEmpty())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, args);
    Run run;
    if (!process.waitForFinished(Patience) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// An X display number nobody serves on this machine.
QString silentDisplay()
{
    QFile sockets(QStringLiteral("/proc/net/unix"));
    const QString listening = sockets.open(QIODevice::ReadOnly) ? QString::fromLatin1(sockets.readAll()) : QString();
    for (int n = 173; n < 250; ++n) {
        const QString name = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        if (!QFile::exists(name) && !listening.contains(name + QLatin1Char('\n')))
            return QStringLiteral(":%1").arg(n);
    }
    return {};
}

const QString NoDisplay = QStringLiteral("colloqua: no display to show the program on (%1). Start it from a desktop "
                                         "session, or set QT_QPA_PLATFORM=offscreen to run it without windows.\n");
} // namespace

class TestFrontDoor final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();
    void noDisplay_data();
    void noDisplay();
    void cliVersion();
    void busyPortIsTold();

private:
    QTemporaryDir m_runtimeDir;
};

void TestFrontDoor::initTestCase()
{
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir.path()));
}

void TestFrontDoor::helpAndVersionNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("said"); // lines of standard output, in order

    const QString version = QStringLiteral("colloqua " COLLOQUA_VERSION);
    const QStringList help { QStringLiteral("Usage: colloqua [options]"), QStringLiteral("  --home <DIR>"),
        QStringLiteral("  --computer <NAME>"), QStringLiteral("colloqua.ini"), QStringLiteral("Dados/") };
    QTest::newRow("--help") << QStringList { QStringLiteral("--help") } << help;
    QTest::newRow("-h") << QStringList { QStringLiteral("-h") } << help;
    QTest::newRow("--help after other options")
        << QStringList { QStringLiteral("--home"), QStringLiteral("/nowhere"), QStringLiteral("--help") } << help;
    QTest::newRow("--help beside a Qt option")
        << QStringList { QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("--help") } << help;
    QTest::newRow("--version") << QStringList { QStringLiteral("--version") } << QStringList { version };
    QTest::newRow("-v") << QStringList { QStringLiteral("-v") } << QStringList { version };
    // A Qt option holding the letters of -h and -v is not read as them.
    QTest::newRow("-reverse is not -v") << QStringList { QStringLiteral("-reverse") } << QStringList();
}

void TestFrontDoor::helpAndVersionNeedNoDisplay()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, said);
    const Run run = runProgram(QStringLiteral(COLLOQUA_APP_PATH), args);
    if (said.isEmpty()) {
        // Not help: the run goes on and meets the missing display.
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QVERIFY(run.err.startsWith(QStringLiteral("colloqua: no display")));
        return;
    }
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QString());
    qsizetype at = 0;
    for (const QString& text : std::as_const(said)) {
        at = run.out.indexOf(text, at);
        QVERIFY2(at >= 0, qPrintable(text + QStringLiteral(" missing from:\n") + run.out));
    }
    if (said.size() == 1)
        QCOMPARE(run.out, said.constFirst() + QLatin1Char('\n'));
}

void TestFrontDoor::noDisplay_data()
{
    QTest::addColumn<Environment>("environment");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");

    QTest::newRow("neither variable set")
        << Environment() << QStringList() << NoDisplay.arg(QStringLiteral("DISPLAY and WAYLAND_DISPLAY are not set"));
    QTest::newRow("xcb asked for, no DISPLAY")
        << Environment { { QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb") },
               { QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-9") } }
        << QStringList() << NoDisplay.arg(QStringLiteral("DISPLAY is not set"));
    QTest::newRow("Wayland asked for, no WAYLAND_DISPLAY")
        << Environment { { QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland") } } << QStringList()
        << NoDisplay.arg(QStringLiteral("WAYLAND_DISPLAY is not set"));
    QTest::newRow("a list with nothing usable")
        << Environment { { QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland;xcb") } } << QStringList()
        << NoDisplay.arg(QStringLiteral("WAYLAND_DISPLAY and DISPLAY are not set"));
    QTest::newRow("-platform xcb over an offscreen environment")
        << Environment { { QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen") } }
        << QStringList { QStringLiteral("-platform"), QStringLiteral("xcb") }
        << NoDisplay.arg(QStringLiteral("DISPLAY is not set"));
    const QString display = silentDisplay();
    QTest::newRow("a display nobody answers")
        << Environment { { QStringLiteral("DISPLAY"), display } } << QStringList()
        << QStringLiteral("colloqua: cannot open the display \"%1\": no desktop session answers there, or this "
                          "user may not use it.\n")
               .arg(display);
}

void TestFrontDoor::noDisplay()
{
    QFETCH(Environment, environment);
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir home;
    const Run run = runProgram(QStringLiteral(COLLOQUA_APP_PATH),
        args
            + QStringList { QStringLiteral("--home"), home.path(), QStringLiteral("--computer"),
                QStringLiteral("pc-a") },
        environment);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QString());
    // Only our line: Qt's own about the platform plugin are held back.
    QCOMPARE(run.err, message);
    // Nothing was started: the home is untouched.
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestFrontDoor::cliVersion()
{
    const Run run = runProgram(QStringLiteral(COLLOQUA_CLI_PATH), { QStringLiteral("--version") });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("colloqua-cli " COLLOQUA_VERSION "\n"));
}

void TestFrontDoor::busyPortIsTold()
{
    StationProcess a(QStringLiteral("pc-a"), QStringLiteral("ANA"));
    const QString address = Settings(a.home().home())
                                .readString(QStringLiteral("REDE"), QStringLiteral("ENDERECO"), QString(), QString());
    const quint16 port = Loopback::testPort();
    // Another program on the station's address and port.
    const int held = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    QVERIFY(held >= 0);
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(QHostAddress(address).toIPv4Address());
    QCOMPARE(::bind(held, reinterpret_cast<const sockaddr*>(&sa), sizeof sa), 0);

    QProcess station;
    a.startOn(station, QStringLiteral("pc-a"));
    QVERIFY(station.waitForStarted());
    // On the offscreen platform the prompter writes to standard error.
    const QString told = QStringLiteral("A porta UDP %1 do endereço %2 já está em uso").arg(port).arg(address);
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(station.readAllStandardError())).contains(told), Patience);
    QVERIFY(err.contains(QStringLiteral("ENDERECO ou outra PORTA na seção REDE do arquivo colloqua.ini")));
    // Told once; the station runs on, deaf until the port is free.
    QTest::qWait(1000);
    err += QString::fromUtf8(station.readAllStandardError());
    QCOMPARE(err.count(told), 1);
    QCOMPARE(station.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(station.processId()), SIGTERM);
    QVERIFY(station.waitForFinished(Patience));
    QCOMPARE(station.exitCode(), 0);
    ::close(held);
}

QTEST_GUILESS_MAIN(TestFrontDoor)
#include "tst_frontdoor.moc"
