#include "menus.h"
#include "namelists.h"
#include "teststation.h"
#include "tformcredito.h"
#include "tformlogon.h"
#include "tformmain.h"
#include "tformsplashscreen.h"
#include "traypopupmenu.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

namespace
{
QStringList strings(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

const QString Channel = QStringLiteral("NETWORK");

// A tray command, by the object name every tray menu knows it by.
QAction* entry(const TFormMain& main, const char* name)
{
    return main.findChild<QAction*>(QLatin1String(name));
}

// The station's state as one line: logged on user and status, and the visible windows.
QString state(TestStation& a)
{
    QStringList parts;
    parts.append(a.com().EstaConectado() ? a.com().UsuarioAtual() + QLatin1Char(' ') + a.com().StatusAtual()
                                         : QStringLiteral("offline"));
    if (a.com().isVisible())
        parts.append(QStringLiteral("communicator"));
    if (a.station().FormLogon().isVisible())
        parts.append(QStringLiteral("logon"));
    if (a.station().FormCredito().isVisible())
        parts.append(QStringLiteral("credits"));
    return parts.join(QLatin1Char(','));
}
} // namespace

class TestTrayMenu final : public QObject
{
    Q_OBJECT

private slots:
    void entries_data();
    void entries();
    void openRequests_data();
    void openRequests();
    void splashMakesTrayDeaf();
    void menuAtCursor();
    void inserirUsuario_data();
    void inserirUsuario();
    void bannerFollowsSession();
    void exportedMenu();
    void headerAboveEntries();
    void withoutTray();
};

void TestTrayMenu::entries_data()
{
    QTest::addColumn<bool>("loggedOn");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Comunicador, logged off: logon dialog") << false << "MenuComunicador"
                                                           << "offline,logon";
    QTest::newRow("Comunicador, logged on: communicator") << true << "MenuComunicador"
                                                          << "ANA ON,communicator";
    QTest::newRow("CONECTADO, logged off: last pair") << false << "PopMenuConectado"
                                                      << "ANA ON";
    QTest::newRow("AUSENTE") << true << "PopMenuAusente"
                             << "ANA AU";
    QTest::newRow("OCUPADO") << true << "PopMenuOcupado"
                             << "ANA OC";
    QTest::newRow("INVISÍVEL") << true << "PopMenuInvisivel"
                               << "ANA IN";
    QTest::newRow("AUSENTE, logged off: last pair as Away") << false << "PopMenuAusente"
                                                            << "ANA AU";
    QTest::newRow("DESCONECTADO") << true << "PopMenuDesconectado"
                                  << "offline";
    QTest::newRow("Créditos") << true << "MenuCreditos"
                              << "ANA ON,credits";
    QTest::newRow("Manual") << true << "MenuManual"
                            << "ANA ON";
    QTest::newRow("Fechar Aplicativo") << true << "MenuFechar"
                                       << "offline";
}

void TestTrayMenu::entries()
{
    QFETCH(bool, loggedOn);
    QFETCH(QString, name);
    QFETCH(QString, expected);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(QStringLiteral("SETUP"), QStringLiteral("EXIBIR_JANELA"), SettingBoolean, false);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    if (!loggedOn)
        a.com().Desconectar();
    QSignalSpy ended(&a.station(), &Station::endRequested);

    // Driven as the user does: the menu from the tray, then the entry.
    emit a.tray().menuRequested(QPoint(40, 40));
    QVERIFY(a.station().FormMain().oPopUpMenu()->isVisible());
    QAction* action = entry(a.station().FormMain(), qPrintable(name));
    QVERIFY(action);
    QVERIFY(action->isEnabled());
    a.station().FormMain().oPopUpMenu()->close();
    action->trigger();

    QCOMPARE(state(a), expected);
    // The status entries show which one is current, where the desktop draws them.
    if (name.startsWith(QLatin1String("PopMenu")))
        QCOMPARE(action->isChecked(), a.com().EstaConectado() != (name == QLatin1String("PopMenuDesconectado")));
    QCOMPARE(ended.count(), name == QLatin1String("MenuFechar") ? 1 : 0);
    if (name == QLatin1String("MenuManual"))
        QCOMPARE(a.opener().opened(), QStringList { a.installDir() + QStringLiteral("help/index.html") });
    else
        QVERIFY(a.opener().opened().isEmpty());
    a.station().FormLogon().reject();
    a.station().FormCredito().hide();
}

void TestTrayMenu::openRequests_data()
{
    QTest::addColumn<bool>("loggedOn");
    QTest::addColumn<QStringList>("afterEach");

    QTest::newRow("logged on: show, hide, show")
        << true << strings({ "ANA ON,communicator", "ANA ON", "ANA ON,communicator" });
    QTest::newRow("logged off: the logon dialog") << false << strings({ "offline,logon" });
    QTest::newRow("logged off, asked again: the same dialog") << false << strings({ "offline,logon", "offline,logon" });
}

void TestTrayMenu::openRequests()
{
    QFETCH(bool, loggedOn);
    QFETCH(QStringList, afterEach);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(QStringLiteral("SETUP"), QStringLiteral("EXIBIR_JANELA"), SettingBoolean, false);
    if (loggedOn)
        a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QString typed;
    for (const QString& expected : afterEach) {
        emit a.tray().openRequested();
        QCOMPARE(state(a), expected);
        // What the user types survives a second request.
        if (a.station().FormLogon().isVisible()) {
            QTest::keyClicks(a.station().FormLogon().ComboUsuario()->lineEdit(), QStringLiteral("ze"));
            typed += QStringLiteral("ZE");
        }
    }
    if (a.station().FormLogon().isVisible()) {
        QVERIFY(a.station().FormLogon().isModal());
        QCOMPARE(a.station().FormLogon().ComboUsuario()->currentText(), typed);
        a.station().FormLogon().reject();
    }
}

void TestTrayMenu::splashMakesTrayDeaf()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.station().FormSplashScreen().show();
    emit a.tray().openRequested();
    emit a.tray().menuRequested(QPoint(5, 5));
    QVERIFY(!a.station().FormMain().oPopUpMenu()->isVisible());
    // A desktop that draws the menu can open it meanwhile: its entries are deaf too.
    entry(a.station().FormMain(), "MenuComunicador")->trigger();
    QCOMPARE(state(a), QStringLiteral("offline"));

