#include "stationhome.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestStationHome : public QObject
{
    Q_OBJECT

private slots:
    void programDirEndsInOneSlash_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("plain") << QString();
        QTest::newRow("one slash") << QStringLiteral("/");
        QTest::newRow("many slashes") << QStringLiteral("///");
        QTest::newRow("dot segment") << QStringLiteral("/./");
    }
    void programDirEndsInOneSlash()
    {
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        const StationHome home(dir.path() + suffix);
        QCOMPARE(home.ProgramDir(), QDir(dir.path()).canonicalPath() + QLatin1Char('/'));
        QVERIFY(!home.ProgramDir().endsWith(QLatin1String("//")));
        QCOMPARE(home.settingsPath(), home.ProgramDir() + QLatin1String("colloqua.ini"));
    }

    void rootHomeKeepsOneSlash() { QCOMPARE(StationHome(QStringLiteral("/")).ProgramDir(), QStringLiteral("/")); }

    void defaultFollowsXdgDataHome()
    {
        qputenv("XDG_DATA_HOME", "/tmp/xdg-test");
        QCOMPARE(StationHome::defaultDir(), QStringLiteral("/tmp/xdg-test/colloqua/"));
        QCOMPARE(StationHome().ProgramDir(), QStringLiteral("/tmp/xdg-test/colloqua/"));
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(StationHome::defaultDir(), QDir::homePath() + QStringLiteral("/.local/share/colloqua/"));
    }

    void dataDirIsFoundInAnyCase_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none: created as Dados") << QString() << QStringLiteral("Dados");
        QTest::newRow("lower case") << QStringLiteral("dados") << QStringLiteral("dados");
        QTest::newRow("upper case") << QStringLiteral("DADOS") << QStringLiteral("DADOS");
        QTest::newRow("Dados") << QStringLiteral("Dados") << QStringLiteral("Dados");
    }
    void dataDirIsFoundInAnyCase()
    {
        QFETCH(QString, existing);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const StationHome home(dir.path());
        if (!existing.isEmpty())
            QVERIFY(QDir(dir.path()).mkdir(existing));
        QVERIFY(home.ensureDataDir());
        QCOMPARE(home.dataDir(), home.ProgramDir() + expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList { expected });
        QCOMPARE(home.dataFile(QStringLiteral("x.dbt")), home.ProgramDir() + expected + QLatin1String("/x.dbt"));
    }

    void aFileInPlaceOfTheDataDirFails()
    {
        QTemporaryDir dir;
        QFile f(dir.path() + QLatin1String("/Dados"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(!StationHome(dir.path()).ensureDataDir());
    }
};

QTEST_GUILESS_MAIN(TestStationHome)
#include "tst_stationhome.moc"
