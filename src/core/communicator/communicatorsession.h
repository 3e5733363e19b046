#pragma once

#include "deferredtreesave.h"
#include "presence.h"
#include "tdados.h"
#include "usertree.h"

#include <QLocale>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

struct MailslotOpenError;
class Clock;
class HistoryFiles;
class NameLists;
class Settings;
class TALMailSlot;

// The logon session of a station and the presence protocol, without widgets: the session
// state, logon and logoff, status changes, the handling of every received datagram, and the
// master and visible user trees. The communicator window wires its widgets to this object and
// adds the steps that only concern widgets (labels, menus, showing windows).
//
// The session does not connect to the transport itself: its owner connects (or forwards)
// TALMailSlot::OnNewMessage to ALMailSlot1NewMessage, so that it can add its own steps.
//
// Errors: the operations below never throw. A file that cannot be written during logon,
// logoff, a status change, a refresh or a received datagram does not stop the protocol (the
// network keeps its answers); the failure is reported by fileError() once the operation is
// done. Only saveTree() throws, for the window's group commands.
class CommunicatorSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommunicatorSession)

public:
    // Presence codes and their indexes: ON 0, AU 1, OC 2, IN 3, OF 4; anything else 0.
    static int StatusIndex(const QString& code);
    // The status of a status-menu selector: 1 online, 2 away, 3 busy, 4 invisible, anything
    // else online; StatusCode gives its code.
    static Presence StatusOf(int selector);
    static QString StatusCode(int selector);
    // What the user is told when the channel's mailbox cannot be opened (the port taken by
    // another program or station, an address of another machine); empty for Kind::None.
    static QString MailboxProblem(const MailslotOpenError& error);

    // Milliseconds from the first presence change of a burst to the rebuild of the visible tree.
    static constexpr int RefreshDelayMs = 2000;

    struct Services
    {
        TALMailSlot& transport;
        Settings& settings;
        HistoryFiles& history;
        NameLists& names;
        const Clock& clock;
    };

    // `collation` orders the visible tree (tests fix it; the desktop passes QLocale::system()).
    CommunicatorSession(Services services, const QLocale& collation, QObject* parent = nullptr);
    ~CommunicatorSession() override;

    // Session state. UsuarioAtual, ComputadorAtual and CanalAtual are empty while logged off;
    // StatusAtual is "OF" then (also before the first logon).
    const QString& UsuarioAtual() const { return m_usuario; }
    const QString& ComputadorAtual() const { return m_computador; }
    const QString& StatusAtual() const { return m_status; }
    const QString& CanalAtual() const { return m_canal; }
    // The transport is active: logged on means exactly this.
    bool EstaConectado() const;
    // Between a logon and its logoff, whether the mailbox opened or not: the session holds
    // the tree file's contents and writes them back at every presence frame and at logoff.
    bool holdsTree() const { return m_announced; }

    // Logon: mailbox and transport, tree loaded with everybody offline, session state,
    // LAST_USER/LAST_CHANNEL, known names, tray icon, broadcast announcement. Emits loggedOn().
    // A session still announced is logged off first. A channel name the transport refuses
    // leaves it on the previous mailbox, which opens as usual. A mailbox that cannot be opened
    // leaves the transport inactive, the other steps still run, and mailboxUnavailable() tells
    // why after loggedOn(). A malformed tree file is reported by treeFileProblem() after
    // loggedOn(), so a dialog shown for it finds the session complete.
    void Conectar(const QString& user, const QString& channel, const QString& code);
    // Logoff when the transport is active or the logon's announcement went out on a mailbox
    // that could not be opened: broadcast USR_OF on the announcement's mailbox, close, unload
    // the tree, offline tray icon, clear the state. Emits loggedOff(); both trees are empty
    // afterwards. Otherwise nothing happens.
    void Desconectar();
    // Selector 1 ON, 2 AU, 3 OC, 4 IN, other ON. Logged on: directed announcements to every
    // visible user; logged off: logs on with LAST_USER/LAST_CHANNEL when both are set.
    void AlterarStatus(int selector);
    // Marks everybody offline, reloads the tree, and broadcasts the own announcement. Does
    // nothing while logged off: the trees are empty then, and saving them would wipe the file.
    void Refresh();
    // A directed announcement with the own status to every user entry of the visible tree.
    void EnviarStatusUsuarios();

    // The handler of the transport's OnNewMessage.
    void ALMailSlot1NewMessage(const QString& computer, const QString& userName, const QString& text);

    // The trees: the master holds every entry and is saved; the visible one is its sorted,
    // filtered copy that the window shows.
    UserTree& master() { return m_master; }
    UserTree& visible() { return m_visible; }
    // Rebuilds the visible tree from the master (MontarArvore) and emits visibleTreeRebuilt().
    void MontarArvore();
    // Saves the master tree file and flushes it to the disk at once, for the user's own edits;
    // file errors propagate as FileError. Presence changes are saved by DeferredTreeSave.
    void saveTree();
    QString treeFilePath() const;
    // The one-shot timer that rebuilds the visible tree after a burst of presence changes.
    QTimer& refreshTimer() { return m_refreshTimer; }

