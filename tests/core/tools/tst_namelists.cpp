#include "fileerror.h"
#include "namelists.h"
#include "temphome.h"

#include <QDir>
#include <QTest>

class TestNameLists : public QObject
{
    Q_OBJECT

private slots:
    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("two names") << QByteArray("ANA\r\nJOAO\r\n")
                                   << QStringList { QStringLiteral("ANA"), QStringLiteral("JOAO") };
        QTest::newRow("empty line between")
            << QByteArray("ANA\r\n\r\nJOAO\r\n") << QStringList { QStringLiteral("ANA"), QStringLiteral("JOAO") };
        QTest::newRow("blanks kept") << QByteArray(" ANA \r\n \r\n")
                                     << QStringList { QStringLiteral(" ANA "), QStringLiteral(" ") };
        QTest::newRow("no final line end")
            << QByteArray("ANA\r\nJOAO") << QStringList { QStringLiteral("ANA"), QStringLiteral("JOAO") };
        QTest::newRow("LF lines") << QByteArray("ANA\nJOAO\n")
                                  << QStringList { QStringLiteral("ANA"), QStringLiteral("JOAO") };
        QTest::newRow("not mirrored") << QByteArray("ZMZ\r\n") << QStringList { QStringLiteral("ZMZ") };
        QTest::newRow("Windows-1252") << QByteArray("JOS\xc9\r\n\x80\r\n")
                                      << QStringList { QStringLiteral("JOSÉ"), QStringLiteral("€") };
        QTest::newRow("empty file") << QByteArray() << QStringList();
    }
    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        const TempHome temp;
        temp.write(QStringLiteral("Dados/usuarios.dbt"), bytes);
        temp.write(QStringLiteral("Dados/canais.dbt"), bytes);
        const NameLists lists(temp.home());
        QStringList users { QStringLiteral("OLD") };
        lists.LoadUserList(users);
        QCOMPARE(users, names);
        QStringList channels { QStringLiteral("OLD") };
        lists.LoadChannelList(channels);
        QCOMPARE(channels, names);
    }

    void missingFileLoadsEmpty()
    {
        const TempHome temp;
        const NameLists lists(temp.home());
        QStringList users { QStringLiteral("OLD") };
        lists.LoadUserList(users);
        QVERIFY(users.isEmpty());
        QVERIFY(!QFile::exists(lists.userListPath()));
    }

    void add_data()
    {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("first start") << QStringList { QStringLiteral("NETWORK") } << QByteArray("NETWORK\r\n");
        QTest::newRow("same name twice") << QStringList { QStringLiteral("ANA"), QStringLiteral("ANA") }
                                         << QByteArray("ANA\r\n");
        QTest::newRow("letter case counts")
            << QStringList { QStringLiteral("ANA"), QStringLiteral("ana") } << QByteArray("ANA\r\nana\r\n");
        QTest::newRow("order of first addition") << QStringList { QStringLiteral("BIA"), QStringLiteral("ANA"),
            QStringLiteral("BIA"), QStringLiteral("CAIO") }
                                                 << QByteArray("BIA\r\nANA\r\nCAIO\r\n");
        QTest::newRow("Windows-1252") << QStringList { QStringLiteral("JOSÉ"), QStringLiteral("JOSÉ") }
                                      << QByteArray("JOS\xc9\r\n");
    }
    void add()
    {
        QFETCH(QStringList, added);
        QFETCH(QByteArray, file);
        const TempHome temp;
        QVERIFY(temp.home().ensureDataDir());
        const NameLists lists(temp.home());
        for (const QString& name : added) {
            lists.AddUserName(name);
            lists.AddChannelName(name);
        }
        QCOMPARE(temp.read(QStringLiteral("Dados/usuarios.dbt")), file);
        QCOMPARE(temp.read(QStringLiteral("Dados/canais.dbt")), file);
        QStringList loaded;
        lists.LoadUserList(loaded);
        QCOMPARE(loaded.size(), file.count('\n'));
    }

    void fileErrors_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::newRow("add without data directory") << true;
        QTest::newRow("load a list that is a directory") << false;
    }
    void fileErrors()
    {
        QFETCH(bool, adding);
        const TempHome temp;
        const NameLists lists(temp.home());
        if (!adding)
            QVERIFY(QDir().mkpath(lists.channelListPath()));
        try {
            if (adding) {
                lists.AddChannelName(QStringLiteral("NETWORK"));
            } else {
                QStringList channels;
                lists.LoadChannelList(channels);
            }
            QFAIL("no error reported");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(lists.channelListPath()), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestNameLists)
#include "tst_namelists.moc"
