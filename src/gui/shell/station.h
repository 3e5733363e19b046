#pragma once

#include "documentopener.h"
#include "mailslotbackend.h"
#include "soundplayer.h"
#include "trayhost.h"

#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class Clock;
class Prompter;
class TaskbarHint;
class TrayWatch;
class QWidget;

class TFormMain;
class TFormCom;
class TFormCopy;
class TFormRestore;
class TFormComTools;
class TFormHistMSG;
class TFormSendMSG;
class TFormLogon;
class TFormSplashScreen;
class TFormConfig;
class TFormCredito;

// What a station is made of besides its windows. Empty or null members take the desktop's
// defaults; tests put in their own home, names, prompter and quiet seams.
struct StationOptions
{
    QString home; // the station home; empty: the XDG default
    QString computerName; // empty: the host name
    QString userName; // the login name datagrams carry; empty: the current user
    QString programDir; // where the manual and version pages are installed; empty: beside the executable
    Prompter* prompter = nullptr; // not owned; null: dialogs
    const Clock* clock = nullptr; // not owned; null: the wall clock
    std::unique_ptr<SoundPlayer> sound; // null: QSoundEffect
    std::unique_ptr<TrayHost> tray; // null: the system tray
    std::unique_ptr<DocumentOpener> opener; // null: xdg-open
    std::unique_ptr<MailslotBackend> backend; // null: remote mailslots over UDP, configured by REDE
    QLocale collation = QLocale::system(); // order of the user tree
};

// One running station: owns the eleven windows, created once in a fixed order, each given a
// reference to the station so it reaches its siblings. No globals: a test process can hold
// several stations, each with its own home, computer name and loopback address.
class Station final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Station)

public:
    explicit Station(StationOptions options, QObject* parent = nullptr);
    ~Station() override;

    TFormMain& FormMain() const { return *m_formMain; }
    TFormCom& FormCom() const { return *m_formCom; }
    TFormCopy& FormCopy() const { return *m_formCopy; }
    TFormRestore& FormRestore() const { return *m_formRestore; }
    TFormComTools& FormComTools() const { return *m_formComTools; }
    TFormHistMSG& FormHistMSG() const { return *m_formHistMSG; }
    TFormSendMSG& FormSendMSG() const { return *m_formSendMSG; }
    TFormLogon& FormLogon() const { return *m_formLogon; }
    TFormSplashScreen& FormSplashScreen() const { return *m_formSplashScreen; }
    TFormConfig& FormConfig() const { return *m_formConfig; }
    TFormCredito& FormCredito() const { return *m_formCredito; }

    Prompter& prompter() const { return *m_prompter; }
    const Clock& clock() const { return *m_clock; }
    TrayHost& tray() const { return *m_tray; }
    SoundPlayer& soundPlayer() const { return *m_sound; }
    DocumentOpener& documentOpener() const { return *m_opener; }
    const QString& computerName() const { return m_computerName; }
    const QString& userName() const { return m_userName; }
    const QString& installDir() const { return m_installDir; }
    const QLocale& collation() const { return m_collation; }

    // Hands the mailslot backend to the transport, once (the communicator takes it).
    std::unique_ptr<MailslotBackend> takeBackend();

    // Shows the splash window, painted at once; its timer runs the start-up checks on the
    // event loop and hands over to the communicator when they pass.
    void start();
    // Without a notification area the program must stay reachable through a window: the
    // communicator while logged on, otherwise the logon dialog. The first time, it says so
    // on standard error and watches for a tray that appears later (a panel started after
    // the program); when one does, the program moves into it.
    void keepReachable();
    TrayWatch& trayWatch() const { return *m_trayWatch; }
    // The desktop session ends (session manager, termination signal): logs off, announcing
    // Offline, and nothing else.
    void logOffForSessionEnd();

    // Asks the application to end the run (the tray menu's exit, the failed start-up).
    void requestEnd();

signals:
    void endRequested();

private:
    void moveIntoTray();

    std::unique_ptr<Prompter> m_ownPrompter;
    std::unique_ptr<Clock> m_ownClock;
    Prompter* m_prompter = nullptr;
    const Clock* m_clock = nullptr;
    std::unique_ptr<SoundPlayer> m_sound;
    std::unique_ptr<TrayHost> m_tray;
    std::unique_ptr<DocumentOpener> m_opener;
    std::unique_ptr<MailslotBackend> m_backend;
    QString m_home;
    QString m_computerName;
    QString m_userName;
    QString m_installDir;
    QLocale m_collation;
    TrayWatch* m_trayWatch = nullptr;
    TaskbarHint* m_taskbarHint = nullptr;
    bool m_trayMissingTold = false;
    // The window keepReachable put on screen because there was no tray.
    QPointer<QWidget> m_standInWindow;

    // Declared in creation order; destroyed in reverse.
    std::unique_ptr<TFormMain> m_formMain;
    std::unique_ptr<TFormCom> m_formCom;
    std::unique_ptr<TFormCopy> m_formCopy;
    std::unique_ptr<TFormRestore> m_formRestore;
    std::unique_ptr<TFormComTools> m_formComTools;
    std::unique_ptr<TFormHistMSG> m_formHistMSG;
    std::unique_ptr<TFormSendMSG> m_formSendMSG;
    std::unique_ptr<TFormLogon> m_formLogon;
    std::unique_ptr<TFormSplashScreen> m_formSplashScreen;
    std::unique_ptr<TFormConfig> m_formConfig;
    std::unique_ptr<TFormCredito> m_formCredito;

    friend class TFormComTools;
    const QString& homeDir() const { return m_home; }
};
