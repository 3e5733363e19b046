#include "drags.h"
#include "historyfiles.h"
#include "imagesets.h"
#include "menus.h"
#include "namelists.h"
#include "teststation.h"
#include "tformhistmsg.h"
#include "tformlogon.h"
#include "tformmain.h"
#include "tformsendmsg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace
{
const QString Channel = QStringLiteral("NETWORK");

qint64 iconKey(const QIcon& icon)
{
    return icon.cacheKey();
}

// The text frames in the sent history.
int sentTextFrames(TestStation& station)
{
    int count = 0;
    for (const QString& record : HistoryFiles::ReadHistoryRecords(station.tools().history().sentPath())) {
        if (record.contains(QStringLiteral("S[]")))
            ++count;
    }
    return count;
}

// A logged-on station on an in-memory network, with a group and three entries in its trees.
void fillTree(TestStation& station)
{
    UserTree& master = station.session().master();
    master.CriarGrupo(QStringLiteral("Vendas"));
    master.AtualizarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-b"), 0);
    master.AtualizarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-c"), 0);
    master.AtualizarUsuario(QStringLiteral("CARLA"), QStringLiteral("pc-d"), 0);
    station.session().MontarArvore();
}
} // namespace

class TestTFormCom final : public QObject
{
    Q_OBJECT

private slots:
    void menuBar_data();
    void menuBar();
    void popupMenus();
    void trayMenu();
    void logonAndLogoffSteps();
    void statusMenuChangesStatus();
    void statusImagesOpenStatusMenu();
    void shortcuts_data();
    void shortcuts();
    void altNFromEveryWindow_data();
    void altNFromEveryWindow();
    void groupCommandsInsideDialogBracket();
    void groupCommandsNeedSession();
    void renameAndRemoveGroup();
    void renameInPlace();
    void dropOntoGroup();
    void dropOntoStrip();
    void foreignDragRefused();
    void groupIconsFollowExpansion();
    void placedAtBottomRight();
    void positionWrittenOnClose();
    void helpEntries_data();
    void helpEntries();
    void insertUser();
    void userSwitchMenu();
    void captionsFromDataKeepAmpersand();
    void automaticLogon_data();
    void automaticLogon();
    void treeFileProblemToldOnce();
};

void TestTFormCom::menuBar_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("Comunicador") << QStringLiteral("Comunicador")
                                 << QStringList { QStringLiteral("Enviar"), QStringLiteral("Enviar para Todos"),
                                        QStringLiteral("-"), QStringLiteral("Histórico"), QStringLiteral("-"),
                                        QStringLiteral("Refresh"), QStringLiteral("-"), QStringLiteral("Fechar") };
    QTest::newRow("Usuário") << QStringLiteral("Usuário")
                             << QStringList { QStringLiteral("Criar Grupo"), QStringLiteral("Alterar Grupo"),
                                    QStringLiteral("Remover Grupo"), QStringLiteral("-"),
                                    QStringLiteral("Remover Usuário do Grupo"),
                                    QStringLiteral("Inserir Usuário no Grupo"), QStringLiteral("-"),
                                    QStringLiteral("Usuário"), QStringLiteral("Inserir Usuário") };
    QTest::newRow("Opções") << QStringLiteral("Opções")
                            << QStringList { QStringLiteral("Configurações"), QStringLiteral("-"),
                                   QStringLiteral("Backup"), QStringLiteral("Restore") };
    QTest::newRow("?") << QStringLiteral("?")
                       << QStringList { QStringLiteral("Manual"), QStringLiteral("-"),
                              QStringLiteral("Versões futuras"), QStringLiteral("Versões publicadas"),
                              QStringLiteral("Histórico de versões"), QStringLiteral("-"), QStringLiteral("Créditos") };
}

void TestTFormCom::menuBar()
{
    QFETCH(QString, title);
    QFETCH(QStringList, entries);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    QStringList titles;
    for (const QAction* action : a.com().menuBar()->actions())
        titles.append(action->text());
    QCOMPARE(titles,
        (QStringList {
            QStringLiteral("Comunicador"), QStringLiteral("Usuário"), QStringLiteral("Opções"), QStringLiteral("?") }));
    const QMenu* menu = subMenu(a.com().menuBar(), title);
    QVERIFY(menu);
    QCOMPARE(menuCaptions(menu), entries);
    QCOMPARE(a.com().windowTitle(), QStringLiteral("Comunicador"));
}

