#include "tformcom.h"

#include "backupcommand.h"
#include "communicatorsession.h"
#include "duplicatename.h"
#include "groupcommands.h"
#include "imagesets.h"
#include "paintbackground.h"
#include "presence.h"
#include "prompter.h"
#include "recipients.h"
#include "station.h"
#include "talmailslot.h"
#include "tformcomtools.h"
#include "tformconfig.h"
#include "tformcopy.h"
#include "tformhistmsg.h"
#include "tformmain.h"
#include "tformrestore.h"
#include "tformsendmsg.h"
#include "usertree.h"
#include "usertreewidget.h"
#include "windowplacement.h"

#include <QCloseEvent>
#include <QCollator>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <utility>

namespace
{
const QString Titulo = QStringLiteral("  COLLOQUA");

const QColor BorderColour(0, 71, 175);
const QColor BottomColour(215, 227, 242);

template<typename Context, typename F>
QAction* addEntry(QMenu* menu, const QString& text, const Context* context, F&& handler)
{
    QAction* action = menu->addAction(text);
    QObject::connect(action, &QAction::triggered, context, std::forward<F>(handler));
    return action;
}

// A caption made from data is the name itself: no accelerator letter may come of an "&".
QString literalCaption(const QString& name)
{
    QString caption = name;
    return caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QWidget* strip(QWidget* parent, int width, int height)
{
    auto* widget = new QWidget(parent);
    if (width > 0)
        widget->setFixedWidth(width);
    if (height > 0)
        widget->setFixedHeight(height);
    return widget;
}
} // namespace

TFormCom::TFormCom(Station& station, QWidget* parent)
    : QMainWindow(parent)
    , m_station(station)
{
    std::unique_ptr<MailslotBackend> backend = m_station.takeBackend();
    // Told after the datagram that showed it has been handled, not in the middle of it.
    backend->setDuplicateNameHandler([this](const DuplicateName& duplicate) {
        QTimer::singleShot(0, this, [this, text = duplicate.notice()] { showSessionWarning(text); });
    });
    m_alMailSlot1 = std::make_unique<TALMailSlot>(
        std::move(backend), &m_station.prompter(), m_station.computerName(), m_station.userName());
    m_alMailSlot1->setMailBox(QStringLiteral("MailBox"));

    buildWindow();
    buildMenus();
}

TFormCom::~TFormCom()
{
    // Children outlive this object's members while QWidget tears them down; none of their
    // signals may reach a half-destroyed window.
    const QList<QObject*> children = findChildren<QObject*>();
    for (QObject* child : children)
        QObject::disconnect(child, nullptr, this, nullptr);
    QObject::disconnect(m_alMailSlot1.get(), nullptr, this, nullptr);
    Encerrar();
}

void TFormCom::Encerrar()
{
    if (m_alMailSlot1)
        m_alMailSlot1->setActive(false);
    m_session.reset();
}

void TFormCom::buildWindow()
{
    setWindowTitle(tr("Comunicador"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setMinimumSize(150, 200);
    resize(190, 346);

    auto* frame = new QWidget(this);
    PaintBackground(frame, BorderColour);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(4, 5, 4, 4);
    frameLayout->setSpacing(0);
    auto* client = new QWidget(frame);
    PaintBackground(client, Qt::white);
    frameLayout->addWidget(client);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);

    // Header: the picture with the status images over it, the user and the computer.
    auto* header = strip(client, 0, 45);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 6, 0);
    headerLayout->setSpacing(4);
    auto* pictureArea = strip(header, 48, 45);
    m_imgHeader = new QLabel(pictureArea);
    m_imgHeader->setGeometry(2, 5, 44, 35);
    m_imgHeader->setScaledContents(true);
    m_imgStatus1 = new QLabel(pictureArea);
    m_imgStatus1->setGeometry(5, 31, 13, 9);
    m_imgStatus1->setScaledContents(true);
    m_imgStatus1->setCursor(Qt::PointingHandCursor);
    m_imgStatus1->hide();
    m_imgStatus2 = new QWidget(pictureArea);
    m_imgStatus2->setGeometry(32, 6, 14, 34);
    m_imgStatus2->setCursor(Qt::PointingHandCursor);
    m_imgStatus1->installEventFilter(this);
    m_imgStatus2->installEventFilter(this);
    headerLayout->addWidget(pictureArea);

    auto* names = new QVBoxLayout;
    names->setContentsMargins(0, 6, 0, 4);
    names->setSpacing(1);
    m_lbUsuario = new QLabel(header);
    m_lbUsuario->setTextFormat(Qt::PlainText);
    QFont bold = m_lbUsuario->font();
    bold.setBold(true);
    m_lbUsuario->setFont(bold);
    m_lbMaquina = new QLabel(header);
    m_lbMaquina->setTextFormat(Qt::PlainText);
    m_lbMaquina->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* decoration = strip(header, 0, 2);
    PaintBackground(decoration, BottomColour);
    names->addWidget(m_lbUsuario);
    names->addWidget(m_lbMaquina);
    names->addWidget(decoration);
    headerLayout->addLayout(names, 1);
    clientLayout->addWidget(header);

    // The tree between its two drop strips and two white margins.
    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(0);
    m_panDragLeft = strip(client, 6, 0);
    m_panDragLeft->setAcceptDrops(true);
    m_panDragLeft->installEventFilter(this);
    middle->addWidget(m_panDragLeft);
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_panDragTop = strip(client, 0, 6);
    m_panDragTop->setAcceptDrops(true);
    m_panDragTop->installEventFilter(this);
    column->addWidget(m_panDragTop);

    m_treeView = new UserTreeWidget(client);
    m_treeView->setColumnCount(1);
    m_treeView->setHeaderHidden(true);
    m_treeView->setRootIsDecorated(false);
    m_treeView->setIndentation(19);
    m_treeView->setFrameShape(QFrame::NoFrame);
    m_treeView->setSortingEnabled(false);
    m_treeView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_treeView->setIconSize(ImageSets::SmallSize);
    m_treeView->setDragEnabled(true);
    m_treeView->setAcceptDrops(true);
    m_treeView->setDragDropMode(QAbstractItemView::DragDrop);
    m_treeView->setDropIndicatorShown(false);
    m_treeView->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    QFont small = m_treeView->font();
    small.setPixelSize(11);
    m_treeView->setFont(small);
    m_treeView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_treeView->installEventFilter(this);
    m_treeView->viewport()->installEventFilter(this);
    connect(m_treeView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (m_treeView->contextMenuPolicy() == Qt::CustomContextMenu)
            m_popupMenu1->popup(m_treeView->viewport()->mapToGlobal(pos));
    });
    connect(
        m_treeView, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { onItemExpanded(item, true); });
    connect(
        m_treeView, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { onItemExpanded(item, false); });
    connect(m_treeView, &QTreeWidget::itemDoubleClicked, this, &TFormCom::onItemDoubleClicked);
    connect(m_treeView, &UserTreeWidget::labelEdited, this, [this](const QModelIndex& index, const QString& text) {
        // After the editor has closed: the rename may rebuild the items and show a message.
        const QPersistentModelIndex edited(index);
        QMetaObject::invokeMethod(
            this, [this, edited, text] { onLabelEdited(edited, text); }, Qt::QueuedConnection);
    });
    column->addWidget(m_treeView, 1);
    column->addWidget(strip(client, 0, 6));
    middle->addLayout(column, 1);
    middle->addWidget(strip(client, 6, 0));
    clientLayout->addLayout(middle, 1);

