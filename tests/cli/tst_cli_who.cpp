#include "loopback.h"
#include "sessionstation.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace
{
QString port()
{
    return QString::number(Loopback::testPort());
}

// colloqua-cli with the loopback network flags of this process and `args`.
QStringList whoArguments(const QStringList& args)
{
    return QStringList { QStringLiteral("who"), QStringLiteral("--address"), Loopback::nextAddress().toString(),
        QStringLiteral("--port"), port(), QStringLiteral("--broadcast"), QStringLiteral("127.255.255.255:") + port(),
        QStringLiteral("--computer"), QStringLiteral("CLI-PC") }
    + args;
}
} // namespace

class TestCliWho : public QObject
{
    Q_OBJECT

private slots:
    void listsTheStationsThatAnswer()
    {
        SessionStation a(QStringLiteral("pc-a"));
        SessionStation b(QStringLiteral("PC-B"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("OC"));
        b.session->Conectar(QStringLiteral("BIA"), SessionStation::Channel, QStringLiteral("IN"));
        QTRY_COMPARE(a.master(), QStringLiteral(".BIA (pc-b)\n"));

        QProcess who;
        // The stations answer from this process's event loop, so the run is awaited with it.
        QSignalSpy finished(&who, &QProcess::finished);
        who.start(QStringLiteral(COLLOQUA_CLI_PATH),
            whoArguments({ QStringLiteral("--channel"), SessionStation::Channel, QStringLiteral("--timeout"),
                QStringLiteral("0.8"), QStringLiteral("--user"), QStringLiteral("quem") }));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QCOMPARE(who.readAllStandardError(), QByteArray());
        QCOMPARE(who.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(who.readAllStandardOutput()), QStringLiteral("ANA (pc-a) OC\nBIA (pc-b) IN\n"));

        // It came invisible and left with "USR_OF": known, but offline.
        QTRY_COMPARE(a.master(), QStringLiteral(".BIA (pc-b)\n'QUEM (cli-pc)\n"));
        QTRY_COMPARE(b.master(), QStringLiteral("ANA (pc-a)\n'QUEM (cli-pc)\n"));
    }

    // Without --user, every run announces under the same name: the trees keep one entry.
    void repeatedRunsLeaveOneEntry()
    {
        SessionStation a(QStringLiteral("pc-a"));
        a.session->Conectar(QStringLiteral("ANA"), SessionStation::Channel, QStringLiteral("ON"));
        for (int run = 0; run < 3; ++run) {
            QProcess who;
            QSignalSpy finished(&who, &QProcess::finished);
            who.start(QStringLiteral(COLLOQUA_CLI_PATH),
                whoArguments({ QStringLiteral("--channel"), SessionStation::Channel, QStringLiteral("--timeout"),
                    QStringLiteral("0.3") }));
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
            QCOMPARE(who.exitCode(), 0);
            QCOMPARE(QString::fromUtf8(who.readAllStandardOutput()), QStringLiteral("ANA (pc-a) ON\n"));
        }
        QTRY_VERIFY(a.master().endsWith(QStringLiteral(" (cli-pc)\n")));
        QCOMPARE(a.master().count(QStringLiteral("(cli-pc)")), 1);
        QVERIFY(a.master().startsWith(QLatin1Char('\'')));
    }
};

QTEST_GUILESS_MAIN(TestCliWho)
#include "tst_cli_who.moc"