void TestTFormCom::popupMenus()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    QCOMPARE(menuCaptions(a.com().PopupMenu1()),
        (QStringList { QStringLiteral("Enviar"), QStringLiteral("Enviar para Todos"), QStringLiteral("-"),
            QStringLiteral("Histórico"), QStringLiteral("-"), QStringLiteral("Criar Grupo"),
            QStringLiteral("Alterar Grupo"), QStringLiteral("Remover Grupo"), QStringLiteral("-"),
            QStringLiteral("Remover Usuário do Grupo"), QStringLiteral("Inserir Usuário no Grupo") }));
    QCOMPARE(menuCaptions(a.com().PopupMenuStatus()),
        (QStringList { QStringLiteral("CONECTADO"), QStringLiteral("AUSENTE"), QStringLiteral("OCUPADO"),
            QStringLiteral("INVISÍVEL"), QStringLiteral("DESCONECTADO") }));
    // The tree has its context menu from the start.
    QCOMPARE(a.com().TreeView()->contextMenuPolicy(), Qt::CustomContextMenu);
}

void TestTFormCom::trayMenu()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    QCOMPARE(a.tray().toolTip(), QStringLiteral("Colloqua"));
    QVERIFY(a.tray().isVisible());
    QVERIFY(!a.tray().icon().isNull());
    const QMenu* menu = a.station().FormMain().oPopUpMenu();
    QCOMPARE(menuCaptions(menu),
        (QStringList { QStringLiteral("-"), QStringLiteral(" Comunicador"), QStringLiteral(" Estado Atual"),
            QStringLiteral("-"), QStringLiteral(" Manual"), QStringLiteral(" Créditos"), QStringLiteral("-"),
            QStringLiteral(" Fechar Aplicativo") }));
    const QMenu* estado = menuEntry(menu, QStringLiteral(" Estado Atual"))->menu();
    QCOMPARE(menuCaptions(estado),
        (QStringList { QStringLiteral("Usuário"), QStringLiteral("Inserir Usuário"), QStringLiteral("-"),
            QStringLiteral("CONECTADO"), QStringLiteral("AUSENTE"), QStringLiteral("OCUPADO"),
            QStringLiteral("INVISÍVEL"), QStringLiteral("DESCONECTADO") }));
    QCOMPARE(menuEntry(estado, QStringLiteral("Usuário"))->menu(), a.station().FormMain().PopMenuUsuario());

    // Exit logs off before it ends the run.
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QSignalSpy ended(&a.station(), &Station::endRequested);
    menuEntry(menu, QStringLiteral(" Fechar Aplicativo"))->trigger();
    QCOMPARE(ended.count(), 1);
    QVERIFY(!a.com().EstaConectado());
}

void TestTFormCom::logonAndLogoffSteps()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("PC-A"), network);
    const ImageSets& images = a.tools().images();
    QVERIFY(a.com().ImgStatus1()->isHidden());
    a.tools().setDialogoAberto(true);

    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("OC"));
    QVERIFY(a.com().EstaConectado());
    QCOMPARE(a.com().LbUsuario()->text(), QStringLiteral("ANA"));
    QCOMPARE(a.com().LbMaquina()->text(), QStringLiteral("pc-a"));
    QCOMPARE(a.com().LbUsuario()->textFormat(), Qt::PlainText);
    QCOMPARE(a.station().FormSendMSG().caption(), QStringLiteral("de: ANA (pc-a)"));
    QCOMPARE(a.com().TituloBandeja(), QStringLiteral("  COLLOQUA - ANA"));
    QVERIFY(!a.com().ImgStatus1()->isHidden());
    QCOMPARE(iconKey(a.tray().icon()), iconKey(images.ImageListNormal().icon(2)));
    QVERIFY(!a.tools().DialogoAberto());
    QCOMPARE(menuCaptions(a.com().MenuUsuario()), QStringList { QStringLiteral("ANA") });
    QCOMPARE(menuCaptions(a.station().FormMain().PopMenuUsuario()), QStringList { QStringLiteral("ANA") });
    // EXIBIR_JANELA is true unless set otherwise.
    QVERIFY(a.com().isVisible());
    a.com().close();

    a.station().FormSendMSG().show();
    a.com().Desconectar();
    QVERIFY(!a.com().EstaConectado());
    QVERIFY(a.com().LbUsuario()->text().isEmpty());
    QVERIFY(a.com().LbMaquina()->text().isEmpty());
    QVERIFY(a.station().FormSendMSG().caption().isEmpty());
    QVERIFY(!a.station().FormSendMSG().isVisible());
    QCOMPARE(a.com().TreeView()->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(iconKey(a.tray().icon()), iconKey(images.ImageListNormal().icon(4)));
    // The banner keeps the last user.
    QCOMPARE(a.com().TituloBandeja(), QStringLiteral("  COLLOQUA - ANA"));

    a.setting(QStringLiteral("SETUP"), QStringLiteral("EXIBIR_JANELA"), SettingBoolean, false);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QVERIFY(!a.com().isVisible());
    a.com().show();
    QCOMPARE(a.com().TreeView()->contextMenuPolicy(), Qt::CustomContextMenu);
    a.setting(QStringLiteral("SETUP"), QStringLiteral("FECHAR_JANELA"), SettingBoolean, true);
    a.com().Desconectar();
    QVERIFY(!a.com().isVisible());
}

