#include "frame.h"
#include "historyfiles.h"
#include "namelists.h"
#include "teststation.h"
#include "tformconfig.h"
#include "tformcopy.h"
#include "tformcredito.h"
#include "tformhistmsg.h"
#include "tformlogon.h"
#include "tformmain.h"
#include "tformrestore.h"
#include "tformsendmsg.h"
#include "tformsplashscreen.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <cmath>
#include <functional>

namespace
{
const QString Channel = QStringLiteral("NETWORK");
}

// Opens a dialog of the station the way the user does and returns it.
using DialogOpener = std::function<QWidget*(TestStation&)>;
using WindowOf = std::function<QWidget*(Station&)>;
Q_DECLARE_METATYPE(DialogOpener)
Q_DECLARE_METATYPE(WindowOf)

class TestStationWindows final : public QObject
{
    Q_OBJECT

private slots:
    void windowsAndCaptions();
    void twoStationsInOneProcess();
    void trayOpensCommunicatorOrLogon();
    void traySilentWhileSplashShows();
    void logonDialogLogsOn();
    void sendWindowRecipients();
    void historyPinnedInPlace();
    void dialogsOpenAboveThePinnedHistory_data();
    void dialogsOpenAboveThePinnedHistory();
    void menuBarsReadable_data();
    void menuBarsReadable();
    void historyPages_data();
    void historyPages();
};

void TestStationWindows::windowsAndCaptions()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    Station& s = a.station();
    QCOMPARE(s.FormCom().windowTitle(), QStringLiteral("Comunicador"));
    QCOMPARE(s.FormHistMSG().windowTitle(), QStringLiteral("Histórico de Mensagens"));
    QCOMPARE(s.FormLogon().windowTitle(), QStringLiteral("Colloqua"));
    QCOMPARE(s.FormConfig().windowTitle(), QStringLiteral("Configurações"));
    QCOMPARE(s.FormCopy().windowTitle(), QStringLiteral("Copiando..."));
    QCOMPARE(s.FormRestore().windowTitle(), QStringLiteral("Restaurar backup"));
    QCOMPARE(s.FormComTools().ProgramDir(), a.home().home().ProgramDir());
    QCOMPARE(s.computerName(), QStringLiteral("pc-a"));
    // Every window starts hidden; the hidden main window is never shown.
    for (const QWidget* window : std::initializer_list<const QWidget*> { &s.FormMain(), &s.FormCom(), &s.FormCopy(),
             &s.FormRestore(), &s.FormHistMSG(), &s.FormSendMSG(), &s.FormLogon(), &s.FormSplashScreen(),
             &s.FormConfig(), &s.FormCredito() })
        QVERIFY(!window->isVisible());
    // The transport starts with its placeholder mailbox.
    QCOMPARE(s.FormCom().ALMailSlot1().MailBox(), QStringLiteral("MailBox"));

    a.station().FormMain().Creditos();
    QVERIFY(s.FormCredito().isVisible());
    a.com().MenuConfiguracoesClick();
    QVERIFY(s.FormConfig().isVisible());
}

void TestStationWindows::twoStationsInOneProcess()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TestStation b(QStringLiteral("pc-b"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    b.com().Conectar(QStringLiteral("BRUNO"), Channel, QStringLiteral("ON"));
    QCOMPARE(a.com().UsuarioAtual(), QStringLiteral("ANA"));
    QCOMPARE(b.com().UsuarioAtual(), QStringLiteral("BRUNO"));
    QVERIFY(a.tools().ProgramDir() != b.tools().ProgramDir());
    // Each station hears the other through its own transport.
    QTRY_VERIFY(a.session().master().ProcurarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-b")));
    QTRY_VERIFY(b.session().master().ProcurarUsuario(QStringLiteral("ANA"), QStringLiteral("pc-a")));
}

void TestStationWindows::trayOpensCommunicatorOrLogon()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormLogon& logon = a.station().FormLogon();

    // Nobody logged on: the logon dialog, modal.
    emit a.tray().openRequested();
    QVERIFY(logon.isVisible());
    QVERIFY(logon.isModal());
    QVERIFY(!a.com().isVisible());
    logon.reject();

    a.setting(QStringLiteral("SETUP"), QStringLiteral("EXIBIR_JANELA"), SettingBoolean, false);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    emit a.tray().openRequested();
    QVERIFY(a.com().isVisible());
    emit a.tray().openRequested();
    QVERIFY(!a.com().isVisible());
    QVERIFY(a.com().EstaConectado());
}

void TestStationWindows::traySilentWhileSplashShows()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.station().FormSplashScreen().show();
    emit a.tray().openRequested();
    QVERIFY(!a.station().FormLogon().isVisible());
    emit a.tray().menuRequested(QPoint(5, 5));
    QVERIFY(!a.station().FormMain().oPopUpMenu()->isVisible());
    a.station().FormSplashScreen().hide();
}

