#include "groupcommands.h"
#include "queuedprompter.h"
#include "treetext.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace TreeText;
using namespace GroupCommands;

namespace
{
const QLocale Brazil(QLocale::Portuguese, QLocale::Brazil);

QString shown(const char* text)
{
    return GroupCommands::tr(text);
}

// What the user saw, one line per prompt.
QStringList transcript(const QueuedPrompter& prompter)
{
    QStringList lines;
    for (const QueuedPrompter::Asked& asked : prompter.asked()) {
        if (asked.what == QLatin1String("askText")) {
            lines.append(u"ask "_s + asked.title + u" ["_s + asked.text.section(QLatin1Char('\n'), 1) + u"]"_s);
        } else {
            const QString kind = QueuedPrompter::kindName(asked.kind) + u' ';
            lines.append((asked.what == QLatin1String("confirm") ? u"confirm "_s + kind : kind) + asked.text);
        }
    }
    return lines;
}

const QString InvalidWarning = u"warning "_s + shown(NomeInvalido);
const QString ExistsInfo = u"information "_s + shown(GrupoJaExiste);
const QString ExistsWarning = u"warning "_s + shown(GrupoJaExiste);

QString askCreate(const QString& initial)
{
    return u"ask Criação de Grupo ["_s + initial + u"]"_s;
}

QString askRename(const QString& initial)
{
    return u"ask Alteração de Grupo ["_s + initial + u"]"_s;
}

// The follow-ups as letters: m menus, s save, r rebuild, v mirror the visible tree.
QString followUps(const TreeChange& change)
{
    QString letters;
    if (change.rebuildMenus)
        letters += QLatin1Char('m');
    if (change.save)
        letters += QLatin1Char('s');
    if (change.rebuildVisible)
        letters += QLatin1Char('r');
    if (change.visibleChanged)
        letters += QLatin1Char('v');
    return letters;
}
} // namespace

class TestGroupCommands : public QObject
{
    Q_OBJECT

private slots:
    void messages()
    {
        QCOMPARE(shown(NomeInvalido), u"Nome inválido!\rEvite usar os caracteres:  . ' ( ) [ ] |"_s);
        QCOMPARE(shown(GrupoJaExiste), u"Grupo já existe!"_s);
        QCOMPARE(shown(ConfirmaRemocao),
            u"Ao remover um grupo todos os usuários que pertenciam \ra este grupo ficarão livres na árvore de "
            u"usuários!\r\r"
            u"Confirma remoção do grupo?"_s);
    }