void TestTFormCom::statusMenuChangesStatus()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    menuEntry(a.com().PopupMenuStatus(), QStringLiteral("AUSENTE"))->trigger();
    QCOMPARE(a.com().StatusAtual(), QStringLiteral("AU"));
    QCOMPARE(iconKey(a.tray().icon()), iconKey(a.tools().images().ImageListNormal().icon(1)));
    menuEntry(a.com().PopupMenuStatus(), QStringLiteral("DESCONECTADO"))->trigger();
    QVERIFY(!a.com().EstaConectado());

    // Logged off, a status entry logs on again with the last user and channel.
    menuEntry(a.com().PopupMenuStatus(), QStringLiteral("OCUPADO"))->trigger();
    QVERIFY(a.com().EstaConectado());
    QCOMPARE(a.com().UsuarioAtual(), QStringLiteral("ANA"));
    QCOMPARE(a.com().StatusAtual(), QStringLiteral("OC"));
    QCOMPARE(a.com().CanalPendente(), Channel);
}

void TestTFormCom::statusImagesOpenStatusMenu()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    a.com().show();
    QVERIFY(QTest::qWaitForWindowExposed(&a.com()));
    QMenu* menu = a.com().PopupMenuStatus();
    for (QWidget* image : { static_cast<QWidget*>(a.com().ImgStatus1()), a.com().ImgStatus2() }) {
        QTest::mouseClick(image, Qt::LeftButton);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    }
    const ImageList& icons = a.tools().images().ImageListStatus();
    const QList<QAction*> entries = menu->actions();
    QCOMPARE(entries.size(), 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(iconKey(entries.at(i)->icon()), iconKey(icons.icon(i)));
}

void TestTFormCom::shortcuts_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("sendBefore");
    QTest::addColumn<bool>("histBefore");
    QTest::addColumn<bool>("sendAfter");
    QTest::addColumn<bool>("histAfter");
    QTest::addColumn<int>("framesSent");

    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    const int alt = Qt::AltModifier;
    const int shift = Qt::ShiftModifier;
    QTest::newRow("Ctrl+N opens the send window") << int(Qt::Key_N) << ctrl << false << false << true << false << 0;
    QTest::newRow("Alt+N closes the send window") << int(Qt::Key_N) << alt << true << false << false << false << 0;
    QTest::newRow("Ctrl+Alt+N does nothing") << int(Qt::Key_N) << (ctrl | alt) << true << false << true << false << 0;
    QTest::newRow("N alone does nothing") << int(Qt::Key_N) << none << true << false << true << false << 0;
    QTest::newRow("Ctrl+H opens the history") << int(Qt::Key_H) << ctrl << false << false << false << true << 0;
    QTest::newRow("Alt+H closes the history") << int(Qt::Key_H) << alt << false << true << false << false << 0;
    QTest::newRow("Ctrl+Shift+H does nothing")
        << int(Qt::Key_H) << (ctrl | shift) << false << false << false << false << 0;
    QTest::newRow("Shift+Enter sends") << int(Qt::Key_Return) << shift << true << false << true << false << 1;
    QTest::newRow("Shift+keypad Enter sends")
        << int(Qt::Key_Enter) << (shift | int(Qt::KeypadModifier)) << true << false << true << false << 1;
    QTest::newRow("Ctrl+Enter sends and closes") << int(Qt::Key_Return) << ctrl << true << false << false << false << 1;
    QTest::newRow("Ctrl+Shift+Enter does nothing")
        << int(Qt::Key_Return) << (ctrl | shift) << true << false << true << false << 0;
    QTest::newRow("Alt+Enter does nothing") << int(Qt::Key_Return) << alt << true << false << true << false << 0;
}

void TestTFormCom::shortcuts()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, sendBefore);
    QFETCH(bool, histBefore);
    QFETCH(bool, sendAfter);
    QFETCH(bool, histAfter);
    QFETCH(int, framesSent);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    // Sending shows the history window unless ENVIAR EXIBIR_MSG is off.
    a.setting(QStringLiteral("ENVIAR"), QStringLiteral("EXIBIR_MSG"), SettingBoolean, false);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    a.com().show();
    TFormSendMSG& send = a.station().FormSendMSG();
    TFormHistMSG& hist = a.station().FormHistMSG();
    if (sendBefore) {
        send.show();
        send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
        send.MemoMsg()->setPlainText(QStringLiteral("bom dia"));
    }
    if (histBefore)
        hist.show();

    QTest::keyClick(a.com().TreeView(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(send.isVisible(), sendAfter);
    QCOMPARE(hist.isVisible(), histAfter);
    QCOMPARE(sentTextFrames(a), framesSent);
}

void TestTFormCom::altNFromEveryWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("communicator") << QStringLiteral("communicator");
    QTest::newRow("send") << QStringLiteral("send");
    QTest::newRow("history") << QStringLiteral("history");
    QTest::newRow("logon") << QStringLiteral("logon");
}

