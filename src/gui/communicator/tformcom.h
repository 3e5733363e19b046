#pragma once

#include "backupcommand.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>

class CommunicatorSession;
class Prompter;
class QLabel;
class QMenu;
class QTreeWidgetItem;
class Station;
class TALMailSlot;
class TFormComTools;
class UserTree;
class UserTreeNode;
class UserTreeWidget;
struct TreeChange;

// The communicator: who is logged on, the user tree and a menu bar that reaches every
// function. It owns the transport and the logon session; the session's rules live in
// CommunicatorSession, and this window adds the steps that concern widgets. Closing it only
// hides it: the session goes on.
class TFormCom final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormCom)

public:
    explicit TFormCom(Station& station, QWidget* parent = nullptr);
    ~TFormCom() override;

    // Stops the transport and lets go of the session without a word on the network, before
    // the station's later windows go away.
    void Encerrar();

    TALMailSlot& ALMailSlot1() const { return *m_alMailSlot1; }
    // Created at first use, from the shared tools (which are created after this window).
    CommunicatorSession& session();

    // Session state.
    QString UsuarioAtual();
    QString ComputadorAtual();
    QString StatusAtual();
    QString CanalAtual();
    bool EstaConectado();

    // Logon and logoff, with their window steps.
    void Conectar(const QString& user, const QString& channel, const QString& code);
    void Desconectar();
    // Selector 1 ON, 2 AU, 3 OC, 4 IN, other ON.
    void AlterarStatus(int selector);
    // A user-switch menu entry: logs off and logs `user` on to CanalPendente.
    void Evento_AltUsuario(const QString& user);

    // Start of the run: window geometry from POSICAO, pending channel; then the automatic
    // logon with DEFAULT_USER, DEFAULT_CHANNEL and DEFAULT_STATUS.
    void IniciarSessao();
    void ConectarAutomatico();

    void DefinirTitulo(const QString& user);
    const QString& TituloBandeja() const { return m_tituloBandeja; }
    const QString& UsuarioPendente() const { return m_usuarioPendente; }
    const QString& CanalPendente() const { return m_canalPendente; }

    // Closes the send and history windows.
    void FecharJanelasMensagem();
    // The tray icon of the own status, from the message-arrived set or the normal one.
    void AtualizarIconeBandeja(bool messageArrived);

    // The user-switch submenus of this window and of the tray, and the two
    // "Inserir Usuário no Grupo" submenus.
    void MontarMenuUsuarios();
    static void LimparMenu(QMenu* menu);
    void MontarMenusGrupos();

    // The keys shared by the communicator, send, history and logon windows. Fires only with
    // exactly the listed modifiers; true when the key was a shortcut.
    bool TratarAtalhos(int key, Qt::KeyboardModifiers modifiers);
    // The modifiers a shortcut is matched against (keypad and group switch left out).
    static Qt::KeyboardModifiers ShortcutModifiers(Qt::KeyboardModifiers modifiers);

    // Menu commands.
    void MenuEnviarClick();
    void MenuEnviarTodosClick();
    void MenuHistoricoClick();
    void MenuRefreshClick();
    void MenuCriarGrupoClick();
    void MenuAlterarGrupoClick();
    void MenuRemoverGrupoClick();
    void MenuRemoverUsrGrpClick();
    void MenuInsUsrGrpClick(const QString& group);
    void MenuConfiguracoesClick();
    void MenuVersoesFuturasClick();
    void MenuVersoesPublicadasClick();
    void MenuHistoricoVersoesClick();
    // "Backup": a backup under a name the user chooses. "Restore": the restore dialog.
    void MenuBackupClick();
    void MenuRestoreClick();

    // One backup of the data directory through the copy window; with `ask`, under a name
    // asked for under `title`.
    BackupCommand::Outcome CopiaSeguranca(const QString& title, bool ask);
    // Counts this run at the exit and makes the automatic backup when it is due. False when
    // something went wrong (already shown to the user); the exit goes on either way.
    bool ContarExecucao();
    // Adds the entry and the same user's entries on other computers beside it, then shows
    // the send window.
    void EnviarParaUsuario(const UserTreeNode& entry);
    // Adds every entry of the group, then shows the send window.
    void EnviarParaGrupo(const UserTreeNode& group);

    // Widgets, for the tray and the tests.
    UserTreeWidget* TreeView() const { return m_treeView; }
    QWidget* PanDragTop() const { return m_panDragTop; }
    QWidget* PanDragLeft() const { return m_panDragLeft; }
    QLabel* LbUsuario() const { return m_lbUsuario; }
    QLabel* LbMaquina() const { return m_lbMaquina; }
    QLabel* ImgStatus1() const { return m_imgStatus1; }
    QWidget* ImgStatus2() const { return m_imgStatus2; }
    QMenu* PopupMenu1() const { return m_popupMenu1; }
    QMenu* PopupMenuStatus() const { return m_popupMenuStatus; }
    QMenu* MenuUsuario() const { return m_menuUsuario; }
    QMenu* MenuInsUsrGrp() const { return m_menuInsUsrGrp; }
    QMenu* PopMenuInsUsrGrp() const { return m_popMenuInsUsrGrp; }

    // The node of the visible tree an item of TreeView stands for.
    UserTreeNode* nodeOf(const QTreeWidgetItem* item);
    UserTreeNode* selectedNode();
    // Mirrors the session's visible tree into TreeView.
    void MostrarArvore();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    void connectSession(CommunicatorSession& session);

    // The window steps of a logon and a logoff.
    void onLoggedOn();
    void onLoggedOff();
    void onTextMessage(bool show, bool animate, bool sound);
    void showStatusIcon(int statusIndex, bool messageArrived);
    void showSessionWarning(const QString& message);
    void onNewMessage(const QString& computer, const QString& userName, const QString& text);

    void AplicarMudanca(const TreeChange& change);
    // Rename and remove: a dialog about the selected group, inside the DialogoAberto bracket.
    void ComandoNoGrupoSelecionado(TreeChange (*command)(UserTree&, const QString&, Prompter&));
    void onLabelEdited(const QModelIndex& index, const QString& text);
    void onItemExpanded(QTreeWidgetItem* item, bool expanded);
    void onItemDoubleClicked(QTreeWidgetItem* item);
    bool treeDragEvent(QEvent* event);
    bool stripDragEvent(QEvent* event);
    void showStatusMenu();
    void showSendWindow();
    void openHelpPage(const QString& name);
    void placeAtBottomRight();
    void saveGeometrySettings();

    Station& m_station;
    std::unique_ptr<TALMailSlot> m_alMailSlot1;
    std::unique_ptr<CommunicatorSession> m_session;

    QString m_usuarioPendente;
    QString m_canalPendente;
    QString m_tituloBandeja = QStringLiteral("  COLLOQUA");

    QLabel* m_imgHeader = nullptr;
    QLabel* m_imgStatus1 = nullptr;
    QWidget* m_imgStatus2 = nullptr;
    QLabel* m_lbUsuario = nullptr;
    QLabel* m_lbMaquina = nullptr;
    QWidget* m_panDragTop = nullptr;
    QWidget* m_panDragLeft = nullptr;
    UserTreeWidget* m_treeView = nullptr;

    QMenu* m_menuUsuario = nullptr;
    QMenu* m_menuInsUsrGrp = nullptr;
    QMenu* m_popupMenu1 = nullptr;
    QMenu* m_popMenuInsUsrGrp = nullptr;
    QMenu* m_popupMenuStatus = nullptr;
};
