#include "frame.h"
#include "loopback.h"
#include "sessionstation.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <QUdpSocket>

// colloqua-cli doctor against stations of this process on loopback.
namespace
{
struct Run
{
    int exitCode = -1;
    QString out;
};

// Runs the doctor on `home` from `address`; `meanwhile` runs once it is listening.
Run doctor(const TempHome& home, const QHostAddress& address, const std::function<void()>& meanwhile = {})
{
    const QString port = QString::number(Loopback::testPort());
    QProcess process;
    process.start(QStringLiteral(COLLOQUA_CLI_PATH),
        { QStringLiteral("doctor"), QStringLiteral("--home"), home.path(), QStringLiteral("--address"),
            address.toString(), QStringLiteral("--port"), port, QStringLiteral("--broadcast"),
            QStringLiteral("127.255.255.255:") + port, QStringLiteral("--computer"), QStringLiteral("DOC-PC"),
            QStringLiteral("--timeout"), QStringLiteral("1.5") });
    Run run;
    bool told = false;
    // The stations answer from this process's event loop, so the run is awaited with it.
    QDeadlineTimer patience(60000);
    while (process.state() != QProcess::NotRunning && !patience.hasExpired()) {
        QTest::qWait(20);
        run.out += QString::fromUtf8(process.readAllStandardOutput());
        if (!told && meanwhile && run.out.contains(QLatin1String("listening"))) {
            told = true;
            meanwhile();
        }
    }
    run.out += QString::fromUtf8(process.readAllStandardOutput());
    run.exitCode = process.exitCode();
    return run;
}
} // namespace

class TestCliDoctor : public QObject
{
    Q_OBJECT

private slots:
    void namesWhatIsWrong()
    {
        SessionStation ana(QStringLiteral("pc-a"));
        SessionStation vera(QStringLiteral("pc-v"));
        SessionStation gil(QStringLiteral("pc-g"));
        gil.settings.WriteSetting(
            QStringLiteral("REDE"), QStringLiteral("GRUPO"), SettingString, QStringLiteral("OUTRO"));
        ana.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        TempHome home;
        home.write(
            QStringLiteral("Dados/ArvUsuarios.tv"), "Equipe\r\n\t'ANA (pc-a)\r\n\t'ZECA (pc-z)\r\n'GIL (pc-g)\r\n");

        // Stations of another channel and another workgroup speak while the doctor listens, and
        // a datagram for another computer carries names with terminal escapes.
        const QHostAddress doctorAddress = Loopback::nextAddress();
        RawPeer hostile;
        const Run run = doctor(home, doctorAddress, [&] {
            vera.session->Conectar(QStringLiteral("VERA"), QStringLiteral("VENDAS"), QStringLiteral("ON"));
            gil.session->Conectar(QStringLiteral("GIL"), SessionStation::Channel, QStringLiteral("ON"));
            hostile.send(doctorAddress, QStringLiteral("PC\x1b]0;X\x07"), QStringLiteral("EV\x1b[2J"),
                QStringLiteral("ev"), QStringLiteral("M[EVA|ANA|%1|5]S[]D[oi]").arg(FrameTimestamp(SystemClock())));
        });
        QVERIFY2(!run.out.contains(QChar(0x1b)) && !run.out.contains(QChar(0x07)), qPrintable(run.out));
        QCOMPARE(run.exitCode, 1);
        const QStringList findings {
            QStringLiteral("ok: the own broadcast came back"),
            QStringLiteral("answered: ANA (pc-a) ON from %1").arg(ana.address.toString()),
            QStringLiteral("ok: ANA (pc-a) answered"),
            QStringLiteral("PROBLEM: ZECA (pc-z) did not answer"),
            QStringLiteral("PROBLEM: pc-v (%1) speaks on channel VENDAS, not NETWORK").arg(vera.address.toString()),
            QStringLiteral("PROBLEM: pc-g (%1) broadcasts to workgroup OUTRO, not WORKGROUP")
                .arg(gil.address.toString()),
            QStringLiteral("PROBLEM: GIL (pc-g) answers from %1 when addressed, but its workgroup (GRUPO) is not "
                           "WORKGROUP")
                .arg(gil.address.toString()),
            QStringLiteral("PROBLEM: ev\\x1b[2j (%1) sent datagrams for the computer pc\\x1b]0;x\\x07 to this address")
                .arg(hostile.address().toString()),
        };
        for (const QString& finding : findings)
            QVERIFY2(run.out.contains(finding), qPrintable(finding + QStringLiteral("\n---\n") + run.out));
    }

    void nothingWrong()
    {
        SessionStation ana(QStringLiteral("pc-a"));
        ana.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        TempHome home;
        home.write(QStringLiteral("Dados/ArvUsuarios.tv"), "'ANA (pc-a)\r\n");
        const Run run = doctor(home, Loopback::nextAddress());
        QVERIFY2(run.out.endsWith(QLatin1String("\nNothing wrong found.\n")), qPrintable(run.out));
        QCOMPARE(run.exitCode, 0);
    }

    void namesWhoHoldsThePort()
    {
        const QHostAddress address = Loopback::nextAddress();
        QUdpSocket squatter;
        QVERIFY(squatter.bind(address, Loopback::testPort(), QAbstractSocket::DontShareAddress));
        TempHome home;
        const Run run = doctor(home, address);
        QCOMPARE(run.exitCode, 1);
        const QString finding
            = QStringLiteral("is taken by tst_cli_doctor (pid %1)").arg(QCoreApplication::applicationPid());
        QVERIFY2(run.out.contains(finding), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(TestCliDoctor)
#include "tst_cli_doctor.moc"