    // Once the checks are over the same events are heard.
    a.station().FormSplashScreen().hide();
    emit a.tray().menuRequested(QPoint(5, 5));
    QVERIFY(a.station().FormMain().oPopUpMenu()->isVisible());
    a.station().FormMain().oPopUpMenu()->close();
    emit a.tray().openRequested();
    QCOMPARE(state(a), QStringLiteral("offline,logon"));
    a.station().FormLogon().reject();
}

void TestTrayMenu::menuAtCursor()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TrayPopupMenu* menu = a.station().FormMain().oPopUpMenu();
    emit a.tray().menuRequested(QPoint(60, 70));
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), QPoint(60, 70));
    menu->close();
}

void TestTrayMenu::inserirUsuario_data()
{
    QTest::addColumn<QVariant>("answer"); // null: cancelled
    QTest::addColumn<QStringList>("users");

    QTest::newRow("lower case stored in capitals, sorted")
        << QVariant(QStringLiteral("carla")) << strings({ "ANA", "CARLA", "ZECA" });
    QTest::newRow("accented letters too") << QVariant(QStringLiteral("zé")) << strings({ "ANA", "ZÉ", "ZECA" });
    QTest::newRow("already known") << QVariant(QStringLiteral("ana")) << strings({ "ANA", "ZECA" });
    QTest::newRow("a pasted TAB is dropped")
        << QVariant(QStringLiteral("bia\tna")) << strings({ "ANA", "BIANA", "ZECA" });
    QTest::newRow("empty") << QVariant(QString()) << strings({ "ANA", "ZECA" });
    QTest::newRow("cancelled") << QVariant() << strings({ "ANA", "ZECA" });
}