    auto* bottom = strip(client, 0, 21);
    PaintBackground(bottom, BottomColour);
    clientLayout->addWidget(bottom);

    setCentralWidget(frame);
}

void TFormCom::buildMenus()
{
    QMenu* comunicador = menuBar()->addMenu(tr("Comunicador"));
    // Ctrl+N and Ctrl+H are served by TratarAtalhos, in every window that passes keys to it.
    addEntry(comunicador, tr("Enviar\tCtrl+N"), this, &TFormCom::MenuEnviarClick);
    addEntry(comunicador, tr("Enviar para Todos"), this, &TFormCom::MenuEnviarTodosClick);
    comunicador->addSeparator();
    addEntry(comunicador, tr("Histórico\tCtrl+H"), this, &TFormCom::MenuHistoricoClick);
    comunicador->addSeparator();
    addEntry(comunicador, tr("Refresh"), this, &TFormCom::MenuRefreshClick)->setShortcut(QKeySequence(Qt::Key_F5));
    comunicador->addSeparator();
    addEntry(comunicador, tr("Fechar\tAlt+F4"), this, &QWidget::close);

    QMenu* usuario = menuBar()->addMenu(tr("Usuário"));
    addEntry(usuario, tr("Criar Grupo"), this, &TFormCom::MenuCriarGrupoClick);
    addEntry(usuario, tr("Alterar Grupo"), this, &TFormCom::MenuAlterarGrupoClick);
    addEntry(usuario, tr("Remover Grupo"), this, &TFormCom::MenuRemoverGrupoClick);
    usuario->addSeparator();
    addEntry(usuario, tr("Remover Usuário do Grupo"), this, &TFormCom::MenuRemoverUsrGrpClick);
    m_menuInsUsrGrp = usuario->addMenu(tr("Inserir Usuário no Grupo"));
    usuario->addSeparator();
    m_menuUsuario = usuario->addMenu(tr("Usuário"));
    addEntry(usuario, tr("Inserir Usuário"), this, [this] { m_station.FormMain().InserirUsuario(); });

    QMenu* opcoes = menuBar()->addMenu(tr("Opções"));
    addEntry(opcoes, tr("Configurações"), this, &TFormCom::MenuConfiguracoesClick);
    opcoes->addSeparator();
    addEntry(opcoes, tr("Backup"), this, &TFormCom::MenuBackupClick);
    addEntry(opcoes, tr("Restore"), this, &TFormCom::MenuRestoreClick);

    QMenu* ajuda = menuBar()->addMenu(tr("?"));
    addEntry(ajuda, tr("Manual"), this, [this] { m_station.FormMain().Manual(); });
    ajuda->addSeparator();
    addEntry(ajuda, tr("Versões futuras"), this, &TFormCom::MenuVersoesFuturasClick);
    addEntry(ajuda, tr("Versões publicadas"), this, &TFormCom::MenuVersoesPublicadasClick);
    addEntry(ajuda, tr("Histórico de versões"), this, &TFormCom::MenuHistoricoVersoesClick);
    ajuda->addSeparator();
    addEntry(ajuda, tr("Créditos"), this, [this] { m_station.FormMain().Creditos(); });

    m_popupMenu1 = new QMenu(this);
    addEntry(m_popupMenu1, tr("Enviar"), this, &TFormCom::MenuEnviarClick);
    addEntry(m_popupMenu1, tr("Enviar para Todos"), this, &TFormCom::MenuEnviarTodosClick);
    m_popupMenu1->addSeparator();
    addEntry(m_popupMenu1, tr("Histórico"), this, &TFormCom::MenuHistoricoClick);
    m_popupMenu1->addSeparator();
    addEntry(m_popupMenu1, tr("Criar Grupo"), this, &TFormCom::MenuCriarGrupoClick);
    addEntry(m_popupMenu1, tr("Alterar Grupo"), this, &TFormCom::MenuAlterarGrupoClick);
    addEntry(m_popupMenu1, tr("Remover Grupo"), this, &TFormCom::MenuRemoverGrupoClick);
    m_popupMenu1->addSeparator();
    addEntry(m_popupMenu1, tr("Remover Usuário do Grupo"), this, &TFormCom::MenuRemoverUsrGrpClick);
    m_popMenuInsUsrGrp = m_popupMenu1->addMenu(tr("Inserir Usuário no Grupo"));

    m_popupMenuStatus = new QMenu(this);
    const QStringList captions { tr("CONECTADO"), tr("AUSENTE"), tr("OCUPADO"), tr("INVISÍVEL") };
    for (int i = 0; i < captions.size(); ++i) {
        const int selector = i + 1;
        addEntry(m_popupMenuStatus, captions.at(i), this, [this, selector] { AlterarStatus(selector); });
    }
    addEntry(m_popupMenuStatus, tr("DESCONECTADO"), this, &TFormCom::Desconectar);
}