void TestTFormCom::altNFromEveryWindow()
{
    QFETCH(QString, window);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    QWidget* target = nullptr;
    if (window == QLatin1String("communicator"))
        target = a.com().TreeView();
    else if (window == QLatin1String("send"))
        target = send.MemoMsg();
    else if (window == QLatin1String("history"))
        target = a.station().FormHistMSG().ListBoxMsg();
    else
        target = a.station().FormLogon().ComboUsuario()->lineEdit();
    QTest::keyClick(target, Qt::Key_N, Qt::AltModifier);
    QVERIFY(!send.isVisible());
}

void TestTFormCom::groupCommandsInsideDialogBracket()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    TFormHistMSG& hist = a.station().FormHistMSG();
    hist.show();
    hist.setTopmost(true);

    QList<bool> bracketOpen;
    QList<bool> historyPinned;
    a.prompter().onPrompt = [&] {
        bracketOpen.append(a.tools().DialogoAberto());
        historyPinned.append(hist.isTopmost());
    };
    a.queued().queueText(QStringLiteral("Ven[das"));
    a.queued().queueText(QStringLiteral("Vendas"));
    menuEntry(subMenu(a.com().menuBar(), QStringLiteral("Usuário")), QStringLiteral("Criar Grupo"))->trigger();

    // The name prompt, the invalid-name warning and the prompt again.
    QCOMPARE(bracketOpen, (QList<bool> { true, true, true }));
    QCOMPARE(historyPinned, (QList<bool> { false, false, false }));
    QVERIFY(!a.tools().DialogoAberto());
    QCOMPARE(a.treeFileLines(), QStringList { QStringLiteral("Vendas") });
    QCOMPARE(a.treeItems(), QStringList { QStringLiteral("Vendas") });
    QCOMPARE(menuCaptions(a.com().MenuInsUsrGrp()), QStringList { QStringLiteral("Vendas") });
    QCOMPARE(menuCaptions(a.com().PopMenuInsUsrGrp()), QStringList { QStringLiteral("Vendas") });
}

void TestTFormCom::groupCommandsNeedSession()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.queued().queueText(QStringLiteral("Vendas"));
    a.com().MenuCriarGrupoClick();
    QVERIFY(a.queued().asked().isEmpty());
    QVERIFY(a.treeFileLines().isEmpty());
}

void TestTFormCom::renameAndRemoveGroup()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    fillTree(a);
    UserTreeWidget* tree = a.com().TreeView();
    // A user entry selected: renaming asks nothing.
    tree->setCurrentItem(itemWithText(tree, QStringLiteral("CARLA (pc-d)")));
    a.com().MenuAlterarGrupoClick();
    QVERIFY(a.queued().asked().isEmpty());

    tree->setCurrentItem(itemWithText(tree, QStringLiteral("Vendas")));
    a.queued().queueText(QStringLiteral("Compras"));
    menuEntry(a.com().PopupMenu1(), QStringLiteral("Alterar Grupo"))->trigger();
    QCOMPARE(a.queued().asked().first().title, QStringLiteral("Alteração de Grupo"));
    QCOMPARE(a.session().master().groupNames(), QStringList { QStringLiteral("Compras") });
    QCOMPARE(menuCaptions(a.com().MenuInsUsrGrp()), QStringList { QStringLiteral("Compras") });
    QVERIFY(itemWithText(tree, QStringLiteral("Compras")));

    // Put CARLA into the group through the submenu, then remove the group.
    tree->setCurrentItem(itemWithText(tree, QStringLiteral("CARLA (pc-d)")));
    menuEntry(a.com().PopMenuInsUsrGrp(), QStringLiteral("Compras"))->trigger();
    QCOMPARE(a.treeFileLines(),
        (QStringList { QStringLiteral("Compras"), QStringLiteral("\tCARLA (pc-d)"), QStringLiteral("BRUNO (pc-b)"),
            QStringLiteral("BRUNO (pc-c)") }));

    tree->setCurrentItem(itemWithText(tree, QStringLiteral("Compras")));
    a.queued().queueConfirm(true);
    a.com().MenuRemoverGrupoClick();
    QCOMPARE(a.treeFileLines(),
        (QStringList {
            QStringLiteral("BRUNO (pc-b)"), QStringLiteral("BRUNO (pc-c)"), QStringLiteral("CARLA (pc-d)") }));
    QVERIFY(menuCaptions(a.com().MenuInsUsrGrp()).isEmpty());
    QVERIFY(!itemWithText(tree, QStringLiteral("Compras")));
}

