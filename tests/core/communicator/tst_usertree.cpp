#include "treetext.h"
#include "usertree.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace TreeText;

namespace
{
const QLocale Brazil(QLocale::Portuguese, QLocale::Brazil);
}

class TestUserTree : public QObject
{
    Q_OBJECT

private slots:
    void entryText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("user");
        QTest::addColumn<bool>("invisible");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("computer");
        QTest::newRow("online") << u"ana (pc-02)"_s << true << false << false << u"ana"_s << u"pc-02"_s;
        QTest::newRow("invisible") << u".ana (pc-02)"_s << true << true << false << u"ana"_s << u"pc-02"_s;
        QTest::newRow("offline") << u"'ana (pc-02)"_s << true << false << true << u"ana"_s << u"pc-02"_s;
        QTest::newRow("both markers") << u".'ana (pc-02)"_s << true << true << true << u"ana"_s << u"pc-02"_s;
        QTest::newRow("blanks inside") << u" 'ana maria  ( pc-02 ) "_s << true << false << true << u"ana maria"_s
                                       << u"pc-02"_s;
        QTest::newRow("group") << u"Vendas"_s << false << false << false << u"Vendas"_s << QString();
        QTest::newRow("one parenthesis") << u"ana (pc-02"_s << false << false << false << u"ana"_s << QString();
        QTest::newRow("closing first") << u"x) y (z"_s << true << false << false << u"x) y"_s << QString();
    }
    void entryText()
    {
        QFETCH(QString, text);
        QFETCH(bool, user);
        QFETCH(bool, invisible);
        QFETCH(bool, offline);
        QFETCH(QString, name);
        QFETCH(QString, computer);
        QCOMPARE(EhUsuario(text), user);
        QCOMPARE(EhInvisivel(text), invisible);
        QCOMPARE(EhDesconectado(text), offline);
        const UserEntryParts parts = SepararUsuario(text);
        QCOMPARE(parts.user, name);
        QCOMPARE(parts.computer, computer);
    }

    void separateGivesGroup()
    {
        const UserTree tree = treeOf(u"Vendas\n\t'ana (pc-02)\n'bruno (pc-07)"_s);
        QCOMPARE(SepararUsuario(*find(tree, u"'ana (pc-02)"_s)).group, u"Vendas"_s);
        QCOMPARE(SepararUsuario(*find(tree, u"'bruno (pc-07)"_s)).group, QString());
    }

    void acceptableNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("acceptable");
        QTest::newRow("plain") << u"ANA"_s << true;
        QTest::newRow("computer") << u"pc-02"_s << true;
        QTest::newRow("inner blank") << u"ANA MARIA"_s << true;
        QTest::newRow("accented") << u"JOÃO"_s << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("leading blank") << u" ANA"_s << false;
        QTest::newRow("trailing blank") << u"ANA "_s << false;
        QTest::newRow("tab") << u"AN\tA"_s << false;
        QTest::newRow("line break") << u"ANA\r\n\tGRUPO"_s << false;
        QTest::newRow("nul") << u"AN\0A"_s << false;
        QTest::newRow("c1 control") << u"AN\u0081A"_s << false;
        for (const QChar c : u".'()[]|"_s)
            QTest::addRow("holds %c", c.toLatin1()) << (u"AN"_s + c + u"A"_s) << false;
    }
    void acceptableNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, acceptable);
        QCOMPARE(IsAcceptableName(name), acceptable);
    }

    void presence_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("computer");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("changed");

        QTest::newRow("first entry") << QString() << u"ANA"_s << u"pc-01"_s << 0 << u"ANA (pc-01)|0"_s << true;
        QTest::newRow("goes offline") << u"ANA (pc-01)"_s << u"ANA"_s << u"pc-01"_s << 4 << u"'ANA (pc-01)|4"_s << true;
        QTest::newRow("offline to invisible")
            << u"'ANA (pc-01)"_s << u"ANA"_s << u"pc-01"_s << 3 << u".ANA (pc-01)|3"_s << true;
        QTest::newRow("invisible to busy")
            << u".ANA (pc-01)"_s << u"ANA"_s << u"pc-01"_s << 2 << u"ANA (pc-01)|2"_s << true;
        QTest::newRow("away changes the icon only")
            << u"ANA (pc-01)"_s << u"ANA"_s << u"pc-01"_s << 1 << u"ANA (pc-01)|1"_s << true;
        QTest::newRow("same state again")
            << u"ANA (pc-01)"_s << u"ANA"_s << u"pc-01"_s << 0 << u"ANA (pc-01)|0"_s << false;
        QTest::newRow("upper-case computer updates the stored one")
            << u"'ANA (pc-01)"_s << u"ANA"_s << u"PC-01"_s << 0 << u"ANA (pc-01)|0"_s << true;
        QTest::newRow("new computer goes beside the user")
            << u"Vendas\n\t'ANA (pc-01)\n'BIA (pc-03)"_s << u"ANA"_s << u"pc-05"_s << 0
            << u"Vendas|5\n\t'ANA (pc-01)|4\n\tANA (pc-05)|0\n'BIA (pc-03)|4"_s << true;
        QTest::newRow("beside the last entry met")
            << u"Vendas\n\t'ANA (pc-01)\nSuporte\n\t'ANA (pc-02)"_s << u"ANA"_s << u"pc-05"_s << 3
            << u"Vendas|5\n\t'ANA (pc-01)|4\nSuporte|5\n\t'ANA (pc-02)|4\n\t.ANA (pc-05)|3"_s << true;
        QTest::newRow("entry in a group updated in place")
            << u"Vendas\n\t'ANA (pc-01)\n'ANA (pc-02)"_s << u"ANA"_s << u"pc-01"_s << 2
            << u"Vendas|5\n\tANA (pc-01)|2\n'ANA (pc-02)|4"_s << true;
        QTest::newRow("user names compare exactly") << u"Vendas\n\t'ana (pc-01)"_s << u"ANA"_s << u"pc-01"_s << 0
                                                    << u"Vendas|5\n\t'ana (pc-01)|4\nANA (pc-01)|0"_s << true;
        QTest::newRow("a group of the user's name is no entry")
            << u"ANA"_s << u"ANA"_s << u"pc-01"_s << 0 << u"ANA|5\nANA (pc-01)|0"_s << true;

        // Names from the network that would corrupt the entry or the file change nothing.
        const QString tree = u"Vendas\n\t'ANA (pc-01)"_s;
        const QString same = u"Vendas|5\n\t'ANA (pc-01)|4"_s;
        QTest::newRow("empty user") << tree << QString() << u"pc-01"_s << 0 << same << false;
        QTest::newRow("empty computer") << tree << u"ANA"_s << QString() << 0 << same << false;
        QTest::newRow("user with marker") << tree << u".ANA"_s << u"pc-01"_s << 0 << same << false;
        QTest::newRow("user with parenthesis") << tree << u"ANA (pc-09)"_s << u"pc-01"_s << 0 << same << false;
        QTest::newRow("computer with parenthesis") << tree << u"ANA"_s << u"pc-01) (x"_s << 0 << same << false;
        QTest::newRow("user with line break") << tree << u"ANA\r\nVendas2"_s << u"pc-01"_s << 0 << same << false;
        QTest::newRow("user with leading tab") << tree << u"\tANA"_s << u"pc-01"_s << 0 << same << false;
        QTest::newRow("computer with trailing blank") << tree << u"ANA"_s << u"pc-01 "_s << 0 << same << false;
        QTest::newRow("computer with bar") << tree << u"ANA"_s << u"pc|01"_s << 0 << same << false;
        QTest::newRow("index below range") << tree << u"ANA"_s << u"pc-01"_s << -1 << same << false;
        QTest::newRow("index above range") << tree << u"ANA"_s << u"pc-01"_s << 5 << same << false;
    }
    void presence()
    {
        QFETCH(QString, before);
        QFETCH(QString, user);
        QFETCH(QString, computer);
        QFETCH(int, index);
        QFETCH(QString, after);
        QFETCH(bool, changed);
        UserTree tree = treeOf(before);
        QCOMPARE(tree.AtualizarUsuario(user, computer, index), changed);
        QCOMPARE(look(tree), after);
    }

    // A presence finds its entries through an index that an edit between two presences must not
    // leave behind.
    void presenceAfterAnEdit_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("after");

        const QString tree = u"Vendas\n\t'ANA (pc-01)\nSuporte\n\t'ANA (pc-02)"_s;
        QTest::newRow("a released group moves the user's last entry")
            << tree << u"release Vendas"_s << u"Vendas\nSuporte\n\t'ANA (pc-02)\nANA (pc-01)\nANA (pc-05)"_s;
        QTest::newRow("a removed group takes its entries along")
            << tree << u"remove Suporte"_s << u"Vendas\n\tANA (pc-01)\n\tANA (pc-05)"_s;
        QTest::newRow("an emptied tree") << tree << u"clear"_s << u"ANA (pc-05)\nANA (pc-01)"_s;
    }
    void presenceAfterAnEdit()
    {
        QFETCH(QString, before);
        QFETCH(QString, edit);
        QFETCH(QString, after);
        UserTree tree = treeOf(before);
        QVERIFY(tree.AtualizarUsuario(u"ANA"_s, u"pc-01"_s, 0));
        const QString group = edit.section(u' ', 1);
        if (edit.startsWith(u"release"))
            tree.SoltarUsuariosGrupo(tree.ProcurarGrupo(group));
        else if (edit.startsWith(u"remove"))
            tree.removeNode(tree.ProcurarGrupo(group));
        else
            tree.clear();
        QVERIFY(tree.AtualizarUsuario(u"ANA"_s, u"pc-05"_s, 0));
        QVERIFY(tree.AtualizarUsuario(u"ANA"_s, u"pc-01"_s, 0) == edit.startsWith(u"clear"));
        QCOMPARE(shape(tree), after);
    }

    void lookups()
    {
        const UserTree tree = treeOf(u"vendas\n\t'ana (pc-02)\nVendas\n\tVendas\n'ana (pc-01)\nana (pc-09)"_s);
        // Another letter case is another group; only top-level groups count.
        QCOMPARE(tree.ProcurarGrupo(u"Vendas"_s), tree.topLevel(1));
        QCOMPARE(tree.ProcurarGrupo(u"vendas"_s), tree.topLevel(0));
        QCOMPARE(tree.ProcurarGrupo(u"VENDAS"_s), nullptr);
        QCOMPARE(tree.ProcurarGrupo(u"'ana (pc-01)"_s), nullptr);
        // The first entry in index order, the computer only when given.
        QCOMPARE(tree.ProcurarUsuario(u"ana"_s), tree.topLevel(0)->child(0));
        QCOMPARE(tree.ProcurarUsuario(u"ana"_s, u"pc-01"_s), tree.topLevel(2));
        QCOMPARE(tree.ProcurarUsuario(u"ana"_s, u"PC-01"_s), nullptr);
        QCOMPARE(tree.ProcurarUsuario(u"ANA"_s), nullptr);
    }

    void move_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("target"); // empty: the top level
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("moved");

        QTest::newRow("namesakes beside it come along")
            << u"Vendas\n'ana (pc-02)\n'bob (pc-03)\n'ana (pc-05)"_s << u"'ana (pc-02)"_s << u"Vendas"_s
            << u"Vendas|6+\n\t'ana (pc-02)|4\n\t'ana (pc-05)|4\n'bob (pc-03)|4"_s << true;
        QTest::newRow("namesakes elsewhere stay")
            << u"Vendas\nSuporte\n\t'ana (pc-05)\n'ana (pc-02)"_s << u"'ana (pc-02)"_s << u"Vendas"_s
            << u"Vendas|6+\n\t'ana (pc-02)|4\nSuporte|5\n\t'ana (pc-05)|4"_s << true;
        QTest::newRow("other letter case is another user")
            << u"Vendas\n'ana (pc-02)\n'ANA (pc-05)"_s << u"'ana (pc-02)"_s << u"Vendas"_s
            << u"Vendas|6+\n\t'ana (pc-02)|4\n'ANA (pc-05)|4"_s << true;
        QTest::newRow("out of a group to the end")
            << u"Vendas\n\t'ana (pc-02)\n\t'bob (pc-03)\n\t'ana (pc-05)\n'carl (pc-09)"_s << u"'ana (pc-02)"_s
            << QString() << u"Vendas|5\n\t'bob (pc-03)|4\n'carl (pc-09)|4\n'ana (pc-02)|4\n'ana (pc-05)|4"_s << true;
        QTest::newRow("group to group, the emptied one closes")
            << u"A\n\t'ana (p1)\n\t'ana (p2)\nB"_s << u"'ana (p2)"_s << u"B"_s
            << u"A|5\nB|6+\n\t'ana (p2)|4\n\t'ana (p1)|4"_s << true;
        QTest::newRow("into its own group") << u"A\n\t'ana (p1)\n\t'bob (p3)\n\t'ana (p2)"_s << u"'ana (p1)"_s << u"A"_s
                                            << u"A|5\n\t'ana (p1)|4\n\t'bob (p3)|4\n\t'ana (p2)|4"_s << false;
        QTest::newRow("free entry to the top level")
            << u"'ana (p1)\n'bob (p3)\n'ana (p2)"_s << u"'ana (p1)"_s << QString()
            << u"'ana (p1)|4\n'bob (p3)|4\n'ana (p2)|4"_s << false;
        QTest::newRow("a group is no entry") << u"A\nB"_s << u"A"_s << u"B"_s << u"A|5\nB|5"_s << false;
        QTest::newRow("an entry is no target")
            << u"'ana (p1)\n'bob (p3)"_s << u"'ana (p1)"_s << u"'bob (p3)"_s << u"'ana (p1)|4\n'bob (p3)|4"_s << false;
    }
    void move()
    {
        QFETCH(QString, before);
        QFETCH(QString, entry);
        QFETCH(QString, target);
        QFETCH(QString, after);
        QFETCH(bool, moved);
        UserTree tree = treeOf(before);
        UserTreeNode* targetNode = target.isEmpty() ? nullptr : find(tree, target);
        QCOMPARE(tree.MoverUsuario(find(tree, entry), targetNode), moved);
        QCOMPARE(look(tree), after);
    }

    void releaseGroupKeepsOrder()
    {
        UserTree tree = treeOf(u"'zeca (p9)\nVendas\n\t'bia (p2)\n\t'ana (p1)\n\t'bia (p3)\nSuporte"_s);
        tree.SoltarUsuariosGrupo(find(tree, u"Vendas"_s));
        QCOMPARE(shape(tree), u"'zeca (p9)\nVendas\nSuporte\n'bia (p2)\n'ana (p1)\n'bia (p3)"_s);
    }

    void markers_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("unloaded"); // markAllOffline: icons stay
        QTest::addColumn<QString>("loaded"); // markLoaded

        QTest::newRow("online") << u"ana (p1)"_s << u"'ana (p1)|0"_s << u"'ana (p1)|4"_s;
        QTest::newRow("invisible") << u".ana (p1)"_s << u"'ana (p1)|3"_s << u"'ana (p1)|4"_s;
        QTest::newRow("offline") << u"'ana (p1)"_s << u"'ana (p1)|4"_s << u"'ana (p1)|4"_s;
        QTest::newRow("both markers") << u".'ana (p1)"_s << u"'ana (p1)|3"_s << u"'ana (p1)|4"_s;
        QTest::newRow("group trimmed on load")
            << u"Vendas  \n\tana (p1)"_s << u"Vendas  |5\n\t'ana (p1)|0"_s << u"Vendas|5\n\t'ana (p1)|4"_s;
    }
    void markers()
    {
        QFETCH(QString, before);
        QFETCH(QString, unloaded);
        QFETCH(QString, loaded);
        UserTree tree = treeOf(before);
        tree.markAllOffline();
        QCOMPARE(look(tree), unloaded);
        tree = treeOf(before);
        tree.markLoaded();
        QCOMPARE(look(tree), loaded);
    }

    void rebuild_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QStringList>("open");
        QTest::addColumn<bool>("keepOpen");
        QTest::addColumn<QString>("visible");

        QTest::newRow("empty") << QString() << QStringList() << false << QString();
        QTest::newRow("filtered, groups and entries sorted together")
            << u"Vendas\n\tzeca (p1)\n\t'ana (p2)\n\tbeto (p5)\nbruno (p3)\n.carla (p4)\nalfa (p5)\nSuporte"_s
            << QStringList() << false
            << u"alfa (p5)|0\nbruno (p3)|0\nSuporte|5\nVendas|5\n\tbeto (p5)|0\n\tzeca (p1)|0"_s;
        QTest::newRow("accents sort by the locale")
            << u"Zé (p4)\nÉder (p1)\nEva (p2)\nana (p3)\nÁgata (p5)"_s << QStringList() << false
            << u"Ágata (p5)|0\nana (p3)|0\nÉder (p1)|0\nEva (p2)|0\nZé (p4)|0"_s;
        QTest::newRow("texts trimmed") << u"bruno (p3)  \nVendas\u0001\n\tana (p1)\t"_s << QStringList() << false
                                       << u"bruno (p3)|0\nVendas|5\n\tana (p1)|0"_s;
        QTest::newRow("remembered groups open again")
            << u"Vendas\n\tana (p1)\nSuporte\n\tbia (p2)"_s << QStringList { u"Vendas"_s } << false
            << u"Suporte|5\n\tbia (p2)|0\nVendas|6+\n\tana (p1)|0"_s;
        QTest::newRow("a group whose users all left comes back closed")
            << u"Vendas\n\t'ana (p1)\n\t.bia (p2)"_s << QStringList { u"Vendas"_s } << false << u"Vendas|5"_s;
        QTest::newRow("keep groups open") << u"Vendas\n\tana (p1)\nSuporte\n\tbia (p2)\nVazio"_s << QStringList()
                                          << true << u"Suporte|6+\n\tbia (p2)|0\nVazio|5\nVendas|6+\n\tana (p1)|0"_s;
        QTest::newRow("icons come from the state, not the master")
            << u"Vendas"_s << QStringList { u"Vendas"_s } << false << u"Vendas|5"_s;
    }
    void rebuild()
    {
        QFETCH(QString, master);
        QFETCH(QStringList, open);
        QFETCH(bool, keepOpen);
        QFETCH(QString, visible);
        const UserTree tree = treeOf(master);
        const QString stored = look(tree);
        const UserTree built = UserTree::MontarArvore(tree, open, Brazil, keepOpen);
        QCOMPARE(look(built), visible);
        QVERIFY(built.isSorted());
        QCOMPARE(look(tree), stored);
    }

    // A presence burst ends in a rebuild that must not close what the user opened.
    void openGroupsAcrossRebuilds()
    {
        UserTree master = treeOf(u"Vendas\n\t'ana (p1)\n\t'bia (p2)\nSuporte\n\t'caio (p3)\n'duda (p4)"_s);
        master.markLoaded();
        master.AtualizarUsuario(u"ana"_s, u"p1"_s, 0);
        master.AtualizarUsuario(u"caio"_s, u"p3"_s, 0);
        UserTree visible = UserTree::MontarArvore(master, {}, Brazil, false);
        QCOMPARE(look(visible), u"Suporte|5\n\tcaio (p3)|0\nVendas|5\n\tana (p1)|0"_s);

        visible.setExpanded(find(visible, u"Vendas"_s), true);
        QCOMPARE(visible.openGroups(), QStringList { u"Vendas"_s });
        master.AtualizarUsuario(u"bia"_s, u"p2"_s, 1);
        master.AtualizarUsuario(u"duda"_s, u"p4"_s, 2);
        visible = UserTree::MontarArvore(master, visible.openGroups(), Brazil, false);
        QCOMPARE(look(visible), u"duda (p4)|2\nSuporte|5\n\tcaio (p3)|0\nVendas|6+\n\tana (p1)|0\n\tbia (p2)|1"_s);

        // Everybody of the group leaves: it comes back closed, and stays closed when one returns.
        master.AtualizarUsuario(u"ana"_s, u"p1"_s, 4);
        master.AtualizarUsuario(u"bia"_s, u"p2"_s, 3);
        visible = UserTree::MontarArvore(master, visible.openGroups(), Brazil, false);
        QCOMPARE(look(visible), u"duda (p4)|2\nSuporte|5\n\tcaio (p3)|0\nVendas|5"_s);
        QVERIFY(visible.openGroups().isEmpty());
        master.AtualizarUsuario(u"ana"_s, u"p1"_s, 0);
        visible = UserTree::MontarArvore(master, visible.openGroups(), Brazil, false);
        QCOMPARE(look(visible), u"duda (p4)|2\nSuporte|5\n\tcaio (p3)|0\nVendas|5\n\tana (p1)|0"_s);

        // A child of a closed group does not show, so it does not keep the group open.
        visible.setExpanded(find(visible, u"Vendas"_s), false);
        QVERIFY(visible.openGroups().isEmpty());
    }

    void expandingSetsTheGroupIcon()
    {
        UserTree tree = treeOf(u"Vendas\n\tana (p1)\nVazio\nbia (p2)"_s);
        tree.setExpanded(find(tree, u"Vendas"_s), true);
        tree.setExpanded(find(tree, u"Vazio"_s), true);
        QCOMPARE(look(tree), u"Vendas|6+\n\tana (p1)|0\nVazio|5\nbia (p2)|0"_s);
        tree.setExpanded(find(tree, u"Vendas"_s), false);
        QCOMPARE(look(tree), u"Vendas|5\n\tana (p1)|0\nVazio|5\nbia (p2)|0"_s);
    }

    void groupNamesInStoredOrder()
    {
        const UserTree master = treeOf(u"Zeta\n'ana (p1)\nAlfa\n\t'bia (p2)\nbeta"_s);
        QCOMPARE(master.groupNames(), (QStringList { u"Zeta"_s, u"Alfa"_s, u"beta"_s }));
        const UserTree visible = UserTree::MontarArvore(master, {}, Brazil, false);
        QCOMPARE(visible.groupNames(), (QStringList { u"Alfa"_s, u"beta"_s, u"Zeta"_s }));
    }

    void sortedTreeStaysSorted()
    {
        UserTree visible
            = UserTree::MontarArvore(treeOf(u"Vendas\n\tmara (p1)\nbia (p2)\nzeca (p3)"_s), {}, Brazil, false);
        visible.MoverUsuario(find(visible, u"zeca (p3)"_s), find(visible, u"Vendas"_s));
        visible.addNode(nullptr, u"Atendimento"_s, TreeIcon::ClosedGroup);
        visible.MoverUsuario(find(visible, u"bia (p2)"_s), find(visible, u"Vendas"_s));
        QCOMPARE(shape(visible), u"Atendimento\nVendas\n\tbia (p2)\n\tmara (p1)\n\tzeca (p3)"_s);
        visible.setText(find(visible, u"Vendas"_s), u"Comercial"_s);
        QCOMPARE(shape(visible), u"Atendimento\nComercial\n\tbia (p2)\n\tmara (p1)\n\tzeca (p3)"_s);
    }

    void foreignNodesAreIgnored()
    {
        UserTree one = treeOf(u"Vendas\n'ana (p1)"_s);
        UserTree other = treeOf(u"Suporte"_s);
        QVERIFY(!one.MoverUsuario(find(one, u"'ana (p1)"_s), find(other, u"Suporte"_s)));
        QVERIFY(!one.moveNode(find(other, u"Suporte"_s), nullptr));
        one.removeNode(find(other, u"Suporte"_s));
        QVERIFY(!one.moveNode(find(one, u"Vendas"_s), find(one, u"Vendas"_s)));
        QCOMPARE(shape(one), u"Vendas\n'ana (p1)"_s);
        QCOMPARE(shape(other), u"Suporte"_s);
    }

    void copyAndMove()
    {
        UserTree tree = treeOf(u"Vendas\n\tana (p1)\nbia (p2)"_s);
        tree.setExpanded(find(tree, u"Vendas"_s), true);
        UserTree copy = tree.copy();
        QCOMPARE(look(copy), look(tree));
        copy.AtualizarUsuario(u"ana"_s, u"p1"_s, 4);
        QCOMPARE(find(tree, u"ana (p1)"_s)->imageIndex(), 0);

        UserTree moved = std::move(tree);
        QCOMPARE(look(moved), u"Vendas|6+\n\tana (p1)|0\nbia (p2)|0"_s);
        // The nodes moved with the tree and still belong to it.
        QVERIFY(moved.MoverUsuario(find(moved, u"bia (p2)"_s), find(moved, u"Vendas"_s)));
        QVERIFY(tree.isEmpty()); // NOLINT(bugprone-use-after-move): a moved-from tree is empty
        QVERIFY(tree.AtualizarUsuario(u"caio"_s, u"p3"_s, 0));
        QCOMPARE(tree.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestUserTree)
#include "tst_usertree.moc"