CommunicatorSession& TFormCom::session()
{
    if (!m_session) {
        TFormComTools& tools = m_station.FormComTools();
        m_session
            = std::make_unique<CommunicatorSession>(CommunicatorSession::Services { *m_alMailSlot1, tools.settings(),
                                                        tools.history(), tools.names(), m_station.clock() },
                m_station.collation());
        connectSession(*m_session);
    }
    return *m_session;
}

void TFormCom::connectSession(CommunicatorSession& session)
{
    connect(&session, &CommunicatorSession::loggedOn, this, &TFormCom::onLoggedOn);
    connect(&session, &CommunicatorSession::loggedOff, this, &TFormCom::onLoggedOff);
    connect(&session, &CommunicatorSession::visibleTreeRebuilt, this, &TFormCom::MostrarArvore);
    connect(&session, &CommunicatorSession::recipientDisconnected, this,
        [this](const QString& entry) { m_station.FormSendMSG().RemoverDesconectado(entry); });
    connect(&session, &CommunicatorSession::textMessageArrived, this, &TFormCom::onTextMessage);
    connect(&session, &CommunicatorSession::receiptArrived, this,
        [this](const QString& computer, const QString& user, const QString& stamp) {
            m_station.FormHistMSG().ConfirmacaoRecebida(computer, user, stamp);
        });
    connect(&session, &CommunicatorSession::trayIconChanged, this, &TFormCom::showStatusIcon);
    // Both come once per logon, after it: a warning over the complete session.
    connect(&session, &CommunicatorSession::treeFileProblem, this, &TFormCom::showSessionWarning);
    connect(&session, &CommunicatorSession::mailboxUnavailable, this, &TFormCom::showSessionWarning);
    connect(&session, &CommunicatorSession::fileError, this,
        [this](const QString& message) { m_station.FormComTools().MostrarErro(message); });
    connect(m_alMailSlot1.get(), &TALMailSlot::OnNewMessage, this, &TFormCom::onNewMessage);
}