void TestTFormCom::renameInPlace()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    fillTree(a);
    a.session().master().CriarGrupo(QStringLiteral("Compras"));
    a.session().MontarArvore();
    a.com().show();
    QVERIFY(QTest::qWaitForWindowExposed(&a.com()));
    UserTreeWidget* tree = a.com().TreeView();

    // User entries keep their labels.
    QTreeWidgetItem* entry = itemWithText(tree, QStringLiteral("CARLA (pc-d)"));
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    tree->editItem(entry);
    QVERIFY(!tree->indexWidget(tree->indexFromItem(entry)));

    QTreeWidgetItem* group = itemWithText(tree, QStringLiteral("Vendas"));
    tree->setCurrentItem(group);
    tree->editItem(group);
    auto* editor = qobject_cast<QLineEdit*>(tree->indexWidget(tree->indexFromItem(group)));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Lo(j)a.s|"));
    QCOMPARE(editor->text(), QStringLiteral("Lojas"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(
        a.session().master().groupNames(), (QStringList { QStringLiteral("Lojas"), QStringLiteral("Compras") }));
    QCOMPARE(a.treeFileLines().first(), QStringLiteral("Lojas"));
    QCOMPARE(
        menuCaptions(a.com().MenuInsUsrGrp()), (QStringList { QStringLiteral("Lojas"), QStringLiteral("Compras") }));
    QVERIFY(itemWithText(tree, QStringLiteral("Lojas")));

    // Into the name of another group: the warning, and the old label back.
    group = itemWithText(tree, QStringLiteral("Lojas"));
    tree->setCurrentItem(group);
    tree->editItem(group);
    editor = qobject_cast<QLineEdit*>(tree->indexWidget(tree->indexFromItem(group)));
    QVERIFY(editor);
    QList<bool> bracketOpen;
    a.prompter().onPrompt = [&] { bracketOpen.append(a.tools().DialogoAberto()); };
    editor->setText(QStringLiteral("Compras"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(bracketOpen.size(), 1);
    QVERIFY(bracketOpen.first());
    QCOMPARE(a.queued().asked().last().text, QStringLiteral("Grupo já existe!"));
    QTRY_VERIFY(itemWithText(tree, QStringLiteral("Lojas")));
    QCOMPARE(a.session().master().groupNames(), (QStringList { QStringLiteral("Lojas"), QStringLiteral("Compras") }));
}

void TestTFormCom::dropOntoGroup()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    fillTree(a);
    a.com().show();
    QVERIFY(QTest::qWaitForWindowExposed(&a.com()));
    UserTreeWidget* tree = a.com().TreeView();
    QSignalSpy rebuilt(&a.session(), &CommunicatorSession::visibleTreeRebuilt);

    const auto mime = dragOf(tree, itemWithText(tree, QStringLiteral("BRUNO (pc-b)")));
    // Not onto another user entry.
    QDragMoveEvent overEntry(tree->visualItemRect(itemWithText(tree, QStringLiteral("CARLA (pc-d)"))).center(),
        Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &overEntry);
    QVERIFY(!overEntry.isAccepted());

    const QPoint onGroup = tree->visualItemRect(itemWithText(tree, QStringLiteral("Vendas"))).center();
    const DropResult result = dropAt(tree->viewport(), onGroup, mime.get());
    QVERIFY(result.enterAccepted);
    QVERIFY(result.dropAccepted);

    // BRUNO moves with his other computer, the group opens, and no rebuild happens.
    QCOMPARE(a.treeItems(),
        (QStringList { QStringLiteral("CARLA (pc-d)"), QStringLiteral("Vendas"), QStringLiteral("\tBRUNO (pc-b)"),
            QStringLiteral("\tBRUNO (pc-c)") }));
    QVERIFY(itemWithText(tree, QStringLiteral("Vendas"))->isExpanded());
    QCOMPARE(a.treeFileLines(),
        (QStringList { QStringLiteral("Vendas"), QStringLiteral("\tBRUNO (pc-b)"), QStringLiteral("\tBRUNO (pc-c)"),
            QStringLiteral("CARLA (pc-d)") }));
    QCOMPARE(rebuilt.count(), 0);
}

void TestTFormCom::dropOntoStrip()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    UserTree& master = a.session().master();
    UserTreeNode* group = master.CriarGrupo(QStringLiteral("Vendas"));
    master.AtualizarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-b"), 0);
    master.AtualizarUsuario(QStringLiteral("CARLA"), QStringLiteral("pc-d"), 0);
    master.MoverUsuario(master.ProcurarUsuario(QStringLiteral("BRUNO")), group);
    a.session().MontarArvore();
    a.com().show();
    UserTreeWidget* tree = a.com().TreeView();

    for (QWidget* strip : { a.com().PanDragLeft(), a.com().PanDragTop() }) {
        // A free entry stays where it is.
        const auto freeEntry = dragOf(tree, itemWithText(tree, QStringLiteral("CARLA (pc-d)")));
        QVERIFY(dropAt(strip, QPoint(2, 2), freeEntry.get()).dropAccepted);
        QCOMPARE(a.treeFileLines().size(), 0);
    }

    const auto mime = dragOf(tree, itemWithText(tree, QStringLiteral("BRUNO (pc-b)")));
    const DropResult result = dropAt(a.com().PanDragLeft(), QPoint(2, 2), mime.get());
    QVERIFY(result.enterAccepted);
    QVERIFY(result.dropAccepted);
    QCOMPARE(a.treeItems(),
        (QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("CARLA (pc-d)"), QStringLiteral("Vendas") }));
    QCOMPARE(a.treeFileLines(),
        (QStringList { QStringLiteral("Vendas"), QStringLiteral("CARLA (pc-d)"), QStringLiteral("BRUNO (pc-b)") }));
}

