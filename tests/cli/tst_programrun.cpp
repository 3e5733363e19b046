#include "filesnapshot.h"
#include "singleinstance.h"
#include "stationprocess.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The program as a process: one copy per home, the lock of a crashed run, and the log-off
// when the session ends it by a signal.
namespace
{
constexpr int Patience = StationProcess::Patience;

// Waits until nothing under `dir` changed for a while: the station has settled.
QStringList settledSnapshot(const QString& dir)
{
    QStringList last = fileSnapshot(dir);
    for (int round = 0; round < 20; ++round) {
        // Longer than the delayed tree refresh after a presence change.
        QTest::qWait(2500);
        const QStringList now = fileSnapshot(dir);
        if (now == last)
            return now;
        last = now;
    }
    return last;
}
} // namespace

class TestProgramRun final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondCopyLeavesEverythingAlone();
    void lockOfACrashedRunIsTakenOver();
    void signalLogsOff_data();
    void signalLogsOff();

private:
    QTemporaryDir m_runtimeDir;
};

void TestProgramRun::initTestCase()
{
    // The programs started here lock in a directory of their own.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir.path()));
}

void TestProgramRun::secondCopyLeavesEverythingAlone()
{
    StationProcess a(QStringLiteral("pc-a"), QStringLiteral("ANA"));
    a.start();
    QVERIFY(a.process().waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(a.lastChannel(), StationProcess::Channel, Patience);
    const QStringList before = settledSnapshot(a.home().path());

    // Another computer name: had it announced itself, A would have stored the datagram.
    QProcess second;
    a.startOn(second, QStringLiteral("pc-b"));
    QVERIFY(second.waitForFinished(Patience));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(QString::fromUtf8(second.readAllStandardError())
                .contains(QStringLiteral("O programa já está sendo executado! Dê um duplo click no ícone "
                                         "correspondente na barra de tarefas.")));
    QTest::qWait(1000);
    QCOMPARE(fileSnapshot(a.home().path()), before);
    QCOMPARE(a.process().state(), QProcess::Running);
    QVERIFY(a.terminate());
}

void TestProgramRun::lockOfACrashedRunIsTakenOver()
{
    StationProcess a(QStringLiteral("pc-a"), QStringLiteral("ANA"));
    QProcess crashed;
    crashed.start(QStringLiteral("/bin/true"), {});
    QVERIFY(crashed.waitForStarted());
    // QProcess forgets the pid once it has seen the end.
    const qint64 deadPid = crashed.processId();
    QVERIFY(crashed.waitForFinished());
    const QString lockPath = SingleInstance::lockFilePath(a.home().home());
    QFile lock(lockPath);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(deadPid) + "\ncolloqua\n" + QSysInfo::machineHostName().toUtf8() + '\n');
    lock.close();

    a.start();
    QVERIFY(a.process().waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(a.lastChannel(), StationProcess::Channel, Patience);
    QVERIFY(lock.open(QIODevice::ReadOnly));
    QCOMPARE(lock.readLine().trimmed(), QByteArray::number(a.process().processId()));
    lock.close();
    QVERIFY(a.terminate());
    // A clean end leaves no lock behind.
    QVERIFY(!QFile::exists(lockPath));
}

void TestProgramRun::signalLogsOff_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestProgramRun::signalLogsOff()
{
    QFETCH(int, signalNumber);
    StationProcess a(QStringLiteral("pc-a"), QStringLiteral("ANA"));
    StationProcess b(QStringLiteral("pc-b"), QStringLiteral("BRUNO"));
    a.start();
    QVERIFY(a.process().waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(a.lastChannel(), StationProcess::Channel, Patience);
    b.start();
    QVERIFY(b.process().waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(b.treeFile(), QStringList { QStringLiteral("ANA (pc-a)") }, Patience);

    QVERIFY(a.stop(signalNumber));
    // The offline entry of the tree file starts with an apostrophe.
    QTRY_COMPARE_WITH_TIMEOUT(b.treeFile(), QStringList { QStringLiteral("'ANA (pc-a)") }, Patience);
    QVERIFY(b.terminate());
}

QTEST_GUILESS_MAIN(TestProgramRun)
#include "tst_programrun.moc"