void TFormCom::onNewMessage(const QString& computer, const QString& userName, const QString& text)
{
    m_station.FormComTools().guarded([&] { session().ALMailSlot1NewMessage(computer, userName, text); });
}

QString TFormCom::UsuarioAtual()
{
    return session().UsuarioAtual();
}

QString TFormCom::ComputadorAtual()
{
    return session().ComputadorAtual();
}

QString TFormCom::StatusAtual()
{
    return session().StatusAtual();
}

QString TFormCom::CanalAtual()
{
    return session().CanalAtual();
}

bool TFormCom::EstaConectado()
{
    return session().EstaConectado();
}

void TFormCom::Conectar(const QString& user, const QString& channel, const QString& code)
{
    m_station.FormComTools().guarded([&] { session().Conectar(user, channel, code); });
}

void TFormCom::onLoggedOn()
{
    TFormComTools& tools = m_station.FormComTools();
    m_treeView->setContextMenuPolicy(Qt::CustomContextMenu);
    const QString user = UsuarioAtual();
    const QString computer = ComputadorAtual();
    m_lbUsuario->setText(user);
    m_lbMaquina->setText(computer);
    m_station.FormSendMSG().setCaption(tr("de: %1 (%2)").arg(user, computer));
    MontarMenuUsuarios();
    DefinirTitulo(user);
    m_imgStatus1->show();
    MontarMenusGrupos();
    tools.setDialogoAberto(false);
    MostrarArvore();
    if (tools.preferences().showCommunicatorOnLogon()) {
        show();
        raise();
    }
}

void TFormCom::Desconectar()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_station.FormComTools().guarded([this] { session().Desconectar(); });
    QGuiApplication::restoreOverrideCursor();
}

void TFormCom::onLoggedOff()
{
    m_treeView->setContextMenuPolicy(Qt::NoContextMenu);
    MostrarArvore();
    m_lbUsuario->clear();
    m_lbMaquina->clear();
    m_station.FormSendMSG().setCaption(QString());
    MontarMenuUsuarios();
    FecharJanelasMensagem();
    if (m_station.FormComTools().preferences().closeCommunicatorOnLogoff())
        close();
}

void TFormCom::AlterarStatus(int selector)
{
    TFormComTools& tools = m_station.FormComTools();
    tools.guarded([&] {
        if (!EstaConectado())
            m_canalPendente = tools.preferences().lastChannel();
        session().AlterarStatus(selector);
    });
}

void TFormCom::Evento_AltUsuario(const QString& user)
{
    m_usuarioPendente = user;
    DefinirTitulo(m_usuarioPendente);
    if (EstaConectado())
        Desconectar();
    // The channel is the pending one, not necessarily the one just left.
    if (!m_usuarioPendente.isEmpty() && !m_canalPendente.isEmpty())
        Conectar(m_usuarioPendente, m_canalPendente, PresenceCode(Presence::Online));
}

void TFormCom::IniciarSessao()
{
    m_usuarioPendente.clear();
    m_tituloBandeja = Titulo;
    const Preferences preferences = m_station.FormComTools().preferences();
    m_canalPendente = preferences.defaultChannel();
    if (m_canalPendente.isEmpty())
        m_canalPendente = preferences.lastChannel();

    using Window = WindowPlacement::Window;
    const std::pair<QWidget*, Window> windows[] = { { this, Window::Communicator },
        { &m_station.FormSendMSG(), Window::Send }, { &m_station.FormHistMSG(), Window::History } };
    for (const auto& [window, which] : windows) {
        const WindowPlacement placement = preferences.placement(which);
        window->move(placement.position());
        window->resize(placement.size());
    }

    // Known users can be switched to before the first logon of the run.
    MontarMenuUsuarios();
}