void TestStationWindows::logonDialogLogsOn()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.tools().names().AddChannelName(QStringLiteral("VENDAS"));
    a.tools().names().AddChannelName(Channel);
    a.tools().names().AddUserName(QStringLiteral("ANA"));
    a.setting(QStringLiteral("SETUP"), QStringLiteral("LAST_CHANNEL"), SettingString, QStringLiteral("vendas"));
    a.setting(QStringLiteral("SETUP"), QStringLiteral("LAST_USER"), SettingString, QStringLiteral("ANA"));
    TFormLogon& logon = a.station().FormLogon();
    logon.Exibir();
    // The remembered pair, found in the sorted lists whatever the letter case.
    QCOMPARE(logon.ComboCanal()->currentText(), QStringLiteral("VENDAS"));
    QCOMPARE(logon.ComboUsuario()->currentText(), QStringLiteral("ANA"));
    QCOMPARE(logon.ComboCanal()->itemText(0), Channel);

    logon.ComboUsuario()->lineEdit()->clear();
    QTest::keyClicks(logon.ComboUsuario()->lineEdit(), QStringLiteral("bru.no"));
    QTest::keyClick(logon.ComboUsuario()->lineEdit(), Qt::Key_Return);
    QVERIFY(!logon.isVisible());
    QVERIFY(a.com().EstaConectado());
    QCOMPARE(a.com().UsuarioAtual(), QStringLiteral("BRUNO"));
    QCOMPARE(a.com().CanalAtual(), QStringLiteral("VENDAS"));
}

void TestStationWindows::sendWindowRecipients()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.AdicionarDestinatario(QStringLiteral("ANA (pc-c)"));
    send.AdicionarDestinatario(QStringLiteral("bruno (PC-B)"));
    QCOMPARE(send.Destinatarios(), (QStringList { QStringLiteral("ANA (pc-c)"), QStringLiteral("BRUNO (pc-b)") }));
    QVERIFY(send.isChecked(QStringLiteral("BRUNO (pc-b)")));

    // Somebody else logging off changes nothing.
    send.RemoverDesconectado(QStringLiteral("CARLA (pc-d)"));
    QVERIFY(send.Aviso().isEmpty());
    send.RemoverDesconectado(QStringLiteral("Bruno (pc-b)"));
    QCOMPARE(send.Destinatarios(), QStringList { QStringLiteral("ANA (pc-c)") });
    QCOMPARE(send.Aviso(), QStringLiteral("Usuário \"Bruno (pc-b)\" desconectou."));

    // Nothing to send: the warnings, the last that applies.
    QVERIFY(!send.EnviarMensagem());
    QCOMPARE(send.Aviso(), QStringLiteral("Mensagem vazia!"));
    send.RemoverDesconectado(QStringLiteral("ANA (pc-c)"));
    QVERIFY(!send.EnviarMensagem());
    QCOMPARE(send.Aviso(), QStringLiteral("Não foi informado destinatário!"));

    // Closing empties the list and stores the geometry.
    send.AdicionarDestinatario(QStringLiteral("ANA (pc-c)"));
    send.show();
    send.resize(300, 220);
    send.close();
    QVERIFY(send.Destinatarios().isEmpty());
    QCOMPARE(a.readSetting(QStringLiteral("POSICAO"), QStringLiteral("WNDSEND_WIDTH"), SettingInteger).toInt(), 300);
}

void TestStationWindows::historyPinnedInPlace()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormHistMSG& hist = a.station().FormHistMSG();
    hist.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hist));
    hist.setGeometry(40, 50, 500, 260);
    const QRect before = hist.geometry();

    hist.setTopmost(true);
    QVERIFY(hist.isTopmost());
    QVERIFY(hist.isVisible());
    QCOMPARE(hist.geometry(), before);

    // Opening the dialog bracket takes it out of the top layer, in place.
    a.tools().setDialogoAberto(true);
    QVERIFY(!hist.isTopmost());
    QVERIFY(hist.isVisible());
    QCOMPARE(hist.geometry(), before);
    a.tools().setDialogoAberto(false);
    QVERIFY(!hist.isTopmost());
}

void TestStationWindows::dialogsOpenAboveThePinnedHistory_data()
{
    QTest::addColumn<DialogOpener>("open");
    QTest::addColumn<bool>("outerBracket");
    const DialogOpener logon = [](TestStation& a) {
        emit a.tray().openRequested();
        return static_cast<QWidget*>(&a.station().FormLogon());
    };
    const DialogOpener settings = [](TestStation& a) {
        a.com().MenuConfiguracoesClick();
        return static_cast<QWidget*>(&a.station().FormConfig());
    };
    const DialogOpener credits = [](TestStation& a) {
        a.station().FormMain().Creditos();
        return static_cast<QWidget*>(&a.station().FormCredito());
    };
    QTest::newRow("logon") << logon << false;
    QTest::newRow("settings") << settings << false;
    QTest::newRow("credits") << credits << false;
    QTest::newRow("credits over a prompt") << credits << true;
}