void TestTFormCom::foreignDragRefused()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    fillTree(a);
    a.com().show();
    UserTreeWidget* tree = a.com().TreeView();
    tree->setCurrentItem(itemWithText(tree, QStringLiteral("BRUNO (pc-b)")));

    // Text dragged from elsewhere, and a drag made by another station's tree.
    QMimeData text;
    text.setText(QStringLiteral("BRUNO (pc-b)"));
    TestStation b(QStringLiteral("pc-b"), network);
    b.com().TreeView()->addTopLevelItem(new QTreeWidgetItem(QStringList { QStringLiteral("BRUNO (pc-b)") }));
    const std::unique_ptr<QMimeData> other(b.com().TreeView()->model()->mimeData(
        { b.com().TreeView()->indexFromItem(b.com().TreeView()->topLevelItem(0)) }));

    const QPoint onGroup = tree->visualItemRect(itemWithText(tree, QStringLiteral("Vendas"))).center();
    for (const QMimeData* mime : { static_cast<const QMimeData*>(&text), static_cast<const QMimeData*>(other.get()) }) {
        QVERIFY(!dropAt(tree->viewport(), onGroup, mime).enterAccepted);
        QVERIFY(!dropAt(a.com().PanDragTop(), QPoint(2, 2), mime).enterAccepted);
    }
    QVERIFY(a.treeFileLines().isEmpty());
}

void TestTFormCom::groupIconsFollowExpansion()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    UserTree& master = a.session().master();
    UserTreeNode* group = master.CriarGrupo(QStringLiteral("Vendas"));
    master.AtualizarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-b"), 0);
    master.MoverUsuario(master.ProcurarUsuario(QStringLiteral("BRUNO")), group);
    master.setExpanded(group, false);
    a.session().MontarArvore();
    const ImageList& icons = a.tools().images().ImageListArvore();
    UserTreeWidget* tree = a.com().TreeView();

    QTreeWidgetItem* item = itemWithText(tree, QStringLiteral("Vendas"));
    QVERIFY(!item->isExpanded());
    QCOMPARE(iconKey(item->icon(0)), iconKey(icons.icon(5)));
    QCOMPARE(iconKey(item->child(0)->icon(0)), iconKey(icons.icon(0)));
    QVERIFY(tree->rootIsDecorated() == false);

    tree->expandItem(item);
    QCOMPARE(iconKey(item->icon(0)), iconKey(icons.icon(6)));
    // Open groups stay open across a rebuild.
    a.session().MontarArvore();
    item = itemWithText(tree, QStringLiteral("Vendas"));
    QVERIFY(item->isExpanded());
    QCOMPARE(iconKey(item->icon(0)), iconKey(icons.icon(6)));

    tree->collapseItem(item);
    QCOMPARE(iconKey(item->icon(0)), iconKey(icons.icon(5)));
    a.session().MontarArvore();
    QVERIFY(!itemWithText(tree, QStringLiteral("Vendas"))->isExpanded());
}