void TFormCom::ConectarAutomatico()
{
    const Preferences preferences = m_station.FormComTools().preferences();
    const QString user = preferences.autoLogonUser();
    const QString channel = preferences.autoLogonChannel();
    const QString status = preferences.autoLogonStatus();
    if (user.isEmpty() || channel.isEmpty())
        return;
    // No status is "do not connect"; any other code than that one logs on with it as it is.
    if (!status.isEmpty() && PresenceFromCode(status) != Presence::Offline)
        Conectar(user, channel, status);
}

void TFormCom::DefinirTitulo(const QString& user)
{
    m_tituloBandeja = user.isEmpty() ? Titulo : Titulo + QStringLiteral(" - ") + user;
    // A desktop that draws the tray menu shows the title without asking for the menu first.
    m_station.FormMain().AtualizarFaixa();
}

void TFormCom::FecharJanelasMensagem()
{
    m_station.FormSendMSG().Fechar();
    m_station.FormHistMSG().Fechar();
}

void TFormCom::AtualizarIconeBandeja(bool messageArrived)
{
    showStatusIcon(CommunicatorSession::StatusIndex(StatusAtual()), messageArrived);
}

void TFormCom::showStatusIcon(int statusIndex, bool messageArrived)
{
    const ImageSets& images = m_station.FormComTools().images();
    m_station.FormMain().setTrayIcon(
        (messageArrived ? images.ImageListMsgChegou() : images.ImageListNormal()).icon(statusIndex));
    m_imgStatus1->setPixmap(images.ImageListStatus().pixmap(statusIndex));
}

void TFormCom::LimparMenu(QMenu* menu)
{
    menu->clear();
}

void TFormCom::MontarMenuUsuarios()
{
    QStringList users;
    if (!m_station.FormComTools().guarded([&] { m_station.FormComTools().names().LoadUserList(users); }))
        return;
    QCollator collator(m_station.collation());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(users.begin(), users.end(), collator);
    for (QMenu* menu : { m_menuUsuario, m_station.FormMain().PopMenuUsuario() }) {
        LimparMenu(menu);
        for (const QString& user : users)
            addEntry(menu, literalCaption(user), this, [this, user] { Evento_AltUsuario(user); });
    }
}

void TFormCom::MontarMenusGrupos()
{
    const QStringList groups = session().master().groupNames();
    for (QMenu* menu : { m_menuInsUsrGrp, m_popMenuInsUsrGrp }) {
        LimparMenu(menu);
        for (const QString& group : groups)
            addEntry(menu, literalCaption(group), this, [this, group] { MenuInsUsrGrpClick(group); });
    }
}

Qt::KeyboardModifiers TFormCom::ShortcutModifiers(Qt::KeyboardModifiers modifiers)
{
    return modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

bool TFormCom::TratarAtalhos(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held = ShortcutModifiers(modifiers);
    TFormSendMSG& send = m_station.FormSendMSG();
    TFormHistMSG& hist = m_station.FormHistMSG();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter && held == Qt::ShiftModifier) {
        send.MenuEnviarClick();
        return true;
    }
    if (enter && held == Qt::ControlModifier) {
        send.MenuEnviarClick();
        send.Fechar();
        return true;
    }
    if (key == Qt::Key_N && held == Qt::ControlModifier) {
        if (!send.isVisible())
            MenuEnviarClick();
        return true;
    }
    if (key == Qt::Key_N && held == Qt::AltModifier) {
        if (send.isVisible())
            send.Fechar();
        return true;
    }
    if (key == Qt::Key_H && held == Qt::ControlModifier) {
        if (!hist.isVisible())
            MenuHistoricoClick();
        return true;
    }
    if (key == Qt::Key_H && held == Qt::AltModifier) {
        if (hist.isVisible())
            hist.Fechar();
        return true;
    }
    return false;
}

UserTreeNode* TFormCom::nodeOf(const QTreeWidgetItem* item)
{
    if (!item || !m_session)
        return nullptr;
    QList<int> rows;
    for (const QTreeWidgetItem* it = item; it; it = it->parent()) {
        auto* mutableItem = const_cast<QTreeWidgetItem*>(it); // the index lookups take no const item
        rows.prepend(
            it->parent() ? it->parent()->indexOfChild(mutableItem) : m_treeView->indexOfTopLevelItem(mutableItem));
    }
    UserTreeNode* node = m_session->visible().topLevel(rows.value(0, -1));
    for (qsizetype i = 1; node && i < rows.size(); ++i)
        node = node->child(rows.at(i));
    // The items mirror the visible tree; anything else is a stale item.
    return node && node->text() == item->text(0) ? node : nullptr;
}

