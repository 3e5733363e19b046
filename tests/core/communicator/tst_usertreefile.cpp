#include "fakeclock.h"
#include "fileerror.h"
#include "temphome.h"
#include "treetext.h"
#include "usertreefile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace TreeText;

class TestUserTreeFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty tree, empty file") << QByteArray();
        QTest::newRow("group, entry inside, free entry")
            << QByteArray("Vendas\r\n\t'ana (pc-02)\r\n'bruno (pc-07)\r\n");
        QTest::newRow("Windows-1252 text") << QByteArray("Ger\xEAncia\r\n\t'JO\xC3O (pc-01)\r\n\x80uro\r\n");
        QTest::newRow("markers kept as stored") << QByteArray(".ana (p1)\r\nbia (p2)\r\n'caio (p3)\r\n");
        QTest::newRow("trailing blanks kept") << QByteArray("Vendas  \r\n\t'ana (p1) \r\n");
        QTest::newRow("empty group line") << QByteArray("\r\n\t'ana (p1)\r\n");
        QTest::newRow("deeper levels") << QByteArray("A\r\n\tB\r\n\t\tC\r\n\t\t\tD\r\n\tE\r\nF\r\n");
    }
    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        const UserTreeFile::ParseResult parsed = UserTreeFile::fromBytes(bytes);
        QVERIFY(parsed.ok());
        QCOMPARE(UserTreeFile::toBytes(parsed.tree), bytes);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("tree");
        QTest::addColumn<int>("badLine");

        QTest::newRow("lf ends") << QByteArray("Vendas\n\tana (p1)\nbia (p2)\n") << u"Vendas\n\tana (p1)\nbia (p2)"_s
                                 << 0;
        QTest::newRow("cr ends, no final end")
            << QByteArray("Vendas\r\tana (p1)\rbia (p2)") << u"Vendas\n\tana (p1)\nbia (p2)"_s << 0;
        QTest::newRow("a blank is a level too")
            << QByteArray("Vendas\r\n ana (p1)\r\n \tbia (p2)\r\n") << u"Vendas\n\tana (p1)\n\t\tbia (p2)"_s << 0;
        QTest::newRow("first line is top level however indented")
            << QByteArray("\t\tVendas\r\n\tana (p1)\r\n") << u"Vendas\n\tana (p1)"_s << 0;
        QTest::newRow("back up several levels")
            << QByteArray("A\n\tB\n\t\tC\nD\n\tE") << u"A\n\tB\n\t\tC\nD\n\tE"_s << 0;
        QTest::newRow("blank line is an empty node") << QByteArray("A\r\n\r\nB\r\n") << u"A\n\nB"_s << 0;
        QTest::newRow("Windows-1252 decoded")
            << QByteArray("Ger\xEAncia\r\n\t'JO\xC3O (pc-01)\r\n") << u"Gerência\n\t'JOÃO (pc-01)"_s << 0;
        // A line more than one level deeper cannot be placed: it is left out with everything
        // below it, and what follows is read on.
        QTest::newRow("impossible depth") << QByteArray("Vendas\r\n\t\t'ana (p1)\r\n\t'bia (p2)\r\n'caio (p3)\r\n")
                                          << u"Vendas\n\t'bia (p2)\n'caio (p3)"_s << 2;
        QTest::newRow("subtree of an impossible line")
            << QByteArray("A\r\n\t\tB\r\n\t\t\tC\r\n\t\tD\r\n\tE\r\n") << u"A\n\tE"_s << 2;
        QTest::newRow("first bad line reported") << QByteArray("A\n\tB\n\t\t\tC\nD\n\t\tE\n") << u"A\n\tB\nD"_s << 3;
        QTest::newRow("control bytes are text")
            << QByteArray("A\0B\r\n\t\x01\x7F\x81\r\n", 11) << u"A\0B\n\t\u0001\u007F\u0081"_s << 0;
    }
    void reading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, tree);
        QFETCH(int, badLine);
        const UserTreeFile::ParseResult parsed = UserTreeFile::fromBytes(bytes);
        QCOMPARE(shape(parsed.tree), tree);
        QCOMPARE(parsed.badLine, badLine);
        QCOMPARE(parsed.ok(), badLine == 0);
    }

    void readingSetsIcons()
    {
        const UserTree tree = UserTreeFile::fromBytes("Vendas\r\n\tana (p1)\r\n\t.bia (p2)\r\n\t'caio (p3)\r\n").tree;
        QCOMPARE(look(tree), u"Vendas|5\n\tana (p1)|0\n\t.bia (p2)|3\n\t'caio (p3)|4"_s);
    }

    // Texts that cannot come back as they are must at least not break the lines around them.
    void writingNeverSplitsLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("leading blanks and tabs") << u" \t Vendas"_s << QByteArray("Vendas\r\n");
        QTest::newRow("line breaks") << u"Ven\r\ndas\n"_s << QByteArray("Ven  das \r\n");
        QTest::newRow("not in the code page") << u"日本"_s << QByteArray("??\r\n");
    }
    void writingNeverSplitsLines()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        UserTree tree;
        UserTreeNode* group = tree.addNode(nullptr, text, TreeIcon::ClosedGroup);
        tree.addNode(group, u"'ana (p1)"_s, TreeIcon::Offline);
        const QByteArray bytes = UserTreeFile::toBytes(tree);
        QCOMPARE(bytes, line + "\t'ana (p1)\r\n");
        const UserTreeFile::ParseResult parsed = UserTreeFile::fromBytes(bytes);
        QVERIFY(parsed.ok());
        QCOMPARE(parsed.tree.count(), 2);
    }

    // Whatever was read is written so that it reads back the same.
    void anyBytesReadAndWriteBack()
    {
        QRandomGenerator random(4711);
        const QByteArray alphabet("\t\t\t  \r\n\n\r\na(').|\x80\xFF");
        for (int round = 0; round < 500; ++round) {
            QByteArray bytes;
            const int size = random.bounded(300);
            for (int i = 0; i < size; ++i) {
                const bool anyByte = random.bounded(8) == 0;
                bytes.append(anyByte ? char(random.bounded(256)) : alphabet.at(random.bounded(alphabet.size())));
            }
            const QByteArray written = UserTreeFile::toBytes(UserTreeFile::fromBytes(bytes).tree);
            const UserTreeFile::ParseResult again = UserTreeFile::fromBytes(written);
            QVERIFY2(again.ok(), bytes.toHex().constData());
            QCOMPARE(UserTreeFile::toBytes(again.tree), written);
        }
    }

    // A file nests as deep as its bytes allow; nothing walks it by recursion.
    void deepNesting()
    {
        QByteArray bytes;
        const int depth = 3000;
        for (int level = 0; level < depth; ++level)
            bytes += QByteArray(level, '\t') + "G" + QByteArray::number(level) + "\r\n";
        UserTreeFile::ParseResult parsed = UserTreeFile::fromBytes(bytes);
        QVERIFY(parsed.ok());
        QCOMPARE(parsed.tree.count(), depth);
        QCOMPARE(UserTreeFile::toBytes(parsed.tree), bytes);
        parsed.tree.markLoaded();
        const UserTree visible
            = UserTree::MontarArvore(parsed.tree, {}, QLocale(QLocale::Portuguese, QLocale::Brazil), true);
        QCOMPARE(visible.count(), depth);
        QCOMPARE(visible.openGroups().size(), depth - 1);
    }

    void pathInTheDataDirectory()
    {
        TempHome home;
        QCOMPARE(UserTreeFile::path(home.home()), home.file(u"Dados/ArvUsuarios.tv"_s));
        QVERIFY(QDir().mkpath(home.file(u"dados"_s)));
        QCOMPARE(UserTreeFile::path(home.home()), home.file(u"dados/ArvUsuarios.tv"_s));
    }

    void loadMissingFile()
    {
        TempHome home;
        const QString path = UserTreeFile::path(home.home());
        const UserTreeFile::LoadResult loaded = UserTreeFile::CarregarArvore(path, FakeClock());
        QVERIFY(loaded.ok());
        QVERIFY(loaded.tree.isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    void loadMarksEverybodyOffline()
    {
        TempHome home;
        const QByteArray bytes("Vendas\r\n\tana (p1)\r\n\t.bia (p2)\r\n'caio (p3)\r\nSuporte \r\n");
        home.write(u"Dados/ArvUsuarios.tv"_s, bytes);
        const UserTreeFile::LoadResult loaded
            = UserTreeFile::CarregarArvore(UserTreeFile::path(home.home()), FakeClock());
        QVERIFY(loaded.ok());
        QVERIFY(loaded.movedTo.isEmpty());
        QCOMPARE(look(loaded.tree), u"Vendas|5\n\t'ana (p1)|4\n\t'bia (p2)|4\n'caio (p3)|4\nSuporte|5"_s);
        QCOMPARE(home.read(u"Dados/ArvUsuarios.tv"_s), bytes);
    }

    // A malformed file must not stop every logon from now on.
    void loadMalformedKeepsReadablePart()
    {
        TempHome home;
        const QByteArray bytes("Vendas\r\n\t\t'ana (p1)\r\n\t'bia (p2)\r\n");
        home.write(u"Dados/ArvUsuarios.tv"_s, bytes);
        const QString path = UserTreeFile::path(home.home());
        FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5)));

        const UserTreeFile::LoadResult loaded = UserTreeFile::CarregarArvore(path, clock);
        QVERIFY(!loaded.ok());
        QCOMPARE(shape(loaded.tree), u"Vendas\n\t'bia (p2)"_s);
        QCOMPARE(loaded.movedTo, path + u".bad-20261207-143005"_s);
        QVERIFY(loaded.error.contains(QDir::toNativeSeparators(loaded.movedTo)));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(home.read(u"Dados/ArvUsuarios.tv.bad-20261207-143005"_s), bytes);

        // The next save writes the readable part; the next load is clean.
        UserTreeFile::save(loaded.tree, path);
        QVERIFY(UserTreeFile::CarregarArvore(path, clock).ok());

        // A second bad file in the same second does not overwrite the first.
        home.write(u"Dados/ArvUsuarios.tv"_s, "A\r\n\t\t\tB\r\n");
        const UserTreeFile::LoadResult again = UserTreeFile::CarregarArvore(path, clock);
        QCOMPARE(again.movedTo, path + u".bad-20261207-143005-2"_s);
        QCOMPARE(home.read(u"Dados/ArvUsuarios.tv.bad-20261207-143005"_s), bytes);
        QCOMPARE(shape(again.tree), u"A"_s);
    }

    void loadUnreadableFile()
    {
        TempHome home;
        const QString path = UserTreeFile::path(home.home());
        QVERIFY(QDir().mkpath(path));
        const UserTreeFile::LoadResult loaded = UserTreeFile::CarregarArvore(path, FakeClock());
        QVERIFY(!loaded.ok());
        QVERIFY(loaded.tree.isEmpty());
        QVERIFY(!loaded.movedTo.isEmpty());
        // Moved out of the way, so the tree can be saved again.
        UserTreeFile::save(UserTreeFile::fromBytes("Vendas\r\n").tree, path);
        QCOMPARE(home.read(u"Dados/ArvUsuarios.tv"_s), QByteArray("Vendas\r\n"));
    }

    // Presence bursts save without waiting for the disk, the user's edits wait; both replace the
    // file the same way.
    void saveReplacesTheFile_data()
    {
        QTest::addColumn<bool>("flushed");
        QTest::newRow("flushed") << true;
        QTest::newRow("left to the system") << false;
    }
    void saveReplacesTheFile()
    {
        QFETCH(bool, flushed);
        const auto save = flushed ? &UserTreeFile::save : &UserTreeFile::saveWithoutFlush;
        TempHome home;
        const QString path = UserTreeFile::path(home.home());
        // The data directory is made when missing.
        save(treeOf(u"Vendas\n\t'ana (p1)\n'Gerência (p2)"_s), path);
        QCOMPARE(home.read(u"Dados/ArvUsuarios.tv"_s), QByteArray("Vendas\r\n\t'ana (p1)\r\n'Ger\xEAncia (p2)\r\n"));
        const QFile::Permissions chosen = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(path, chosen));
        save(UserTree(), path);
        QCOMPARE(home.read(u"Dados/ArvUsuarios.tv"_s), QByteArray());
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), chosen);
        UserTreeFile::flush(path);
        // Nothing is left beside it.
        QCOMPARE(
            QDir(home.home().dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList { u"ArvUsuarios.tv"_s });
    }

    void saveFailureThrows_data() { saveReplacesTheFile_data(); }
    void saveFailureThrows()
    {
        QFETCH(bool, flushed);
        const auto save = flushed ? &UserTreeFile::save : &UserTreeFile::saveWithoutFlush;
        TempHome home;
        home.write(u"Dados"_s, "not a directory");
        QVERIFY_THROWS_EXCEPTION(FileError, save(treeOf(u"Vendas"_s), home.file(u"Dados/ArvUsuarios.tv"_s)));
        // A directory in the file's place cannot be replaced; nothing is left beside it.
        TempHome other;
        const QString path = UserTreeFile::path(other.home());
        QVERIFY(QDir().mkpath(path));
        QVERIFY_THROWS_EXCEPTION(FileError, save(treeOf(u"Vendas"_s), path));
        QCOMPARE(QDir(other.home().dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void unloadSavesOfflineAndEmpties()
    {
        TempHome home;
        const QString path = UserTreeFile::path(home.home());
        UserTree master = treeOf(u"Vendas\n\tana (p1)\n\t.bia (p2)\n'caio (p3)"_s);
        UserTreeFile::DescarregarArvore(master, path);
        QVERIFY(master.isEmpty());
        QCOMPARE(
            home.read(u"Dados/ArvUsuarios.tv"_s), QByteArray("Vendas\r\n\t'ana (p1)\r\n\t'bia (p2)\r\n'caio (p3)\r\n"));

        // A failing save still ends the session's tree.
        master = treeOf(u"'ana (p1)"_s);
        home.write(u"blocked"_s, "file");
        QVERIFY_THROWS_EXCEPTION(
            FileError, UserTreeFile::DescarregarArvore(master, home.file(u"blocked/ArvUsuarios.tv"_s)));
        QVERIFY(master.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUserTreeFile)
#include "tst_usertreefile.moc"