void TestTFormCom::placedAtBottomRight()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(QStringLiteral("POSICAO"), QStringLiteral("WNDCOM_TOP"), SettingInteger, 40);
    a.setting(QStringLiteral("POSICAO"), QStringLiteral("WNDCOM_LEFT"), SettingInteger, 50);
    a.setting(QStringLiteral("POSICAO"), QStringLiteral("WNDCOM_WIDTH"), SettingInteger, 220);
    a.setting(QStringLiteral("POSICAO"), QStringLiteral("WNDCOM_HEIGHT"), SettingInteger, 300);
    a.com().IniciarSessao();
    // The other two windows get their stored geometry, or the defaults.
    QCOMPARE(a.station().FormSendMSG().geometry(), QRect(20, 20, 334, 239));
    QCOMPARE(a.station().FormHistMSG().geometry(), QRect(30, 30, 554, 267));
    for (int showing = 0; showing < 2; ++showing) {
        a.com().show();
        QVERIFY(QTest::qWaitForWindowExposed(&a.com()));
        const QRect available = a.com().screen()->availableGeometry();
        QCOMPARE(a.com().frameGeometry().bottomRight(), available.bottomRight());
        QCOMPARE(a.com().size(), QSize(220, 300));
        a.com().move(10, 10);
        a.com().close();
    }
    QCOMPARE(a.com().minimumSize(), QSize(150, 200));
    QVERIFY(!a.com().windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

void TestTFormCom::positionWrittenOnClose()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    a.com().show();
    QVERIFY(QTest::qWaitForWindowExposed(&a.com()));
    a.com().resize(230, 310);
    a.station().FormSendMSG().show();
    a.station().FormHistMSG().show();
    const QPoint pos = a.com().pos();

    a.com().close();
    QVERIFY(!a.com().isVisible());
    QVERIFY(!a.station().FormSendMSG().isVisible());
    QVERIFY(!a.station().FormHistMSG().isVisible());
    QVERIFY(a.com().EstaConectado());
    const QString posicao = QStringLiteral("POSICAO");
    QCOMPARE(a.readSetting(posicao, QStringLiteral("WNDCOM_WIDTH"), SettingInteger).toInt(), 230);
    QCOMPARE(a.readSetting(posicao, QStringLiteral("WNDCOM_HEIGHT"), SettingInteger).toInt(), 310);
    QCOMPARE(a.readSetting(posicao, QStringLiteral("WNDCOM_TOP"), SettingInteger).toInt(), pos.y());
    QCOMPARE(a.readSetting(posicao, QStringLiteral("WNDCOM_LEFT"), SettingInteger).toInt(), pos.x());
}

void TestTFormCom::helpEntries_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("file");
    QTest::newRow("Manual") << QStringLiteral("Manual") << QStringLiteral("help/index.html");
    QTest::newRow("Versões futuras") << QStringLiteral("Versões futuras") << QStringLiteral("help/Colloqua-Future.htm");
    QTest::newRow("Versões publicadas") << QStringLiteral("Versões publicadas")
                                        << QStringLiteral("help/Colloqua-RevisionHist.htm");
    QTest::newRow("Histórico de versões")
        << QStringLiteral("Histórico de versões") << QStringLiteral("help/Colloqua-RevisionHist-DEVELOPERS.htm");
}

void TestTFormCom::helpEntries()
{
    QFETCH(QString, caption);
    QFETCH(QString, file);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    menuEntry(subMenu(a.com().menuBar(), QStringLiteral("?")), caption)->trigger();
    QCOMPARE(a.opener().opened(), QStringList { a.installDir() + file });
}

void TestTFormCom::insertUser()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.tools().names().AddUserName(QStringLiteral("ZECA"));
    a.tools().names().AddUserName(QStringLiteral("ANA"));
    QList<bool> bracketOpen;
    a.prompter().onPrompt = [&] { bracketOpen.append(a.tools().DialogoAberto()); };

    a.queued().queueText(QStringLiteral("maria"));
    menuEntry(subMenu(a.com().menuBar(), QStringLiteral("Usuário")), QStringLiteral("Inserir Usuário"))->trigger();
    QCOMPARE(bracketOpen, QList<bool> { true });
    QVERIFY(!a.tools().DialogoAberto());
    const QStringList expected { QStringLiteral("ANA"), QStringLiteral("MARIA"), QStringLiteral("ZECA") };
    QCOMPARE(menuCaptions(a.com().MenuUsuario()), expected);
    QCOMPARE(menuCaptions(a.station().FormMain().PopMenuUsuario()), expected);
    const QueuedPrompter::Asked& asked = a.queued().asked().first();
    QCOMPARE(asked.title, QStringLiteral("Adicionar usuário"));
    QCOMPARE(asked.text, QStringLiteral("Usuário:\n"));

    // Cancelled, empty, or only characters no user name may hold: nothing is added.
    a.queued().queueText(std::nullopt);
    a.station().FormMain().InserirUsuario();
    a.queued().queueText(QString());
    a.station().FormMain().InserirUsuario();
    a.queued().queueText(QStringLiteral("(|)"));
    a.station().FormMain().InserirUsuario();
    QStringList users;
    a.tools().names().LoadUserList(users);
    QCOMPARE(users, (QStringList { QStringLiteral("ZECA"), QStringLiteral("ANA"), QStringLiteral("MARIA") }));
}