UserTreeNode* TFormCom::selectedNode()
{
    const QList<QTreeWidgetItem*> selected = m_treeView->selectedItems();
    return selected.isEmpty() ? nullptr : nodeOf(selected.first());
}

void TFormCom::MostrarArvore()
{
    const QSignalBlocker blocker(m_treeView);
    const QTreeWidgetItem* current = m_treeView->currentItem();
    const QString selectedText = current && current->isSelected() ? current->text(0) : QString();
    m_treeView->clear();
    if (!m_session)
        return;

    const ImageList& icons = m_station.FormComTools().images().ImageListArvore();
    QTreeWidgetItem* reselect = nullptr;
    std::function<void(QTreeWidgetItem*, const UserTreeNode*)> add
        = [&](QTreeWidgetItem* parent, const UserTreeNode* node) {
              auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_treeView);
              item->setText(0, node->text());
              item->setIcon(0, icons.icon(node->imageIndex()));
              Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
              flags |= node->isUserEntry() ? Qt::ItemIsDragEnabled : Qt::ItemIsEditable;
              item->setFlags(flags);
              if (!selectedText.isEmpty() && node->text() == selectedText && !reselect)
                  reselect = item;
              for (int row = 0; row < node->childCount(); ++row)
                  add(item, node->child(row));
              item->setExpanded(node->isExpanded());
          };
    const UserTree& visible = m_session->visible();
    for (int row = 0; row < visible.topLevelCount(); ++row)
        add(nullptr, visible.topLevel(row));
    if (reselect)
        m_treeView->setCurrentItem(reselect);
}

void TFormCom::AplicarMudanca(const TreeChange& change)
{
    if (change.rebuildMenus)
        MontarMenusGrupos();
    if (change.save)
        session().saveTree();
    if (change.rebuildVisible)
        session().MontarArvore();
    else if (change.visibleChanged)
        MostrarArvore();
}

void TFormCom::onItemExpanded(QTreeWidgetItem* item, bool expanded)
{
    UserTreeNode* node = nodeOf(item);
    if (!node)
        return;
    session().visible().setExpanded(node, expanded);
    item->setIcon(0, m_station.FormComTools().images().ImageListArvore().icon(node->imageIndex()));
}

void TFormCom::onItemDoubleClicked(QTreeWidgetItem* item)
{
    const UserTreeNode* node = nodeOf(item);
    if (node && node->isUserEntry())
        EnviarParaUsuario(*node);
}

void TFormCom::onLabelEdited(const QModelIndex& index, const QString& text)
{
    UserTreeNode* node = nodeOf(m_treeView->itemFromIndex(index));
    if (!node)
        return;
    TFormComTools& tools = m_station.FormComTools();
    tools.guarded([&] {
        const DialogoAbertoScope dialogo(tools);
        AplicarMudanca(
            GroupCommands::renameInPlace(session().master(), session().visible(), node, text, m_station.prompter()));
    });
}

void TFormCom::showSendWindow()
{
    TFormSendMSG& send = m_station.FormSendMSG();
    send.show();
    send.raise();
    send.activateWindow();
}

void TFormCom::EnviarParaUsuario(const UserTreeNode& entry)
{
    TFormSendMSG& send = m_station.FormSendMSG();
    for (const QString& recipient : Recipients::forEntry(session().visible(), entry))
        send.AdicionarDestinatario(recipient);
    showSendWindow();
}

void TFormCom::EnviarParaGrupo(const UserTreeNode& group)
{
    TFormSendMSG& send = m_station.FormSendMSG();
    for (const QString& recipient : Recipients::forGroup(group))
        send.AdicionarDestinatario(recipient);
    showSendWindow();
}

void TFormCom::MenuEnviarClick()
{
    const UserTreeNode* node = selectedNode();
    if (node && node->isUserEntry())
        EnviarParaUsuario(*node);
    else if (node)
        EnviarParaGrupo(*node);
    else if (EstaConectado())
        showSendWindow();
}

void TFormCom::MenuEnviarTodosClick()
{
    if (m_station.FormSendMSG().CarregarUsuarios())
        showSendWindow();
}

