#include "copyrun.h"
#include "fakeclock.h"
#include "fileerror.h"
#include "historyfiles.h"
#include "namelists.h"
#include "settings.h"
#include "stationprocess.h"
#include "temphome.h"
#include "torbfindfile.h"
#include "usertreefile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/mount.h>
#include <unistd.h>

// Every save of the station on a full disk and in a home it may not write: the save reports
// an error and everything already stored stays byte for byte as it was.
//
// The full disk is a small tmpfs and the read-only home a read-only bind mount, both mounted
// over the home by the test, which needs root (CI runs as root). Without root, the read-only
// home is made by taking the write permissions away, which root would ignore.
namespace
{
constexpr int Patience = StationProcess::Patience;
const QString Filler = QStringLiteral("enchimento");
const QString OldBackup = QStringLiteral("Bk antigo");

// Mounts over a directory for one test; unmounted with the object, however the test ends.
class ScratchMount final
{
public:
    ScratchMount() = default;
    ~ScratchMount()
    {
        for (auto it = m_mounted.crbegin(); it != m_mounted.crend(); ++it)
            ::umount2(QFile::encodeName(*it).constData(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool tmpfs(const QString& dir, const QByteArray& options)
    {
        return done(dir, ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options.constData()));
    }
    // The directory, as it is, seen read-only from now on.
    bool readOnly(const QString& dir)
    {
        const QByteArray path = QFile::encodeName(dir);
        if (!done(dir, ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr)))
            return false;
        return ::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }

private:
    bool done(const QString& dir, int result)
    {
        if (result != 0)
            return false;
        m_mounted.append(dir);
        return true;
    }

    QList<QString> m_mounted;
};

// Takes the write permissions off a tree and gives them back with the object.
class WriteProtection final
{
public:
    explicit WriteProtection(const QString& dir)
    {
        QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        QStringList entries { dir };
        while (it.hasNext())
            entries.append(it.next());
        // Files first, then directories from the deepest up.
        for (auto e = entries.crbegin(); e != entries.crend(); ++e) {
            QFile::Permissions permissions = QFile::permissions(*e);
            m_saved.append({ *e, permissions });
            QFile::setPermissions(
                *e, permissions & ~(QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther));
        }
    }
    ~WriteProtection()
    {
        for (auto e = m_saved.crbegin(); e != m_saved.crend(); ++e)
            QFile::setPermissions(e->first, e->second);
    }
    WriteProtection(const WriteProtection&) = delete;
    WriteProtection& operator=(const WriteProtection&) = delete;

private:
    QList<std::pair<QString, QFile::Permissions>> m_saved;
};

// What the station keeps in its home before the fault.
void populate(const StationHome& home)
{
    home.ensureDataDir();
    Settings settings(home);
    settings.WriteSetting(
        QStringLiteral("SETUP"), QStringLiteral("DEFAULT_USER"), SettingString, QStringLiteral("ANA"));
    settings.WriteSetting(QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_ARQHIST"), SettingInteger, 5);
    UserTree tree;
    UserTreeNode* group = tree.addNode(nullptr, QStringLiteral("VENDAS"), 0);
    for (int i = 0; i < 10; ++i)
        tree.addNode(group, QStringLiteral("USUARIO%1").arg(i), 0);
    UserTreeFile::save(tree, UserTreeFile::path(home));
    const HistoryFiles history(home, settings);
    for (int i = 0; i < 8; ++i) {
        history.AppendReceived(
            QStringLiteral("07/12/2026 10:%1:00\tBRUNO\tCANAL\tchegou %1").arg(i, 2, 10, QLatin1Char('0')));
        history.AppendSent(QStringLiteral("07/12/2026 11:%1:00\tANA\tCANAL\tfoi %1").arg(i, 2, 10, QLatin1Char('0')));
    }
    NameLists(home).AddUserName(QStringLiteral("BRUNO"));
    NameLists(home).AddChannelName(QStringLiteral("CANAL"));
    TOrbFindFile finder;
    CopyRun run;
    QDir().mkpath(home.ProgramDir() + OldBackup);
    run.Start(finder, home.dataDir(), home.ProgramDir() + OldBackup);
    if (!run.CopyAll())
        qFatal("cannot make the backup");
}

// Longer than a page, so that the slack at the end of a file cannot hold it.
QString longText(const QString& head)
{
    return head + QString(5000, QLatin1Char('y'));
}

// Runs one save of the station; the error it reported, "" when it reported none.
QString save(const QString& action, const StationHome& home)
{
    Settings settings(home);
    const HistoryFiles history(home, settings);
    try {
        if (action == QLatin1String("tree")) {
            UserTree tree;
            tree.addNode(nullptr, longText(QStringLiteral("NOVO")), 0);
            UserTreeFile::save(tree, UserTreeFile::path(home));
        } else if (action == QLatin1String("burst tree")) {
            UserTree tree;
            tree.addNode(nullptr, longText(QStringLiteral("NOVO")), 0);
            UserTreeFile::saveWithoutFlush(tree, UserTreeFile::path(home));
        } else if (action == QLatin1String("logoff")) {
            FakeClock clock;
            UserTree tree = UserTreeFile::CarregarArvore(UserTreeFile::path(home), clock).tree;
            tree.addNode(nullptr, longText(QStringLiteral("NOVO")), 0);
            UserTreeFile::DescarregarArvore(tree, UserTreeFile::path(home));
        } else if (action == QLatin1String("append received")) {
            history.AppendReceived(longText(QStringLiteral("07/12/2026 12:00:00\tBRUNO\tCANAL\t")));
        } else if (action == QLatin1String("append sent")) {
            history.AppendSent(longText(QStringLiteral("07/12/2026 12:00:00\tANA\tCANAL\t")));
        } else if (action == QLatin1String("trim received")) {
            history.TrimHistoryFile(history.receivedPath());
        } else if (action == QLatin1String("trim sent")) {
            history.TrimHistoryFile(history.sentPath());
        } else if (action == QLatin1String("setting")) {
            settings.WriteSetting(QStringLiteral("SETUP"), QStringLiteral("DEFAULT_USER"), SettingString, longText({}));
        } else if (action == QLatin1String("settings")) {
            settings.writeSettings(
                { { QStringLiteral("SETUP"), QStringLiteral("DEFAULT_USER"), SettingString, QStringLiteral("CARLA") },
                    { QStringLiteral("SETUP"), QStringLiteral("NOVA"), SettingString, longText({}) } });
        } else if (action == QLatin1String("user name")) {
            NameLists(home).AddUserName(longText(QStringLiteral("NOVO")));
        } else if (action == QLatin1String("backup")) {
            TOrbFindFile finder;
            CopyRun run;
            run.Start(finder, home.dataDir(), home.ProgramDir() + OldBackup);
            if (!run.CopyAll())
                return QStringLiteral("the copy of %1 failed").arg(run.nextName());
        }
    } catch (const FileError& error) {
        return error.message();
    }
    return {};
}

// Every file under `dir` with its bytes, the filler left out.
QMap<QString, QByteArray> contents(const QString& dir)
{
    QMap<QString, QByteArray> files;
    const QDir base(dir);
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = base.relativeFilePath(path);
        if (relative == Filler)
            continue;
        QFile file(path);
        files.insert(relative, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>"));
    }
    return files;
}

QString differences(const QMap<QString, QByteArray>& before, const QMap<QString, QByteArray>& after)
{
    QStringList changed;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changed.append(it.key() + QStringLiteral(" is gone"));
        else if (after.value(it.key()) != it.value())
            changed.append(QStringLiteral("%1 changed (%2 bytes, was %3)")
                               .arg(it.key())
                               .arg(after.value(it.key()).size())
                               .arg(it.value().size()));
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            changed.append(it.key() + QStringLiteral(" appeared"));
    }
    return changed.join(QStringLiteral("; "));
}

// Writes the filler until the file system refuses even one more byte.
qint64 fillUp(const QString& path)
{
    QFile filler(path);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return -1;
    const QByteArray page(4096, 'f');
    while (filler.write(page) == page.size()) { }
    while (filler.write("f", 1) == 1) { }
    return filler.size();
}

bool isRoot()
{
    return ::geteuid() == 0;
}

void addSaveRows()
{
    QTest::addColumn<QString>("action");
    // The name of the file the error must name; empty for a save that reports only failure.
    QTest::addColumn<QString>("named");
    QTest::newRow("tree save") << QStringLiteral("tree") << QStringLiteral("ArvUsuarios.tv");
    QTest::newRow("tree after a presence burst") << QStringLiteral("burst tree") << QStringLiteral("ArvUsuarios.tv");
    QTest::newRow("tree at logoff") << QStringLiteral("logoff") << QStringLiteral("ArvUsuarios.tv");
    QTest::newRow("received append") << QStringLiteral("append received") << QStringLiteral("hist_recv.dbt");
    QTest::newRow("sent append") << QStringLiteral("append sent") << QStringLiteral("hist_send.dbt");
    QTest::newRow("received trim") << QStringLiteral("trim received") << QStringLiteral("swap.dbt");
    QTest::newRow("sent trim") << QStringLiteral("trim sent") << QStringLiteral("swap.dbt");
    QTest::newRow("one setting") << QStringLiteral("setting") << QStringLiteral("colloqua.ini");
    QTest::newRow("several settings") << QStringLiteral("settings") << QStringLiteral("colloqua.ini");
    QTest::newRow("user name") << QStringLiteral("user name") << QStringLiteral("usuarios.dbt");
    QTest::newRow("backup over an old one") << QStringLiteral("backup") << QString();
}
} // namespace

class TestDiskFaults final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fullDisk_data();
    void fullDisk();
    void readOnlyHome_data();
    void readOnlyHome();
    void stationInReadOnlyHome();

private:
    QTemporaryDir m_runtimeDir;
};