    void checkName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("check");
        QTest::addColumn<QString>("name");
        const int valid = int(NameCheck::Valid);
        const int invalid = int(NameCheck::Invalid);
        const int exists = int(NameCheck::Exists);
        QTest::newRow("new") << u"Suporte"_s << valid << u"Suporte"_s;
        QTest::newRow("trimmed") << u"  Suporte\t"_s << valid << u"Suporte"_s;
        QTest::newRow("accented") << u"Gerência"_s << valid << u"Gerência"_s;
        QTest::newRow("inner blank") << u"Apoio Técnico"_s << valid << u"Apoio Técnico"_s;
        QTest::newRow("other letter case") << u"VENDAS"_s << valid << u"VENDAS"_s;
        QTest::newRow("existing") << u"Vendas"_s << exists << u"Vendas"_s;
        QTest::newRow("existing after trimming") << u" Vendas "_s << exists << u"Vendas"_s;
        QTest::newRow("empty") << QString() << invalid << QString();
        QTest::newRow("blank") << u"   "_s << invalid << QString();
        QTest::newRow("control character") << u"Ven\u0007das"_s << invalid << u"Ven\u0007das"_s;
        QTest::newRow("line break inside") << u"Ven\r\ndas"_s << invalid << u"Ven\r\ndas"_s;
        QTest::newRow("not storable") << u"営業"_s << invalid << u"営業"_s;
        for (const QChar c : u".'()[]|"_s)
            QTest::addRow("holds %c", c.toLatin1())
                << (u"Su"_s + c + u"porte"_s) << invalid << (u"Su"_s + c + u"porte"_s);
    }
    void checkName()
    {
        QFETCH(QString, typed);
        QFETCH(int, check);
        QFETCH(QString, name);
        const UserTree master = treeOf(u"Vendas\n\t'ana (p1)\n'bob (p2)"_s);
        const CheckedName checked = checkGroupName(master, typed);
        QCOMPARE(int(checked.check), check);
        QCOMPARE(checked.name, name);
    }

    void create_data()
    {
        QTest::addColumn<QStringList>("answers"); // then the dialog is cancelled
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("followUps");

        QTest::newRow("cancelled") << QStringList() << QStringList { askCreate({}) } << u"Vendas"_s << QString();
        QTest::newRow("added last") << QStringList { u"Suporte"_s } << QStringList { askCreate({}) }
                                    << u"Vendas\nSuporte"_s << u"msr"_s;
        QTest::newRow("trimmed") << QStringList { u"  Suporte "_s } << QStringList { askCreate({}) }
                                 << u"Vendas\nSuporte"_s << u"msr"_s;
        QTest::newRow("other letter case is another group")
            << QStringList { u"vendas"_s } << QStringList { askCreate({}) } << u"Vendas\nvendas"_s << u"msr"_s;
        QTest::newRow("invalid asks again with what was typed")
            << QStringList { u"Su[porte"_s, u"Suporte"_s }
            << QStringList { askCreate({}), InvalidWarning, askCreate(u"Su[porte"_s) } << u"Vendas\nSuporte"_s
            << u"msr"_s;
        QTest::newRow("blank is invalid")
            << QStringList { u"  "_s } << QStringList { askCreate({}), InvalidWarning, askCreate(u"  "_s) }
            << u"Vendas"_s << QString();
        QTest::newRow("existing is refused once")
            << QStringList { u"Vendas"_s, u"Suporte"_s } << QStringList { askCreate({}), ExistsInfo } << u"Vendas"_s
            << QString();
    }
    void create()
    {
        QFETCH(QStringList, answers);
        QFETCH(QStringList, seen);
        QFETCH(QString, after);
        QFETCH(QString, followUps);
        UserTree master = treeOf(u"Vendas"_s);
        QueuedPrompter prompter;
        for (const QString& answer : answers)
            prompter.queueText(answer);
        const TreeChange change = createGroup(master, prompter);
        QCOMPARE(transcript(prompter), seen);
        QCOMPARE(shape(master), after);
        QCOMPARE(::followUps(change), followUps);
    }

    void rename_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("followUps");

        const QString before = u"Vendas\n\t'ana (p1)\nSuporte"_s;
        QTest::newRow("cancelled") << u"Vendas"_s << QStringList() << QStringList { askRename(u"Vendas"_s) } << before
                                   << QString();
        QTest::newRow("renamed, entries stay")
            << u"Vendas"_s << QStringList { u"Comercial"_s } << QStringList { askRename(u"Vendas"_s) }
            << u"Comercial\n\t'ana (p1)\nSuporte"_s << u"msr"_s;
        QTest::newRow("letter case only")
            << u"Vendas"_s << QStringList { u"VENDAS"_s } << QStringList { askRename(u"Vendas"_s) }
            << u"VENDAS\n\t'ana (p1)\nSuporte"_s << u"msr"_s;
        QTest::newRow("keeping the name counts as existing")
            << u"Vendas"_s << QStringList { u"Vendas"_s } << QStringList { askRename(u"Vendas"_s), ExistsInfo }
            << before << QString();
        QTest::newRow("another group's name")
            << u"Vendas"_s << QStringList { u"Suporte "_s } << QStringList { askRename(u"Vendas"_s), ExistsInfo }
            << before << QString();
        QTest::newRow("invalid asks again from the current name")
            << u"Vendas"_s << QStringList { u"Ven|das"_s, u"Comercial"_s }
            << QStringList { askRename(u"Vendas"_s), InvalidWarning, askRename(u"Vendas"_s) }
            << u"Comercial\n\t'ana (p1)\nSuporte"_s << u"msr"_s;
        QTest::newRow("empty is invalid")
            << u"Vendas"_s << QStringList { QString() }
            << QStringList { askRename(u"Vendas"_s), InvalidWarning, askRename(u"Vendas"_s) } << before << QString();
        QTest::newRow("group gone from the master") << u"Fantasma"_s << QStringList { u"Comercial"_s }
                                                    << QStringList { askRename(u"Fantasma"_s) } << before << QString();
    }
    void rename()
    {
        QFETCH(QString, group);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, seen);
        QFETCH(QString, after);
        QFETCH(QString, followUps);
        UserTree master = treeOf(u"Vendas\n\t'ana (p1)\nSuporte"_s);
        QueuedPrompter prompter;
        for (const QString& answer : answers)
            prompter.queueText(answer);
        const TreeChange change = renameGroup(master, group, prompter);
        QCOMPARE(transcript(prompter), seen);
        QCOMPARE(shape(master), after);
        QCOMPARE(::followUps(change), followUps);
    }

    void remove_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("followUps");

        QTest::newRow("no keeps it") << u"Vendas"_s << false
                                     << QByteArray("'zeca (p9)\r\nVendas\r\n\t'bia (p2)\r\n\t'ana (p1)\r\nSuporte\r\n")
                                     << QString();
        // Offline entries stay in the file, free at the end of the top level, in their order.
        QTest::newRow("entries go free in order")
            << u"Vendas"_s << true << QByteArray("'zeca (p9)\r\nSuporte\r\n'bia (p2)\r\n'ana (p1)\r\n") << u"msr"_s;
        QTest::newRow("empty group") << u"Suporte"_s << true
                                     << QByteArray("'zeca (p9)\r\nVendas\r\n\t'bia (p2)\r\n\t'ana (p1)\r\n")
                                     << u"msr"_s;
        QTest::newRow("group gone from the master")
            << u"Fantasma"_s << true << QByteArray("'zeca (p9)\r\nVendas\r\n\t'bia (p2)\r\n\t'ana (p1)\r\nSuporte\r\n")
            << QString();
    }
    void remove()
    {
        QFETCH(QString, group);
        QFETCH(bool, yes);
        QFETCH(QByteArray, file);
        QFETCH(QString, followUps);
        UserTree master = treeOf(u"'zeca (p9)\nVendas\n\t'bia (p2)\n\t'ana (p1)\nSuporte"_s);
        QueuedPrompter prompter;
        prompter.queueConfirm(yes);
        const TreeChange change = removeGroup(master, group, prompter);
        QCOMPARE(transcript(prompter), QStringList { u"confirm warning "_s + shown(ConfirmaRemocao) });
        QCOMPARE(UserTreeFile::toBytes(master), file);
        QCOMPARE(::followUps(change), followUps);
    }

    void takeOut_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("selected"); // in the visible tree
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("followUps");

        QTest::newRow("every computer of the user leaves")
            << u"Vendas\n\tana (p1)\n\tbob (p3)\n\t'ana (p2)\nSuporte\n\tana (p4)"_s << u"ana (p1)"_s
            << u"Vendas\n\tbob (p3)\nSuporte\n\tana (p4)\nana (p1)\n'ana (p2)"_s << u"sr"_s;
        QTest::newRow("free entry does nothing")
            << u"ana (p1)\nVendas\n\tana (p2)"_s << u"ana (p1)"_s << u"ana (p1)\nVendas\n\tana (p2)"_s << QString();
        QTest::newRow("group does nothing")
            << u"Vendas\n\tana (p1)"_s << u"Vendas"_s << u"Vendas\n\tana (p1)"_s << QString();
    }
    void takeOut()
    {
        QFETCH(QString, master);
        QFETCH(QString, selected);
        QFETCH(QString, after);
        QFETCH(QString, followUps);
        UserTree stored = treeOf(master);
        const UserTree visible = UserTree::MontarArvore(stored, {}, Brazil, false);
        const TreeChange change = takeUserOutOfGroup(stored, find(visible, selected));
        QCOMPARE(shape(stored), after);
        QCOMPARE(::followUps(change), followUps);
    }

    void putInto_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("selected"); // in the visible tree
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("followUps");

        QTest::newRow("with the namesakes beside it")
            << u"Vendas\nana (p1)\nbob (p3)\n'ana (p2)"_s << u"ana (p1)"_s << u"Vendas"_s
            << u"Vendas\n\tana (p1)\n\t'ana (p2)\nbob (p3)"_s << u"sr"_s;
        QTest::newRow("from one group to another")
            << u"A\n\tana (p1)\nB"_s << u"ana (p1)"_s << u"B"_s << u"A\nB\n\tana (p1)"_s << u"sr"_s;
        QTest::newRow("missing group keeps the user in place")
            << u"A\n\tana (p1)"_s << u"ana (p1)"_s << u"Z"_s << u"A\n\tana (p1)"_s << QString();
        QTest::newRow("group names compare exactly")
            << u"A\nana (p1)"_s << u"ana (p1)"_s << u"a"_s << u"A\nana (p1)"_s << QString();
        QTest::newRow("already in the group")
            << u"A\n\tana (p1)"_s << u"ana (p1)"_s << u"A"_s << u"A\n\tana (p1)"_s << QString();
        QTest::newRow("a group is no user") << u"A\nB"_s << u"B"_s << u"A"_s << u"A\nB"_s << QString();
    }
    void putInto()
    {
        QFETCH(QString, master);
        QFETCH(QString, selected);
        QFETCH(QString, group);
        QFETCH(QString, after);
        QFETCH(QString, followUps);
        UserTree stored = treeOf(master);
        const UserTree visible = UserTree::MontarArvore(stored, {}, Brazil, false);
        const TreeChange change = putUserIntoGroup(stored, find(visible, selected), group);
        QCOMPARE(shape(stored), after);
        QCOMPARE(::followUps(change), followUps);
    }

    void renameInPlace_data()
    {
        QTest::addColumn<QString>("edited");
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("visible");
        QTest::addColumn<QString>("followUps");

        const QString master = u"Vendas\n\tana (p1)\nSuporte\n\tbia (p2)"_s;
        const QString visible = u"Suporte\n\tbia (p2)\nVendas\n\tana (p1)"_s;
        QTest::newRow("renamed") << u"Comercial"_s << QStringList() << u"Comercial\n\tana (p1)\nSuporte\n\tbia (p2)"_s
                                 << u"Comercial\n\tana (p1)\nSuporte\n\tbia (p2)"_s << u"msv"_s;
        QTest::newRow("trimmed") << u" Apoio  "_s << QStringList() << u"Apoio\n\tana (p1)\nSuporte\n\tbia (p2)"_s
                                 << u"Apoio\n\tana (p1)\nSuporte\n\tbia (p2)"_s << u"msv"_s;
        QTest::newRow("letter case only")
            << u"VENDAS"_s << QStringList() << u"VENDAS\n\tana (p1)\nSuporte\n\tbia (p2)"_s
            << u"Suporte\n\tbia (p2)\nVENDAS\n\tana (p1)"_s << u"msv"_s;
        // The label goes back and the file is left as it was.
        QTest::newRow("into an existing name reverts")
            << u"Suporte"_s << QStringList { ExistsWarning } << master << visible << u"v"_s;
        QTest::newRow("blank is not stored") << u"  "_s << QStringList() << master << visible << u"v"_s;
        QTest::newRow("unchanged") << u"Vendas"_s << QStringList() << master << visible << u"v"_s;
        QTest::newRow("pasted forbidden character")
            << u"Ven(das)"_s << QStringList { InvalidWarning } << master << visible << u"v"_s;
    }
    void renameInPlace()
    {
        QFETCH(QString, edited);
        QFETCH(QStringList, seen);
        QFETCH(QString, master);
        QFETCH(QString, visible);
        QFETCH(QString, followUps);
        UserTree stored = treeOf(u"Vendas\n\tana (p1)\nSuporte\n\tbia (p2)"_s);
        UserTree shownTree = UserTree::MontarArvore(stored, {}, Brazil, false);
        QueuedPrompter prompter;
        QVERIFY(canEditLabel(find(shownTree, u"Vendas"_s)));
        const TreeChange change
            = GroupCommands::renameInPlace(stored, shownTree, find(shownTree, u"Vendas"_s), edited, prompter);
        QCOMPARE(transcript(prompter), seen);
        QCOMPARE(shape(stored), master);
        QCOMPARE(shape(shownTree), visible);
        QCOMPARE(::followUps(change), followUps);
    }

    void labelEditing()
    {
        const UserTree tree = treeOf(u"Vendas\n\tana (p1)"_s);
        QVERIFY(canEditLabel(find(tree, u"Vendas"_s)));
        QVERIFY(!canEditLabel(find(tree, u"ana (p1)"_s)));
        QVERIFY(!canEditLabel(nullptr));
        for (const QChar c : u".'()[]|"_s)
            QVERIFY(isForbiddenChar(c));
        QVERIFY(!isForbiddenChar(QLatin1Char('a')) && !isForbiddenChar(QLatin1Char(' ')));
    }

    void accepts_data()
    {
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("under"); // empty: empty space
        QTest::addColumn<bool>("onTree");
        QTest::addColumn<bool>("onStrip");
        QTest::newRow("entry onto a group") << u"ana (p1)"_s << u"Vendas"_s << true << true;
        QTest::newRow("entry onto an entry") << u"ana (p1)"_s << u"bia (p2)"_s << false << true;
        QTest::newRow("entry onto empty space") << u"ana (p1)"_s << QString() << true << true;
        QTest::newRow("group onto a group") << u"Vendas"_s << u"Suporte"_s << false << false;
    }
    void accepts()
    {
        QFETCH(QString, dragged);
        QFETCH(QString, under);
        QFETCH(bool, onTree);
        QFETCH(bool, onStrip);
        const UserTree tree = treeOf(u"Vendas\nSuporte\nana (p1)\nbia (p2)"_s);
        QCOMPARE(acceptsTreeDrop(find(tree, dragged), under.isEmpty() ? nullptr : find(tree, under)), onTree);
        QCOMPARE(acceptsStripDrop(find(tree, dragged)), onStrip);
    }

    void drop_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("target"); // a group, or empty for a strip
        QTest::addColumn<QString>("masterAfter");
        QTest::addColumn<QString>("visibleAfter");
        QTest::addColumn<QString>("followUps");

        QTest::newRow("onto a group, with namesakes, in both trees")
            << u"Vendas\n\tmara (p5)\nana (p1)\nbob (p3)\nana (p2)\n'ana (p4)"_s << u"ana (p1)"_s << u"Vendas"_s
            << u"Vendas\n\tmara (p5)\n\tana (p1)\n\tana (p2)\n\t'ana (p4)\nbob (p3)"_s
            << u"bob (p3)|0\nVendas|6+\n\tana (p1)|0\n\tana (p2)|0\n\tmara (p5)|0"_s << u"sv"_s;
        QTest::newRow("onto its own group") << u"Vendas\n\tana (p1)"_s << u"ana (p1)"_s << u"Vendas"_s
                                            << u"Vendas\n\tana (p1)"_s << u"Vendas|5\n\tana (p1)|0"_s << QString();
        QTest::newRow("onto a strip out of a group")
            << u"Vendas\n\tana (p1)\n\tbob (p3)\n\tana (p2)\nzeca (p9)"_s << u"ana (p1)"_s << QString()
            << u"Vendas\n\tbob (p3)\nzeca (p9)\nana (p1)\nana (p2)"_s
            << u"ana (p1)|0\nana (p2)|0\nVendas|5\n\tbob (p3)|0\nzeca (p9)|0"_s << u"sv"_s;
        QTest::newRow("a free entry stays") << u"Vendas\nana (p1)"_s << u"ana (p1)"_s << QString()
                                            << u"Vendas\nana (p1)"_s << u"ana (p1)|0\nVendas|5"_s << QString();
    }
    void drop()
    {
        QFETCH(QString, master);
        QFETCH(QString, dragged);
        QFETCH(QString, target);
        QFETCH(QString, masterAfter);
        QFETCH(QString, visibleAfter);
        QFETCH(QString, followUps);
        UserTree stored = treeOf(master);
        UserTree visible = UserTree::MontarArvore(stored, {}, Brazil, false);
        UserTreeNode* entry = find(visible, dragged);
        const TreeChange change = target.isEmpty() ? dropOnStrip(stored, visible, entry)
                                                   : dropOnGroup(stored, visible, entry, find(visible, target));
        QCOMPARE(shape(stored), masterAfter);
        QCOMPARE(look(visible), visibleAfter);
        QCOMPARE(::followUps(change), followUps);
    }

    // When the master tree lacks the entry or the group, only the visible tree changes.
    void dropMissingInMaster()
    {
        UserTree stored = treeOf(u"Vendas\nana (p1)"_s);
        UserTree visible = UserTree::MontarArvore(stored, {}, Brazil, false);
        stored.setText(find(stored, u"Vendas"_s), u"Outro"_s);
        TreeChange change = dropOnGroup(stored, visible, find(visible, u"ana (p1)"_s), find(visible, u"Vendas"_s));
        QCOMPARE(shape(stored), u"Outro\nana (p1)"_s);
        QCOMPARE(shape(visible), u"Vendas\n\tana (p1)"_s);
        QCOMPARE(followUps(change), u"v"_s);

        stored.removeNode(find(stored, u"ana (p1)"_s));
        change = dropOnStrip(stored, visible, find(visible, u"ana (p1)"_s));
        QCOMPARE(shape(stored), u"Outro"_s);
        QCOMPARE(shape(visible), u"ana (p1)\nVendas"_s);
        QCOMPARE(followUps(change), u"v"_s);
    }
};

QTEST_GUILESS_MAIN(TestGroupCommands)
#include "tst_groupcommands.moc"