void TFormCom::MenuHistoricoClick()
{
    if (!EstaConectado())
        return;
    TFormHistMSG& hist = m_station.FormHistMSG();
    if (!hist.isVisible()) {
        hist.DefinirAba(TFormHistMSG::Recebidas);
        hist.AtualizarLista();
        AtualizarIconeBandeja(false);
    }
    hist.show();
    hist.raise();
    hist.activateWindow();
}

void TFormCom::MenuRefreshClick()
{
    session().Refresh();
}

void TFormCom::MenuCriarGrupoClick()
{
    if (!EstaConectado())
        return;
    TFormComTools& tools = m_station.FormComTools();
    tools.guarded([&] {
        const DialogoAbertoScope dialogo(tools);
        AplicarMudanca(GroupCommands::createGroup(session().master(), m_station.prompter()));
    });
}

void TFormCom::MenuAlterarGrupoClick()
{
    ComandoNoGrupoSelecionado(&GroupCommands::renameGroup);
}

void TFormCom::MenuRemoverGrupoClick()
{
    ComandoNoGrupoSelecionado(&GroupCommands::removeGroup);
}

void TFormCom::ComandoNoGrupoSelecionado(TreeChange (*command)(UserTree&, const QString&, Prompter&))
{
    const UserTreeNode* node = selectedNode();
    if (!EstaConectado() || !node || node->isUserEntry())
        return;
    const QString name = node->text();
    TFormComTools& tools = m_station.FormComTools();
    tools.guarded([&] {
        const DialogoAbertoScope dialogo(tools);
        AplicarMudanca(command(session().master(), name, m_station.prompter()));
    });
}

void TFormCom::MenuRemoverUsrGrpClick()
{
    const UserTreeNode* node = selectedNode();
    m_station.FormComTools().guarded(
        [&] { AplicarMudanca(GroupCommands::takeUserOutOfGroup(session().master(), node)); });
}

void TFormCom::MenuInsUsrGrpClick(const QString& group)
{
    const UserTreeNode* node = selectedNode();
    m_station.FormComTools().guarded(
        [&] { AplicarMudanca(GroupCommands::putUserIntoGroup(session().master(), node, group)); });
}

void TFormCom::MenuConfiguracoesClick()
{
    m_station.FormConfig().Exibir();
}

void TFormCom::MenuBackupClick()
{
    TFormComTools& tools = m_station.FormComTools();
    const DialogoAbertoScope dialogo(tools);
    CopiaSeguranca(BackupCommand::TituloBackup(), true);
}

void TFormCom::MenuRestoreClick()
{
    TFormComTools& tools = m_station.FormComTools();
    const DialogoAbertoScope dialogo(tools);
    TFormRestore& restore = m_station.FormRestore();
    restore.setDirBase(tools.ProgramDir());
    restore.setDirDados(tools.home().dataDir());
    restore.exec();
}

BackupCommand::Outcome TFormCom::CopiaSeguranca(const QString& title, bool ask)
{
    TFormComTools& tools = m_station.FormComTools();
    BackupCommand command(tools.home(), tools.OrbFindFile1(), m_station.prompter(), m_station.clock());
    return command.CopiaSeguranca(
        title, ask, [this](const QString& source, const QString& target, const QString& caption) {
            return m_station.FormCopy().Copiar(source, target, caption);
        });
}

bool TFormCom::ContarExecucao()
{
    TFormComTools& tools = m_station.FormComTools();
    // Whatever goes wrong here is shown and the run still ends.
    return tools.guarded([&] {
        const BackupCommand::RunCount run = BackupCommand::ContarExecucao(tools.settings());
        if (run.backupDue)
            CopiaSeguranca(BackupCommand::TituloBackupAutomatico(), run.askName);
    });
}

void TFormCom::openHelpPage(const QString& name)
{
    TFormComTools& tools = m_station.FormComTools();
    tools.OpenDocument(tools.HelpDir() + name);
}

void TFormCom::MenuVersoesFuturasClick()
{
    openHelpPage(QStringLiteral("Colloqua-Future.htm"));
}

void TFormCom::MenuVersoesPublicadasClick()
{
    openHelpPage(QStringLiteral("Colloqua-RevisionHist.htm"));
}

void TFormCom::MenuHistoricoVersoesClick()
{
    openHelpPage(QStringLiteral("Colloqua-RevisionHist-DEVELOPERS.htm"));
}

// The session changes the tray icon around this: message-arrived before, normal after a show.
void TFormCom::onTextMessage(bool show, bool animate, bool sound)
{
    Q_UNUSED(animate);
    TFormComTools& tools = m_station.FormComTools();
    if (sound)
        tools.PlayNotificationSound(1);
    if (show) {
        TFormHistMSG& hist = m_station.FormHistMSG();
        hist.show();
        // A dialog of this program must not end up behind the history window.
        if (!tools.DialogoAberto())
            hist.setTopmost(true);
        hist.DefinirAba(TFormHistMSG::Recebidas);
        hist.AtualizarLista();
    }
}