void TestTFormCom::userSwitchMenu()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(QStringLiteral("SETUP"), QStringLiteral("DEFAULT_CHANNEL"), SettingString, QStringLiteral("VENDAS"));
    a.tools().names().AddUserName(QStringLiteral("BRUNO"));
    a.com().IniciarSessao();
    QCOMPARE(a.com().CanalPendente(), QStringLiteral("VENDAS"));
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("OC"));

    menuEntry(a.com().MenuUsuario(), QStringLiteral("BRUNO"))->trigger();
    QCOMPARE(a.com().UsuarioAtual(), QStringLiteral("BRUNO"));
    // The pending channel, not the one just left.
    QCOMPARE(a.com().CanalAtual(), QStringLiteral("VENDAS"));
    QCOMPARE(a.com().StatusAtual(), QStringLiteral("ON"));
    QCOMPARE(a.com().UsuarioPendente(), QStringLiteral("BRUNO"));
    QCOMPARE(a.com().TituloBandeja(), QStringLiteral("  COLLOQUA - BRUNO"));
}

void TestTFormCom::captionsFromDataKeepAmpersand()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.tools().names().AddUserName(QStringLiteral("P&D"));
    a.setting(QStringLiteral("SETUP"), QStringLiteral("DEFAULT_CHANNEL"), SettingString, Channel);
    a.com().IniciarSessao();
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    a.session().master().CriarGrupo(QStringLiteral("R&D"));
    a.com().MontarMenusGrupos();

    QAction* user = menuEntry(a.com().MenuUsuario(), QStringLiteral("P&&D"));
    QVERIFY(user);
    QVERIFY(menuEntry(a.com().MenuInsUsrGrp(), QStringLiteral("R&&D")));
    user->trigger();
    QCOMPARE(a.com().UsuarioAtual(), QStringLiteral("P&D"));
}

void TestTFormCom::automaticLogon_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("loggedOn");
    QTest::newRow("all three") << QStringLiteral("ANA") << Channel << QStringLiteral("ON") << true;
    QTest::newRow("away") << QStringLiteral("ANA") << Channel << QStringLiteral("AU") << true;
    QTest::newRow("invisible") << QStringLiteral("ANA") << Channel << QStringLiteral("IN") << true;
    QTest::newRow("offline") << QStringLiteral("ANA") << Channel << QStringLiteral("OF") << false;
    QTest::newRow("no status") << QStringLiteral("ANA") << Channel << QString() << false;
    QTest::newRow("no user") << QString() << Channel << QStringLiteral("ON") << false;
    QTest::newRow("no channel") << QStringLiteral("ANA") << QString() << QStringLiteral("ON") << false;
}

void TestTFormCom::automaticLogon()
{
    QFETCH(QString, user);
    QFETCH(QString, channel);
    QFETCH(QString, status);
    QFETCH(bool, loggedOn);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    const QString setup = QStringLiteral("SETUP");
    a.setting(setup, QStringLiteral("DEFAULT_USER"), SettingString, user);
    a.setting(setup, QStringLiteral("DEFAULT_CHANNEL"), SettingString, channel);
    a.setting(setup, QStringLiteral("DEFAULT_STATUS"), SettingString, status);
    a.com().IniciarSessao();
    a.com().ConectarAutomatico();
    QCOMPARE(a.com().EstaConectado(), loggedOn);
    if (loggedOn) {
        QCOMPARE(a.com().UsuarioAtual(), user);
        QCOMPARE(a.com().StatusAtual(), status);
    }
}

void TestTFormCom::treeFileProblemToldOnce()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.home().write(
        QStringLiteral("Dados/ArvUsuarios.tv"), QByteArrayLiteral("Vendas\r\n\t\t'BRUNO (pc-b)\r\n'CARLA (pc-d)\r\n"));
    QList<bool> bracketOpen;
    a.prompter().onPrompt = [&] { bracketOpen.append(a.tools().DialogoAberto()); };

    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QVERIFY(a.com().EstaConectado());
    QCOMPARE(a.queued().asked().size(), 1);
    QCOMPARE(a.queued().asked().first().kind, Prompter::Kind::Warning);
    QCOMPARE(bracketOpen, QList<bool> { true });

    a.com().Desconectar();
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QCOMPARE(a.queued().asked().size(), 1);
}

QTEST_MAIN(TestTFormCom)
#include "tst_tformcom.moc"
