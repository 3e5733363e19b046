#include "loopback.h"

#include <QProcess>
#include <QTest>

#include <csignal>
#include <memory>

namespace
{
struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QProcessEnvironment environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("USER"), QStringLiteral("tester"));
    return env;
}

// Where a station of this test listens: its own loopback address, the test's port, and
// broadcasts to the loopback broadcast address only.
struct Station
{
    QString computer;
    QString address = Loopback::nextAddress().toString();

    QStringList flags(const QString& channel = QStringLiteral("TESTE")) const
    {
        return { QStringLiteral("--channel"), channel, QStringLiteral("--computer"), computer,
            QStringLiteral("--address"), address, QStringLiteral("--port"), QString::number(Loopback::testPort()),
            QStringLiteral("--broadcast"), QStringLiteral("127.255.255.255") };
    }
};

Run runCli(const QStringList& args)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral(COLLOQUA_CLI_PATH), args);
    if (!process.waitForFinished(30000))
        process.kill();
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
        process.readAllStandardError() };
}

// A `listen` running in the background, started once it says it listens.
class Listener
{
public:
    explicit Listener(const QStringList& args)
    {
        m_process.setProcessEnvironment(environment());
        m_process.setReadChannel(QProcess::StandardError);
        m_process.start(QStringLiteral(COLLOQUA_CLI_PATH), QStringList { QStringLiteral("listen") } + args);
    }

    ~Listener()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    Q_DISABLE_COPY_MOVE(Listener)

    bool waitUntilListening()
    {
        while (!m_err.contains("listening on")) {
            if (!m_process.waitForReadyRead(10000))
                return false;
            m_err += m_process.readAllStandardError();
        }
        return true;
    }

    Run finish()
    {
        if (!m_process.waitForFinished(30000))
            m_process.kill();
        return { m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1,
            m_process.readAllStandardOutput(), m_err + m_process.readAllStandardError() };
    }

    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_err;
};

QList<QByteArray> lines(const QByteArray& out)
{
    QList<QByteArray> result = out.split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}
} // namespace

class TestCliNet : public QObject
{
    Q_OBJECT

private slots:
    void twoStationsExchange()
    {
        const Station a { QStringLiteral("PCA") };
        const Station b { QStringLiteral("PCB") };
        Listener listenA(a.flags() + QStringList { QStringLiteral("--count"), QStringLiteral("2") });
        Listener listenB(b.flags() + QStringList { QStringLiteral("--count"), QStringLiteral("2") });
        QVERIFY(listenA.waitUntilListening());
        QVERIFY(listenB.waitUntilListening());

        const QString send = QStringLiteral("send");
        const QString to = QStringLiteral("--to");
        QCOMPARE(runCli(QStringList { send } + b.flags()
                     + QStringList { to, QStringLiteral("*"), QStringLiteral("Ol\u00E1 a todos") })
                     .exitCode,
            0);
        QCOMPARE(
            runCli(QStringList { send } + a.flags() + QStringList { to, b.address, QStringLiteral("s\u00F3 para B") })
                .exitCode,
            0);
        QCOMPARE(
            runCli(QStringList { send } + b.flags() + QStringList { to, a.address, QStringLiteral("s\u00F3 para A") })
                .exitCode,
            0);

        const Run ra = listenA.finish();
        const Run rb = listenB.finish();
        QCOMPARE(ra.exitCode, 0);
        QCOMPARE(rb.exitCode, 0);
        QCOMPARE(
            lines(ra.out), (QList<QByteArray> { "PCB\ttester\tOl\xC3\xA1 a todos", "PCB\ttester\ts\xC3\xB3 para A" }));
        // The sender's own broadcast comes back to it, once.
        QCOMPARE(
            lines(rb.out), (QList<QByteArray> { "PCB\ttester\tOl\xC3\xA1 a todos", "PCA\ttester\ts\xC3\xB3 para B" }));
    }

    void listenPrintsOneLinePerDatagram_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("frame") << QStringLiteral("M[ANA||070512143005|9]S[USR_ON]D[]")
                               << QByteArray("PCB\ttester\tM[ANA||070512143005|9]S[USR_ON]D[]");
        QTest::newRow("empty payload") << QString() << QByteArray("PCB\ttester\t");
        QTest::newRow("several lines") << QStringLiteral("um\ndois\r\n") << QByteArray("PCB\ttester\tum\\r\\ndois");
        QTest::newRow("controls escaped")
            << QStringLiteral("a\tb\\c\u001B[31m\u007F") << QByteArray("PCB\ttester\ta\\tb\\\\c\\x1B[31m\\x7F");
        QTest::newRow("starts with dashes") << QStringLiteral("--fim") << QByteArray("PCB\ttester\t--fim");
    }
    void listenPrintsOneLinePerDatagram()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        const Station a { QStringLiteral("PCA") };
        const Station b { QStringLiteral("PCB") };
        Listener listen(a.flags() + QStringList { QStringLiteral("--count"), QStringLiteral("1") });
        QVERIFY(listen.waitUntilListening());
        // Another channel is not heard.
        QCOMPARE(runCli(QStringList { QStringLiteral("send") } + b.flags(QStringLiteral("OUTRO"))
                     + QStringList { QStringLiteral("--to"), a.address, QStringLiteral("outro canal") })
                     .exitCode,
            0);
        QCOMPARE(runCli(QStringList { QStringLiteral("send") } + b.flags()
                     + QStringList { QStringLiteral("--to"), a.address, QStringLiteral("--"), text })
                     .exitCode,
            0);
        const Run r = listen.finish();
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(lines(r.out), QList<QByteArray> { line });
    }

    void interruptEndsListenCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void interruptEndsListenCleanly()
    {
        QFETCH(int, signal);
        const Station a { QStringLiteral("PCA") };
        Listener listen(a.flags());
        QVERIFY(listen.waitUntilListening());
        QCOMPARE(::kill(static_cast<pid_t>(listen.process().processId()), signal), 0);
        const Run r = listen.finish();
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.isEmpty());
        // The address is free again.
        Listener again(a.flags());
        QVERIFY(again.waitUntilListening());
    }

    void secondListenerOnSameAddressFails()
    {
        const Station a { QStringLiteral("PCA") };
        Listener first(a.flags());
        QVERIFY(first.waitUntilListening());
        const Run r = runCli(QStringList { QStringLiteral("listen") } + a.flags());
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("cannot open the mailbox TESTE"), r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestCliNet)
#include "tst_cli_net.moc"