void TestDiskFaults::initTestCase()
{
    // The stations started here lock in a directory of their own.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir.path()));
}

void TestDiskFaults::fullDisk_data()
{
    addSaveRows();
}

void TestDiskFaults::fullDisk()
{
    QFETCH(QString, action);
    QFETCH(QString, named);
    if (!isRoot())
        QSKIP("mounting the small file system needs root");
    TempHome home;
    ScratchMount mount;
    if (!mount.tmpfs(home.path(), "size=256k"))
        QSKIP(qPrintable(QStringLiteral("no tmpfs could be mounted: ") + qt_error_string(errno)));
    populate(home.home());
    QVERIFY(fillUp(home.file(Filler)) > 0);
    const QMap<QString, QByteArray> before = contents(home.path());

    const QString error = save(action, home.home());
    QVERIFY2(!error.isEmpty(), "a save on a full disk reported success");
    if (!named.isEmpty())
        QVERIFY2(error.contains(named), qPrintable(error));
    const QString changed = differences(before, contents(home.path()));
    QVERIFY2(changed.isEmpty(), qPrintable(changed));

    // With room again the same save goes through: the disk was what failed it.
    QVERIFY(QFile::remove(home.file(Filler)));
    const QString again = save(action, home.home());
    QVERIFY2(again.isEmpty(), qPrintable(again));
}