void TestTrayMenu::inserirUsuario()
{
    QFETCH(QVariant, answer);
    QFETCH(QStringList, users);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.tools().names().AddUserName(QStringLiteral("ZECA"));
    a.tools().names().AddUserName(QStringLiteral("ANA"));
    a.com().MontarMenuUsuarios();
    a.queued().queueText(answer.isNull() ? std::optional<QString>() : answer.toString());
    bool dialogoAberto = false;
    a.prompter().onPrompt = [&] { dialogoAberto = a.tools().DialogoAberto(); };
    entry(a.station().FormMain(), "PopMenuInsUsuario")->trigger();

    QCOMPARE(a.queued().asked().size(), 1);
    QCOMPARE(a.queued().asked().at(0).title, QStringLiteral("Adicionar usuário"));
    QVERIFY(dialogoAberto);
    QVERIFY(!a.tools().DialogoAberto());
    QStringList menuUsers;
    for (const QAction* action : a.station().FormMain().PopMenuUsuario()->actions())
        menuUsers.append(action->text());
    QCOMPARE(menuUsers, users);
    QStringList stored;
    a.tools().names().LoadUserList(stored);
    stored.sort();
    QStringList expected = users;
    expected.sort();
    QCOMPARE(stored, expected);
}

void TestTrayMenu::bannerFollowsSession()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TrayPopupMenu* menu = a.station().FormMain().oPopUpMenu();
    const auto popUp = [&] {
        emit a.tray().menuRequested(QPoint(10, 10));
        QVERIFY(menu->isVisible());
    };
    // What the banner shows, and the colour painted at its top (away from the text).
    const auto painted = [&] { return menu->grab().toImage().pixelColor(10, 3); };

    popUp();
    QCOMPARE(menu->bannerText(), QStringLiteral("  COLLOQUA"));
    QVERIFY(!menu->bannerActive());
    QCOMPARE(painted().rgb(), menu->palette().color(QPalette::Active, QPalette::Mid).rgb());
    menu->close();

    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    // An XEmbed tray's tip stays the program's name; the banner tells the user.
    QCOMPARE(a.tray().toolTip(), QStringLiteral("Colloqua"));
    popUp();
    QCOMPARE(menu->bannerText(), QStringLiteral("  COLLOQUA - ANA"));
    QVERIFY(menu->bannerActive());
    QCOMPARE(painted().rgb(), menu->palette().color(QPalette::Active, QPalette::Highlight).rgb());
    menu->close();

    // Logging off keeps the name; only the colour changes.
    entry(a.station().FormMain(), "PopMenuDesconectado")->trigger();
    popUp();
    QCOMPARE(menu->bannerText(), QStringLiteral("  COLLOQUA - ANA"));
    QVERIFY(!menu->bannerActive());
    QCOMPARE(painted().rgb(), menu->palette().color(QPalette::Active, QPalette::Mid).rgb());
    menu->close();
}

