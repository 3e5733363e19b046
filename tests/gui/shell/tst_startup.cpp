#include "fakemailslotbackend.h"
#include "filesnapshot.h"
#include "historyfiles.h"
#include "programstart.h"
#include "queuedprompter.h"
#include "singleinstance.h"
#include "startupchecks.h"
#include "station.h"
#include "teststation.h"
#include "tformcom.h"
#include "tformhistmsg.h"
#include "tformlogon.h"
#include "tformmain.h"
#include "tformsplashscreen.h"
#include "trayhost.h"
#include "traywatch.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace
{
const QString Setup = QStringLiteral("SETUP");
// A relative path ending in "/" stands for a directory.
using Entries = QMap<QString, QByteArray>;
using Results = QList<bool>;

QByteArray goldenFactoryFile()
{
    QFile file(QStringLiteral(COLLOQUA_TEST_DATA_DIR "/colloqua-factory.ini"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the golden settings file is missing");
    return file.readAll();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A station over a home the test lays out itself, possibly not yet existing, started the
// way the program starts it.
class StartupStation
{
public:
    explicit StartupStation(const QString& homeBelow = {})
        : m_home(homeBelow.isEmpty() ? m_dir.path() : m_dir.path() + QLatin1Char('/') + homeBelow)
        , m_builder(m_home, QStringLiteral("pc-a"), m_prompter)
    { }
    StartupStation(const StartupStation&) = delete;
    StartupStation& operator=(const StartupStation&) = delete;

    QString path(const QString& relative) const { return m_home + QLatin1Char('/') + relative; }

    void lay(const Entries& entries) const
    {
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            if (it.key().endsWith(QLatin1Char('/'))) {
                QDir().mkpath(path(it.key()));
                continue;
            }
            QDir().mkpath(QFileInfo(path(it.key())).absolutePath());
            QFile file(path(it.key()));
            if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
                qFatal("cannot lay out the home");
        }
    }

    void setting(const QString& key, const SettingValue& value, int type = SettingString) const
    {
        Settings(StationHome(m_home)).WriteSetting(Setup, key, type, value);
    }

    // A desktop without a notification area, unless asked.
    Station& create(bool trayAvailable = false) { return prepared(trayAvailable).build(); }

    // The program's start: the splash shows, then its four ticks.
    Station& createAndCheck(bool trayAvailable = false) { return prepared(trayAvailable).buildAndStart(); }

    Station& station() const { return m_builder.station(); }
    TFormSplashScreen& splash() const { return station().FormSplashScreen(); }
    QueuedPrompter& prompter() { return m_prompter; }
    NullTrayHost& tray() const { return m_builder.tray(); }
    QString home() const { return m_home; }
    void destroy() { m_builder.destroy(); }

private:
    StationBuilder& prepared(bool trayAvailable)
    {
        return m_builder.trayAvailable(trayAvailable).backend(m_network.attach(QStringLiteral("pc-a")));
    }

    QTemporaryDir m_dir;
    QString m_home;
    FakeMailslotNetwork m_network;
    QueuedPrompter m_prompter;
    StationBuilder m_builder;
};

Results marks(const QListWidget* list)
{
    Results results;
    for (int row = 0; row < list->count(); ++row)
        results.append(list->item(row)->checkState() == Qt::Checked);
    return results;
}

const QStringList Captions { QStringLiteral("Verificando subdiretórios..."),
    QStringLiteral("Verificando configurações gerais..."), QStringLiteral("Verificando arquivos de configuração...") };
} // namespace

class TestStartup final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void checks_data();
    void checks();
    void stepsOneTickEach();
    void checksRunOnTheTimer();
    void hiddenSplashRunsNoChecks();
    void handOver_data();
    void handOver();
    void errorViewEndsTheRunWritingNothing();
    void trayFromTheStart();
    void lateTray_data();
    void lateTray();

    void endOfRun_data();
    void endOfRun();

    void secondInstance_data();
    void secondInstance();

    void preferredPlatform_data();
    void preferredPlatform();

private:
    QTemporaryDir m_runtimeDir;
};

void TestStartup::initTestCase()
{
    // Locks of this test stay away from the session's own.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir.path()));
}

void TestStartup::checks_data()
{
    QTest::addColumn<QString>("homeBelow");
    QTest::addColumn<Entries>("given");
    QTest::addColumn<Results>("results");
    // Expected afterwards: file contents, directories, and paths that must not exist.
    QTest::addColumn<Entries>("files");
    QTest::addColumn<QStringList>("dirs");
    QTest::addColumn<QStringList>("absent");

    const QByteArray factory = goldenFactoryFile();
    const QByteArray network = "NETWORK\r\n";
    const QByteArray ownSettings = "[SETUP]\nDEFAULT_USER=\n; written by hand, LF only\n";
    const QStringList both { QStringLiteral("Dados"), QStringLiteral("Plug-Ins") };

    QTest::newRow("first start in an empty home")
        << QString() << Entries() << Results { true, true, true }
        << Entries { { QStringLiteral("colloqua.ini"), factory }, { QStringLiteral("Dados/canais.dbt"), network } }
        << both << QStringList();
    QTest::newRow("home not created yet")
        << QStringLiteral("novo/casa") << Entries() << Results { true, true, true }
        << Entries { { QStringLiteral("colloqua.ini"), factory }, { QStringLiteral("Dados/canais.dbt"), network } }
        << both << QStringList();
    QTest::newRow("a file where the data directory goes")
        << QString() << Entries { { QStringLiteral("Dados"), "not a directory" } } << Results { false, false, true }
        << Entries { { QStringLiteral("Dados"), "not a directory" }, { QStringLiteral("colloqua.ini"), factory } }
        << QStringList { QStringLiteral("Plug-Ins") } << QStringList();
    QTest::newRow("a file where Plug-Ins goes")
        << QString() << Entries { { QStringLiteral("Plug-Ins"), "x" } } << Results { false, true, true }
        << Entries { { QStringLiteral("colloqua.ini"), factory }, { QStringLiteral("Dados/canais.dbt"), network },
               { QStringLiteral("Plug-Ins"), "x" } }
        << QStringList { QStringLiteral("Dados") } << QStringList();
    QTest::newRow("existing settings are never rewritten")
        << QString() << Entries { { QStringLiteral("colloqua.ini"), ownSettings } } << Results { true, true, true }
        << Entries { { QStringLiteral("colloqua.ini"), ownSettings }, { QStringLiteral("Dados/canais.dbt"), network } }
        << both << QStringList();
    QTest::newRow("an empty channel list stays empty")
        << QString()
        << Entries { { QStringLiteral("colloqua.ini"), ownSettings }, { QStringLiteral("Dados/canais.dbt"), "" } }
        << Results { true, true, true }
        << Entries { { QStringLiteral("colloqua.ini"), ownSettings }, { QStringLiteral("Dados/canais.dbt"), "" } }
        << both << QStringList();
    QTest::newRow("data directory in lower case")
        << QString() << Entries { { QStringLiteral("dados/"), {} } } << Results { true, true, true }
        << Entries { { QStringLiteral("colloqua.ini"), factory }, { QStringLiteral("dados/canais.dbt"), network } }
        << QStringList { QStringLiteral("dados"), QStringLiteral("Plug-Ins") }
        << QStringList { QStringLiteral("Dados") };
    QTest::newRow("leftovers of cut-off saves go, copies the user named stay")
        << QString()
        << Entries { { QStringLiteral("colloqua.ini"), ownSettings }, { QStringLiteral("colloqua.ini.HkWqZe"), "x" },
               { QStringLiteral("Dados/ArvUsuarios.tv.QxTbRw"), "x" }, { QStringLiteral("Dados/swap.dbt"), "x" },
               { QStringLiteral("Dados/ArvUsuarios.tv.Antigo"), "mine" },
               { QStringLiteral("Dados/toque.wav.QxTbRw"), "x" } }
        << Results { true, true, true }
        << Entries { { QStringLiteral("Dados/ArvUsuarios.tv.Antigo"), "mine" },
               { QStringLiteral("Dados/toque.wav.QxTbRw"), "x" } }
        << both
        << QStringList { QStringLiteral("colloqua.ini.HkWqZe"), QStringLiteral("Dados/ArvUsuarios.tv.QxTbRw"),
               QStringLiteral("Dados/swap.dbt") };
    QTest::newRow("a directory where the settings file goes")
        << QString() << Entries { { QStringLiteral("colloqua.ini/"), {} } } << Results { true, false, true }
        << Entries { { QStringLiteral("Dados/canais.dbt"), network } } << both << QStringList();
}

void TestStartup::checks()
{
    QFETCH(QString, homeBelow);
    QFETCH(Entries, given);
    QFETCH(Results, results);
    QFETCH(Entries, files);
    QFETCH(QStringList, dirs);
    QFETCH(QStringList, absent);

    StartupStation fixture(homeBelow);
    fixture.lay(given);
    fixture.createAndCheck();
    TFormSplashScreen& splash = fixture.splash();

    QCOMPARE(marks(splash.CheckList()), results);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QCOMPARE(readFile(fixture.path(it.key())), it.value());
    for (const QString& dir : dirs)
        QVERIFY2(QFileInfo(fixture.path(dir)).isDir(), qPrintable(dir));
    for (const QString& name : absent)
        QVERIFY2(!QFileInfo::exists(fixture.path(name)), qPrintable(name));

    const bool passed = !results.contains(false);
    QCOMPARE(splash.state(), passed ? TFormSplashScreen::State::Passed : TFormSplashScreen::State::Failed);
    QCOMPARE(splash.isVisible(), !passed);
    QVERIFY(!splash.StepTimer()->isActive());
    if (!passed) {
        QCOMPARE(splash.windowTitle(), QStringLiteral("Erro na inicialização"));
        QVERIFY(splash.CheckList()->isVisible());
        QVERIFY(!splash.LbStatus()->isVisible());
        QVERIFY(!splash.Gauge()->isVisible());
        QVERIFY(!splash.Picture()->isVisible());
        QVERIFY(splash.windowFlags().testFlag(Qt::WindowTitleHint));
        QStringList shown;
        for (int row = 0; row < splash.CheckList()->count(); ++row)
            shown.append(splash.CheckList()->item(row)->text());
        QCOMPARE(shown, Captions);
    }
}

void TestStartup::stepsOneTickEach()
{
    StartupStation fixture;
    Station& station = fixture.create();
    TFormSplashScreen& splash = fixture.splash();
    QVERIFY(!splash.StepTimer()->isActive());
    station.start();
    QVERIFY(splash.isVisible());
    QCOMPARE(splash.LbStatus()->text(), QStringLiteral("Iniciando ..."));
    QCOMPARE(splash.Gauge()->maximum(), 3);
    QCOMPARE(splash.Gauge()->value(), 0);
    QVERIFY(splash.StepTimer()->isActive());
    QCOMPARE(splash.StepTimer()->interval(), 250);

    // While the checks run the window cannot be closed.
    splash.close();
    QVERIFY(splash.isVisible());

    for (int step = 0; step < StartupChecks::StepCount; ++step) {
        splash.TimerTick();
        // The label names the step that has just run.
        QCOMPARE(splash.LbStatus()->text(), Captions.at(step));
        QCOMPARE(splash.Gauge()->value(), step + 1);
        QCOMPARE(splash.stepsRun(), step + 1);
        QVERIFY(splash.StepTimer()->isActive());
        QVERIFY(splash.isVisible());
    }
    splash.TimerTick();
    QCOMPARE(splash.state(), TFormSplashScreen::State::Passed);
    QVERIFY(!splash.isVisible());
    QCOMPARE(marks(splash.CheckList()), (Results { true, true, true }));
    // A later tick (a stray timer event) changes nothing.
    splash.TimerTick();
    QCOMPARE(splash.stepsRun(), 3);
}

void TestStartup::checksRunOnTheTimer()
{
    StartupStation fixture;
    Station& station = fixture.create();
    station.start();
    QTRY_COMPARE_WITH_TIMEOUT(fixture.splash().state(), TFormSplashScreen::State::Passed, 10000);
    QCOMPARE(readFile(fixture.path(QStringLiteral("colloqua.ini"))), goldenFactoryFile());
    // No tray here: the logon dialog keeps the program reachable.
    QVERIFY(station.FormLogon().isVisible());
    station.FormLogon().reject();
}

void TestStartup::hiddenSplashRunsNoChecks()
{
    StartupStation fixture;
    Station& station = fixture.create(true);
    TFormSplashScreen& splash = fixture.splash();
    station.start();
    splash.TimerTick();
    QCOMPARE(splash.stepsRun(), 1);
    splash.hide();
    QVERIFY(!splash.StepTimer()->isActive());
    // Several intervals of the step timer.
    QTest::qWait(800);
    QCOMPARE(splash.stepsRun(), 1);
    QCOMPARE(splash.state(), TFormSplashScreen::State::Checking);
    // Shown again, the checks go on from where they were.
    splash.show();
    QVERIFY(splash.StepTimer()->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(splash.state(), TFormSplashScreen::State::Passed, 10000);
    QCOMPARE(splash.stepsRun(), StartupChecks::StepCount);
    QVERIFY(!splash.StepTimer()->isActive());
}

void TestStartup::handOver_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("loggedOn");

    QTest::newRow("factory settings: no logon")
        << QString() << QStringLiteral("NETWORK") << QStringLiteral("ON") << false;
    QTest::newRow("default user") << QStringLiteral("ANA") << QStringLiteral("VENDAS") << QStringLiteral("OC") << true;
    QTest::newRow("default status OF") << QStringLiteral("ANA") << QStringLiteral("VENDAS") << QStringLiteral("OF")
                                       << false;
    QTest::newRow("no default status") << QStringLiteral("ANA") << QStringLiteral("VENDAS") << QString() << false;
    QTest::newRow("no default channel") << QStringLiteral("ANA") << QString() << QStringLiteral("ON") << false;
}

void TestStartup::handOver()
{
    QFETCH(QString, user);
    QFETCH(QString, channel);
    QFETCH(QString, status);
    QFETCH(bool, loggedOn);

    StartupStation fixture;
    fixture.lay({ { QStringLiteral("colloqua.ini"), goldenFactoryFile() } });
    fixture.setting(QStringLiteral("DEFAULT_USER"), user);
    fixture.setting(QStringLiteral("DEFAULT_CHANNEL"), channel);
    fixture.setting(QStringLiteral("DEFAULT_STATUS"), status);
    fixture.setting(QStringLiteral("EXIBIR_JANELA"), false, SettingBoolean);
    Settings(StationHome(fixture.home()))
        .WriteSetting(QStringLiteral("POSICAO"), QStringLiteral("WNDHIST_LEFT"), SettingInteger, 77);
    Station& station = fixture.createAndCheck();
    TFormCom& com = station.FormCom();

    // The saved window places were applied.
    QCOMPARE(station.FormHistMSG().pos().x(), 77);
    QCOMPARE(com.EstaConectado(), loggedOn);
    if (loggedOn) {
        QCOMPARE(com.UsuarioAtual(), user);
        QCOMPARE(com.CanalAtual(), channel);
        QCOMPARE(com.StatusAtual(), status);
    }
    // Without a tray, a window stays up: the logon dialog while logged off.
    QCOMPARE(station.FormLogon().isVisible(), !loggedOn);
    if (!loggedOn)
        station.FormLogon().reject();
    else
        QVERIFY(com.isVisible());
}

void TestStartup::errorViewEndsTheRunWritingNothing()
{
    StartupStation fixture;
    fixture.lay({ { QStringLiteral("Dados"), "in the way" }, { QStringLiteral("colloqua.ini"), goldenFactoryFile() } });
    fixture.setting(QStringLiteral("DEFAULT_USER"), QStringLiteral("ANA"));
    Station& station = fixture.createAndCheck();
    QSignalSpy ends(&station, &Station::endRequested);
    TFormSplashScreen& splash = fixture.splash();
    QCOMPARE(splash.state(), TFormSplashScreen::State::Failed);
    QCOMPARE(ends.count(), 0);
    const QStringList before = fileSnapshot(fixture.home());

    splash.close();
    QCOMPARE(ends.count(), 1);
    QVERIFY(!splash.isVisible());
    QVERIFY(!station.FormCom().EstaConectado());
    QVERIFY(!station.FormCom().isVisible());
    QVERIFY(!station.FormLogon().isVisible());
    QTest::qWait(50);
    fixture.destroy();
    QCOMPARE(fileSnapshot(fixture.home()), before);
}

void TestStartup::trayFromTheStart()
{
    StartupStation fixture;
    Station& station = fixture.createAndCheck(true);
    QVERIFY(fixture.tray().isVisible());
    QVERIFY(!station.trayWatch().isWatching());
    QVERIFY(!station.FormMain().MenuSemBandeja());
    QVERIFY(!station.FormMain().LbSemBandeja());
    QVERIFY(!station.FormLogon().isVisible());
    QVERIFY(!station.FormCom().isVisible());
}

void TestStartup::lateTray_data()
{
    QTest::addColumn<QString>("user"); // the default user; empty: no logon at the start
    QTest::addColumn<bool>("showWindow"); // EXIBIR_JANELA
    QTest::addColumn<bool>("typed"); // a key typed into the logon dialog meanwhile
    QTest::addColumn<QString>("leftOnScreen"); // "logon", "communicator" or nothing

    QTest::newRow("logged off: the logon dialog goes") << QString() << true << false << QString();
    QTest::newRow("logged off, a name being typed: it stays") << QString() << true << true << QStringLiteral("logon");
    QTest::newRow("logged on, window asked for: it stays")
        << QStringLiteral("ANA") << true << false << QStringLiteral("communicator");
    QTest::newRow("logged on, window shown only for lack of a tray: it goes")
        << QStringLiteral("ANA") << false << false << QString();
}

void TestStartup::lateTray()
{
    QFETCH(QString, user);
    QFETCH(bool, showWindow);
    QFETCH(bool, typed);
    QFETCH(QString, leftOnScreen);

    StartupStation fixture;
    fixture.lay({ { QStringLiteral("colloqua.ini"), goldenFactoryFile() } });
    fixture.setting(QStringLiteral("DEFAULT_USER"), user);
    fixture.setting(QStringLiteral("DEFAULT_CHANNEL"), QStringLiteral("VENDAS"));
    fixture.setting(QStringLiteral("DEFAULT_STATUS"), QStringLiteral("ON"));
    fixture.setting(QStringLiteral("EXIBIR_JANELA"), showWindow, SettingBoolean);
    Station& station = fixture.createAndCheck();
    TFormMain& main = station.FormMain();
    TFormCom& com = station.FormCom();
    TFormLogon& logon = station.FormLogon();

    // Without a tray: the stand-in menu, the quiet line under the communicator, and the watch.
    QVERIFY(main.MenuSemBandeja());
    QVERIFY(main.LbSemBandeja());
    QCOMPARE(main.LbSemBandeja()->text(), QStringLiteral("Sem área de notificação"));
    QVERIFY(station.trayWatch().isWatching());
    QVERIFY(fixture.prompter().asked().isEmpty());
    QCOMPARE(logon.isVisible() || com.isVisible(), true);
    if (typed)
        QTest::keyClick(logon.ComboUsuario()->lineEdit(), Qt::Key_B);

    // The panel comes up a little later.
    QTest::qWait(TrayWatch::PollMs + 200);
    fixture.tray().hide();
    fixture.tray().setAvailable(true);
    QTRY_VERIFY_WITH_TIMEOUT(!main.MenuSemBandeja(), 4 * TrayWatch::PollMs);
    QVERIFY(!main.LbSemBandeja());
    QVERIFY(!com.menuBar()->actions().isEmpty());
    QVERIFY(fixture.tray().isVisible());
    QVERIFY(!station.trayWatch().isWatching());
    QCOMPARE(logon.isVisible(), leftOnScreen == QLatin1String("logon"));
    QCOMPARE(com.isVisible(), leftOnScreen == QLatin1String("communicator"));
    QCOMPARE(com.EstaConectado(), !user.isEmpty());

    // From now on a closed communicator goes into the tray, not to the task bar.
    if (com.isVisible()) {
        com.close();
        QTest::qWait(50);
        QVERIFY(!com.isVisible());
    }
    if (logon.isVisible())
        logon.reject();
}

void TestStartup::endOfRun_data()
{
    QTest::addColumn<bool>("exitFromTray");
    QTest::addColumn<bool>("loggedOn");

    QTest::newRow("exit while logged on") << true << true;
    QTest::newRow("exit while logged off") << true << false;
    QTest::newRow("session end while logged on") << false << true;
    QTest::newRow("session end while logged off") << false << false;
}

void TestStartup::endOfRun()
{
    QFETCH(bool, exitFromTray);
    QFETCH(bool, loggedOn);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TestStation b(QStringLiteral("pc-b"), network);
    a.setting(Setup, QStringLiteral("QTDE_MAX_REGS_ARQHIST"), SettingInteger, 2);
    const HistoryFiles& history = a.tools().history();
    for (int i = 1; i <= 5; ++i) {
        history.AppendReceived(QStringLiteral("recebida %1").arg(i));
        history.AppendSent(QStringLiteral("enviada %1").arg(i));
    }
    const QStringList received = HistoryFiles::ReadHistoryRecords(history.receivedPath());
    const QStringList sent = HistoryFiles::ReadHistoryRecords(history.sentPath());

    b.com().Conectar(QStringLiteral("BRUNO"), QStringLiteral("NETWORK"), QStringLiteral("ON"));
    if (loggedOn) {
        a.com().Conectar(QStringLiteral("ANA"), QStringLiteral("NETWORK"), QStringLiteral("ON"));
        QTRY_VERIFY(b.session().master().ProcurarUsuario(QStringLiteral("ANA"), QStringLiteral("pc-a")));
    }
    const QStringList before = fileSnapshot(a.home().path());
    QSignalSpy ends(&a.station(), &Station::endRequested);

    if (exitFromTray)
        a.station().FormMain().MenuFecharClick();
    else
        a.station().logOffForSessionEnd();

    QVERIFY(!a.com().EstaConectado());
    QCOMPARE(ends.count(), exitFromTray ? 1 : 0);
    const QStringList receivedAfter = HistoryFiles::ReadHistoryRecords(history.receivedPath());
    const QStringList sentAfter = HistoryFiles::ReadHistoryRecords(history.sentPath());
    if (exitFromTray) {
        QCOMPARE(receivedAfter.size(), 2);
        QCOMPARE(sentAfter.size(), 2);
        if (!loggedOn) {
            QCOMPARE(receivedAfter, received.mid(3));
            QCOMPARE(sentAfter, sent.mid(3));
        }
    } else if (loggedOn) {
        QCOMPARE(receivedAfter.mid(0, 5), received);
        QCOMPARE(sentAfter.mid(0, 5), sent);
    } else {
        // Logged off already: the end of the session has nothing to do.
        QCOMPARE(fileSnapshot(a.home().path()), before);
    }
    if (loggedOn) {
        // The peer heard the offline announcement.
        QTRY_COMPARE(
            b.session().master().ProcurarUsuario(QStringLiteral("ANA"), QStringLiteral("pc-a"))->imageIndex(), 4);
    }
}

void TestStartup::secondInstance_data()
{
    QTest::addColumn<bool>("heldByAnotherRun");
    QTest::newRow("first run") << false;
    QTest::newRow("second run on the same home") << true;
}

void TestStartup::secondInstance()
{
    QFETCH(bool, heldByAnotherRun);
    TempHome home;
    SingleInstance first(home.home());
    if (heldByAnotherRun)
        QCOMPARE(first.tryAcquire(), SingleInstance::Result::Acquired);
    const QStringList before = fileSnapshot(home.path());

    QueuedPrompter prompter;
    SingleInstance second(home.home());
    QCOMPARE(ProgramStart::ClaimInstance(second, prompter), !heldByAnotherRun);
    QCOMPARE(prompter.texts(),
        heldByAnotherRun ? QStringList { QStringLiteral("O programa já está sendo executado! Dê um duplo click no "
                                                        "ícone correspondente na barra de tarefas.") }
                         : QStringList());
    QCOMPARE(fileSnapshot(home.path()), before);
}

void TestStartup::preferredPlatform_data()
{
    QTest::addColumn<QString>("waylandDisplay");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("qtPlatform"); // QT_QPA_PLATFORM
    QTest::addColumn<QString>("platformArgument");
    QTest::addColumn<QString>("preferred");

    QTest::newRow("Wayland session with XWayland") << "wayland-0"
                                                   << ":0"
                                                   << ""
                                                   << ""
                                                   << "xcb";
    QTest::newRow("Wayland only") << "wayland-0"
                                  << ""
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("QT_QPA_PLATFORM is the user's") << "wayland-0"
                                                   << ":0"
                                                   << "wayland"
                                                   << ""
                                                   << "";
    QTest::newRow("so is -platform") << ""
                                     << ":0"
                                     << ""
                                     << "offscreen"
                                     << "";
}

void TestStartup::preferredPlatform()
{
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, display);
    QFETCH(QString, qtPlatform);
    QFETCH(QString, platformArgument);
    QFETCH(QString, preferred);
    const auto environment = [&](const char* name) {
        const QLatin1String variable(name);
        return variable == QLatin1String("WAYLAND_DISPLAY") ? waylandDisplay
            : variable == QLatin1String("DISPLAY")          ? display
            : variable == QLatin1String("QT_QPA_PLATFORM")  ? qtPlatform
                                                            : QString();
    };
    QCOMPARE(ProgramStart::PreferredPlatform(environment, platformArgument), preferred);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