void TFormCom::showSessionWarning(const QString& message)
{
    TFormComTools& tools = m_station.FormComTools();
    const DialogoAbertoScope dialogo(tools);
    m_station.prompter().message(Prompter::Kind::Warning, QStringLiteral("Colloqua"), message);
}

void TFormCom::showStatusMenu()
{
    const ImageList& icons = m_station.FormComTools().images().ImageListStatus();
    const QList<QAction*> actions = m_popupMenuStatus->actions();
    for (qsizetype i = 0; i < actions.size(); ++i)
        actions.at(i)->setIcon(icons.icon(int(i)));
    m_popupMenuStatus->popup(QCursor::pos());
}

void TFormCom::placeAtBottomRight()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(available.x() + available.width() - outer.width(), available.y() + available.height() - outer.height());
}

void TFormCom::showEvent(QShowEvent* event)
{
    if (m_imgHeader->pixmap().isNull())
        m_imgHeader->setPixmap(m_station.FormComTools().images().headerPicture());
    placeAtBottomRight();
    QMainWindow::showEvent(event);
    // Once more when the window manager has put its frame around the window.
    QTimer::singleShot(0, this, &TFormCom::placeAtBottomRight);
}

void TFormCom::saveGeometrySettings()
{
    m_station.FormComTools().preferences().setPlacement(
        WindowPlacement::Window::Communicator, WindowPlacement::of(pos(), size()));
}

void TFormCom::closeEvent(QCloseEvent* event)
{
    FecharJanelasMensagem();
    m_station.FormComTools().guarded([this] { saveGeometrySettings(); });
    event->accept();
    if (!m_station.tray().isAvailable()) {
        // No tray icon to bring it back: it returns to the task bar, minimized. Deferred, and
        // never by refusing the close: the end of the run closes every window and would stop
        // at a refusal.
        QTimer::singleShot(0, this, [this] {
            if (!isVisible())
                showMinimized();
        });
    }
}

bool TFormCom::treeDragEvent(QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    UserTreeNode* dragged = m_treeView->isOwnDrag(drop->mimeData()) ? selectedNode() : nullptr;
    if (event->type() == QEvent::DragEnter) {
        drop->setDropAction(Qt::CopyAction);
        drop->setAccepted(dragged && dragged->isUserEntry());
        return true;
    }
    UserTreeNode* under = nodeOf(m_treeView->itemAt(drop->position().toPoint()));
    const bool acceptable = GroupCommands::acceptsTreeDrop(dragged, under);
    drop->setDropAction(Qt::CopyAction);
    drop->setAccepted(acceptable);
    if (event->type() == QEvent::Drop && acceptable && under) {
        m_station.FormComTools().guarded([&] {
            AplicarMudanca(GroupCommands::dropOnGroup(session().master(), session().visible(), dragged, under));
        });
    }
    return true;
}

bool TFormCom::stripDragEvent(QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    UserTreeNode* dragged = m_treeView->isOwnDrag(drop->mimeData()) ? selectedNode() : nullptr;
    const bool acceptable = GroupCommands::acceptsStripDrop(dragged);
    drop->setDropAction(Qt::CopyAction);
    drop->setAccepted(acceptable);
    if (event->type() == QEvent::Drop && acceptable) {
        m_station.FormComTools().guarded(
            [&] { AplicarMudanca(GroupCommands::dropOnStrip(session().master(), session().visible(), dragged)); });
    }
    return true;
}

void TFormCom::keyPressEvent(QKeyEvent* event)
{
    if (!TratarAtalhos(event->key(), event->modifiers()))
        QMainWindow::keyPressEvent(event);
}

bool TFormCom::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    const bool dragEvent = type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
    if (dragEvent && watched == m_treeView->viewport())
        return treeDragEvent(event);
    if (dragEvent && (watched == m_panDragTop || watched == m_panDragLeft))
        return stripDragEvent(event);
    if (type == QEvent::MouseButtonPress && (watched == m_imgStatus1 || watched == m_imgStatus2)) {
        showStatusMenu();
        return true;
    }
    // The window sees the keys before its tree does.
    if (type == QEvent::KeyPress && watched == m_treeView) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (TratarAtalhos(key->key(), key->modifiers()))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