// A dialog shown without waiting for it must not open under the history window pinned by an
// arriving message, nor may a message arriving meanwhile pin it over the dialog.
void TestStationWindows::dialogsOpenAboveThePinnedHistory()
{
    QFETCH(DialogOpener, open);
    QFETCH(bool, outerBracket);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormHistMSG& hist = a.station().FormHistMSG();
    hist.show();
    hist.setTopmost(true);
    if (outerBracket)
        a.tools().setDialogoAberto(true);

    QWidget* dialog = open(a);
    QVERIFY(dialog->isVisible());
    QVERIFY(a.tools().DialogoAberto());
    QVERIFY(!hist.isTopmost());
    QVERIFY(hist.isVisible());

    dialog->close();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(a.tools().DialogoAberto(), outerBracket);
    // Shown again, the bracket opens again.
    open(a);
    QVERIFY(a.tools().DialogoAberto());
    dialog->close();
    QCOMPARE(a.tools().DialogoAberto(), outerBracket);
}

void TestStationWindows::menuBarsReadable_data()
{
    QTest::addColumn<WindowOf>("window");
    QTest::newRow("communicator") << WindowOf([](Station& s) -> QWidget* { return &s.FormCom(); });
    QTest::newRow("send") << WindowOf([](Station& s) -> QWidget* { return &s.FormSendMSG(); });
    QTest::newRow("history") << WindowOf([](Station& s) -> QWidget* { return &s.FormHistMSG(); });
}

namespace
{
// WCAG relative luminance, 0 for black to 1 for white.
double luminance(const QColor& colour)
{
    const auto linear = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
} // namespace

// The captions of a menu bar stand out from the bar, whatever colour the window is painted.
void TestStationWindows::menuBarsReadable()
{
    QFETCH(WindowOf, window);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    QWidget* shown = window(a.station());
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    auto* bar = shown->findChild<QMenuBar*>();
    QVERIFY(bar);
    const QImage picture = bar->grab().toImage();
    QVERIFY(!picture.isNull());
    // The bar's empty right end, away from every caption.
    const QColor background = picture.pixelColor(picture.width() - 3, picture.height() / 2);
    const QColor caption = bar->palette().color(QPalette::ButtonText);
    QVERIFY2(contrast(background, caption) >= 4.5,
        qPrintable(QStringLiteral("captions %1 on %2").arg(caption.name(), background.name())));
    shown->hide();
}

void TestStationWindows::historyPages_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("Recebidas") << 0 << QStringList { QStringLiteral("sem destino"), QStringLiteral("para mim") };
    QTest::newRow("Enviadas") << 1 << QStringList { QStringLiteral("enviada") };
    QTest::newRow("Todas") << 2
                           << QStringList { QStringLiteral("enviada"), QStringLiteral("sem destino"),
                                  QStringLiteral("para mim") };
    QTest::newRow("any other page is Recebidas")
        << 7 << QStringList { QStringLiteral("sem destino"), QStringLiteral("para mim") };
}

void TestStationWindows::historyPages()
{
    QFETCH(int, page);
    QFETCH(QStringList, texts);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    const HistoryFiles& history = a.tools().history();
    // Newest first by the sender's stamp.
    history.AppendReceived(BuildTextFrame(
        QStringLiteral("BRUNO"), QStringLiteral("ANA"), QStringLiteral("010126100000"), 5, QStringLiteral("para mim")));
    history.AppendReceived(BuildTextFrame(QStringLiteral("BRUNO"), QStringLiteral("CARLA"),
        QStringLiteral("010126100100"), 5, QStringLiteral("para outra")));
    history.AppendReceived(BuildTextFrame(
        QStringLiteral("BRUNO"), QString(), QStringLiteral("010126100200"), 5, QStringLiteral("sem destino")));
    history.AppendReceived(
        BuildPresenceFrame(QStringLiteral("BRUNO"), QStringLiteral("010126100300"), QStringLiteral("ON")));
    history.AppendSent(BuildTextFrame(
        QStringLiteral("ANA"), QStringLiteral("BRUNO"), QStringLiteral("010126100400"), 5, QStringLiteral("enviada")));
    history.AppendSent(BuildTextFrame(QStringLiteral("ZECA"), QStringLiteral("BRUNO"), QStringLiteral("010126100500"),
        5, QStringLiteral("de outro")));

    TFormHistMSG& hist = a.station().FormHistMSG();
    hist.DefinirAba(page);
    hist.AtualizarLista();
    QStringList shown;
    for (const QString& line : hist.Linhas())
        shown.append(line.section(QStringLiteral("  "), -1));
    QCOMPARE(shown, texts);
}

QTEST_MAIN(TestStationWindows)
#include "tst_stationwindows.moc"
