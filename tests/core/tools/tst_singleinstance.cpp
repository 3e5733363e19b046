#include "singleinstance.h"
#include "temphome.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

namespace
{
// The pid of a process that has just ended.
qint64 deadPid()
{
    QProcess process;
    process.start(QStringLiteral("/bin/true"), {});
    if (!process.waitForStarted())
        qFatal("cannot start /bin/true");
    // QProcess forgets the pid once it has seen the end.
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
}

void writeLockFile(const QString& path, const QByteArray& bytes, const QDateTime& modified = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the lock file");
    if (modified.isValid())
        file.setFileTime(modified, QFileDevice::FileModificationTime);
}
} // namespace

class TestSingleInstance final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lockNamesTheHome_data();
    void lockNamesTheHome();
    void acquire_data();
    void acquire();

private:
    QTemporaryDir m_runtimeDir;
    QTemporaryDir m_homes;
};

void TestSingleInstance::initTestCase()
{
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir.path()));
    const QString root = m_homes.path();
    QDir().mkpath(root + QStringLiteral("/casa/Dados"));
    QDir().mkpath(root + QStringLiteral("/outra"));
    QFile::link(root + QStringLiteral("/casa"), root + QStringLiteral("/atalho"));
}

void TestSingleInstance::lockNamesTheHome_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("same");

    QTest::newRow("trailing slash") << QStringLiteral("casa") << QStringLiteral("casa/") << true;
    QTest::newRow("dot-dot") << QStringLiteral("casa") << QStringLiteral("outra/../casa") << true;
    QTest::newRow("symbolic link") << QStringLiteral("casa") << QStringLiteral("atalho") << true;
    QTest::newRow("home not created yet, through a link")
        << QStringLiteral("casa/nova") << QStringLiteral("atalho/nova") << true;
    QTest::newRow("another home") << QStringLiteral("casa") << QStringLiteral("outra") << false;
    QTest::newRow("a directory inside the home") << QStringLiteral("casa") << QStringLiteral("casa/Dados") << false;
}

void TestSingleInstance::lockNamesTheHome()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, same);
    const StationHome a(m_homes.path() + QLatin1Char('/') + first);
    const StationHome b(m_homes.path() + QLatin1Char('/') + second);
    QCOMPARE(SingleInstance::lockFilePath(a) == SingleInstance::lockFilePath(b), same);
    QVERIFY(SingleInstance::lockFilePath(a).startsWith(m_runtimeDir.path() + QStringLiteral("/colloqua-")));
    // Naming the lock creates nothing.
    QVERIFY(!QFileInfo::exists(m_homes.path() + QStringLiteral("/casa/nova")));
}

void TestSingleInstance::acquire_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<SingleInstance::Result>("result");

    QTest::newRow("free") << QString() << SingleInstance::Result::Acquired;
    QTest::newRow("held by a live run") << QStringLiteral("live") << SingleInstance::Result::AlreadyRunning;
    QTest::newRow("left by a run that crashed") << QStringLiteral("dead") << SingleInstance::Result::Acquired;
    QTest::newRow("left half-written long ago") << QStringLiteral("empty") << SingleInstance::Result::Acquired;
}

void TestSingleInstance::acquire()
{
    QFETCH(QString, left);
    QFETCH(SingleInstance::Result, result);
    TempHome home;
    const QString lockPath = SingleInstance::lockFilePath(home.home());
    SingleInstance holder(home.home());
    if (left == QLatin1String("live")) {
        QCOMPARE(holder.tryAcquire(), SingleInstance::Result::Acquired);
        // Long held: its age does not make it stale.
        QFile(lockPath).setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime);
    } else if (left == QLatin1String("dead")) {
        writeLockFile(
            lockPath, QByteArray::number(deadPid()) + "\ncolloqua\n" + QSysInfo::machineHostName().toUtf8() + '\n');
    } else if (left == QLatin1String("empty")) {
        writeLockFile(lockPath, QByteArray(), QDateTime::currentDateTime().addDays(-1));
    }

    SingleInstance second(home.home());
    QCOMPARE(second.tryAcquire(), result);
    if (result == SingleInstance::Result::Acquired) {
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readLine().trimmed(), QByteArray::number(QCoreApplication::applicationPid()));
    }
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