void TestTrayMenu::exportedMenu()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.tray().setExportsMenu(true);
    TFormMain& main = a.station().FormMain();
    // The host gets the drawn menu's own entries, under the banner text it cannot paint.
    QMenu* exported = a.tray().contextMenu();
    QCOMPARE(exported, main.MenuExportado());
    QCOMPARE(exported->actions().mid(1), main.oPopUpMenu()->actions());
    QAction* faixa = exported->actions().constFirst();
    QVERIFY(!faixa->isEnabled());
    QVERIFY(entry(main, "PopMenuDesconectado")->isChecked());

    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QCOMPARE(faixa->text(), QStringLiteral("COLLOQUA - ANA"));
    QCOMPARE(a.tray().toolTip(), QStringLiteral("COLLOQUA - ANA"));
    QVERIFY(entry(main, "PopMenuConectado")->isChecked());
    // Changed from the communicator's own status menu: the check follows the station.
    a.com().PopupMenuStatus()->actions().at(2)->trigger();
    QVERIFY(entry(main, "PopMenuOcupado")->isChecked());
    a.com().Desconectar();
    QVERIFY(entry(main, "PopMenuDesconectado")->isChecked());
    // A status that cannot be taken (no last user to log on with) is not ticked either.
    a.setting(QStringLiteral("SETUP"), QStringLiteral("LAST_USER"), SettingString, QString());
    entry(main, "PopMenuAusente")->trigger();
    QVERIFY(!a.com().EstaConectado());
    QVERIFY(entry(main, "PopMenuDesconectado")->isChecked());
    // Logging off keeps the name, as the drawn banner does.
    QCOMPARE(faixa->text(), QStringLiteral("COLLOQUA - ANA"));
}

void TestTrayMenu::headerAboveEntries()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TrayPopupMenu* menu = a.station().FormMain().oPopUpMenu();
    emit a.tray().menuRequested(QPoint(10, 10));
    const QRect header = menu->headerRect();
    QVERIFY(header.height() >= TrayPopupMenu::HeaderPictureTop + 82);
    // Every entry sits right of the banner and below the header.
    for (QAction* action : menu->actions()) {
        const QRect geometry = menu->actionGeometry(action);
        QVERIFY2(geometry.left() >= TrayPopupMenu::EntriesLeft, qPrintable(action->text()));
        QVERIFY2(geometry.top() >= header.bottom(), qPrintable(action->text()));
    }
    // The header is white around the picture, which is drawn in its middle.
    const QImage image = menu->grab().toImage();
    QCOMPARE(image.pixelColor(header.left() + 2, header.top() + 2).rgb(), QColor(Qt::white).rgb());
    bool pictureSeen = false;
    for (int y = TrayPopupMenu::HeaderPictureTop; y < TrayPopupMenu::HeaderPictureTop + 82 && !pictureSeen; ++y)
        pictureSeen = image.pixelColor(header.center().x(), y).rgb() != QColor(Qt::white).rgb();
    QVERIFY(pictureSeen);
    menu->close();
}

void TestTrayMenu::withoutTray()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormMain& main = a.station().FormMain();
    main.GarantirAcessoSemBandeja();
    QVERIFY(!main.MenuSemBandeja());
    QCOMPARE(state(a), QStringLiteral("offline"));

    a.tray().setAvailable(false);
    a.station().FormLogon().Exibir();
    main.GarantirAcessoSemBandeja();
    QCOMPARE(state(a), QStringLiteral("offline,logon"));
    // Leaving the logon dialog never leaves the station without a window.
    a.station().FormLogon().reject();
    QCOMPARE(state(a), QStringLiteral("offline,communicator"));

    // The communicator's menu bar offers what the tray menu does.
    QMenu* menu = main.MenuSemBandeja();
    QVERIFY(menu);
    QVERIFY(a.com().menuBar()->actions().contains(menu->menuAction()));
    // The tray's own commands, not copies.
    QCOMPARE(menuObjectNames(menu), (strings({ "MenuOperacao", "", "MenuManual", "MenuCreditos", "", "MenuFechar" })));
    entry(main, "PopMenuConectado")->trigger();
    QCOMPARE(a.com().EstaConectado(), false); // no last pair yet
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));

    // Closing the communicator keeps it on the task bar.
    a.com().close();
    QTRY_VERIFY(a.com().isVisible());
    QVERIFY(a.com().isMinimized());
    main.GarantirAcessoSemBandeja();
    QCOMPARE(menu, main.MenuSemBandeja());
}

QTEST_MAIN(TestTrayMenu)
#include "tst_traymenu.moc"