void TestDiskFaults::readOnlyHome_data()
{
    addSaveRows();
}

void TestDiskFaults::readOnlyHome()
{
    QFETCH(QString, action);
    QFETCH(QString, named);
    TempHome home;
    populate(home.home());
    const QMap<QString, QByteArray> before = contents(home.path());

    ScratchMount mount;
    std::unique_ptr<WriteProtection> protection;
    if (isRoot()) {
        if (!mount.readOnly(home.path()))
            QSKIP(qPrintable(QStringLiteral("no read-only bind mount: ") + qt_error_string(errno)));
    } else {
        protection = std::make_unique<WriteProtection>(home.path());
    }

    const QString error = save(action, home.home());
    const bool trim = action.startsWith(QLatin1String("trim"));
    if (trim) {
        // A trim that cannot make its work file leaves the history as it is, without a word.
        QVERIFY2(error.isEmpty(), qPrintable(error));
    } else {
        QVERIFY2(!error.isEmpty(), "a save in a read-only home reported success");
        if (!named.isEmpty())
            QVERIFY2(error.contains(named), qPrintable(error));
    }
    const QString changed = differences(before, contents(home.path()));
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void TestDiskFaults::stationInReadOnlyHome()
{
    StationProcess station(QStringLiteral("pc-a"), QStringLiteral("ANA"));
    populate(station.home().home());
    // A home the start-up checks pass, so that the station goes on to log on.
    QVERIFY(QDir().mkpath(station.home().file(QStringLiteral("Plug-Ins"))));
    const QMap<QString, QByteArray> before = contents(station.home().path());

    ScratchMount mount;
    std::unique_ptr<WriteProtection> protection;
    if (isRoot()) {
        if (!mount.readOnly(station.home().path()))
            QSKIP(qPrintable(QStringLiteral("no read-only bind mount: ") + qt_error_string(errno)));
    } else {
        protection = std::make_unique<WriteProtection>(station.home().path());
    }

    QProcess& process = station.process();
    process.setProcessChannelMode(QProcess::SeparateChannels);
    station.startOn(process, QStringLiteral("pc-a"));
    QVERIFY(process.waitForStarted(Patience));
    // The logon writes the last channel and the histories; each failure reaches the user, here on
    // the console, and the station runs on.
    QByteArray errors;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (errors += process.readAllStandardError()).contains("colloqua.ini") && errors.contains("hist_recv.dbt"),
        errors.constData(), Patience);
    QCOMPARE(process.state(), QProcess::Running);
    // The log-off saves the tree, which fails alike; the station still ends cleanly.
    QVERIFY(station.terminate());
    errors += process.readAllStandardError();
    QVERIFY2(errors.contains("ArvUsuarios.tv"), errors.constData());
    const QString changed = differences(before, contents(station.home().path()));
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

QTEST_GUILESS_MAIN(TestDiskFaults)
#include "tst_diskfaults.moc"