signals:
    void loggedOn();
    void loggedOff();
    void visibleTreeRebuilt();
    // The master tree file was written: after a presence burst (see DeferredTreeSave), by
    // saveTree() and at logoff.
    void treeSaved();
    // A user logged off: the send window drops this recipient ("user (computer)").
    void recipientDisconnected(const QString& entry);
    // A text message arrived; the flags are RECEBER EXIBIR_MSG, ANIMAR_ICONE, EMITIR_SOM.
    // With `animate`, trayIconChanged(status, true) comes first; with `show`,
    // trayIconChanged(status, false) follows, once the window has shown the history.
    void textMessageArrived(bool show, bool animate, bool sound);
    // A delivery receipt for the own text message stamped `stamp` came from `user` at `computer`.
    void receiptArrived(const QString& computer, const QString& user, const QString& stamp);
    // AtualizarIconeBandeja: the tray shows the own status, in the message-arrived set or not.
    void trayIconChanged(int statusIndex, bool messageArrived);
    // The tree file could not be read completely; the readable part was loaded and the bad
    // file kept aside. Emitted once, at the logon that found it.
    void treeFileProblem(const QString& message);
    // The channel's mailbox could not be opened at logon: the station hears nobody until the
    // cause is removed and it logs on again.
    void mailboxUnavailable(const QString& message);
    // A file could not be written (history, tree, names, settings). Each message is given once
    // per logon, so a full disk during a burst of datagrams gives one notice per file.
    void fileError(const QString& message);

private:
    void CarregarArvore();
    void DescarregarArvore();
    void AtualizarUsuario(const QString& user, const QString& computer, int index);
    void broadcastAnnouncement();
    void sendAck(const TDados& frame);
    // Confirms a text message to the computer it came from (ENVIAR CONFIRMAR_ENTREGA).
    void sendReceipt(const TDados& frame);
    void alertTextMessage();
    void onRefreshTimeout();
    // Runs a file step; a FileError is kept for reportFileErrors().
    template<typename Step> void fileStep(Step&& step);
    void reportFileErrors();

    Services m_services;
    QLocale m_collation;
    QString m_usuario;
    QString m_computador;
    // The code the session logged on with, as it was given (it goes into every announcement).
    QString m_status = PresenceCode(Presence::Offline);
    QString m_canal;
    // The logon's announcement went out and no logoff has answered it yet.
    bool m_announced = false;
    UserTree m_master;
    UserTree m_visible;
    QTimer m_refreshTimer;
    // The file the master tree was loaded from, saved to until the next load.
    QString m_treePath;
    DeferredTreeSave m_presenceSaves;

    QStringList m_pendingErrors;
    QSet<QString> m_reportedErrors;
    QString m_pendingTreeProblem;
};
