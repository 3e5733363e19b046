#include "tformsendmsg.h"

#include "communicatorsession.h"
#include "deliverywatch.h"
#include "frame.h"
#include "imagesets.h"
#include "outgoingmessage.h"
#include "paintbackground.h"
#include "station.h"
#include "talmailslot.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformhistmsg.h"
#include "torbchecklistbox.h"
#include "usertree.h"
#include "usertreewidget.h"
#include "windowplacement.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
const QColor BorderColour(0, 71, 175);
const QColor PanelColour(215, 227, 242);

QAction* addEntry(QMenu* menu, const QString& text, const TFormSendMSG* window, void (TFormSendMSG::*handler)())
{
    QAction* action = menu->addAction(text);
    QObject::connect(action, &QAction::triggered, window, handler);
    return action;
}

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Characters that would end or split a section of the frame.
bool isRefusedChar(const QString& typed)
{
    return typed == QLatin1String("[") || typed == QLatin1String("]") || typed == QLatin1String("|");
}
} // namespace

TFormSendMSG::TFormSendMSG(Station& station, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_station(station)
{
    buildWindow();
    buildMenus();
    TrocarImagem(FrameFace::Default);
    DefinirAlturaPainel(AlturaContraida);
}

TFormSendMSG::~TFormSendMSG()
{
    // The splitter and the panels go after this object's members; their signals must not
    // reach it.
    const QList<QObject*> children = findChildren<QObject*>();
    for (QObject* child : children)
        QObject::disconnect(child, nullptr, this, nullptr);
}

void TFormSendMSG::buildWindow()
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setMinimumSize(180, 160);
    resize(334, 239);
    setAcceptDrops(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_menuBar = new QMenuBar(this);
    outer->setMenuBar(m_menuBar);

    auto* frame = new QWidget(this);
    PaintBackground(frame, BorderColour);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(4, 4, 4, 4);
    frameLayout->setSpacing(0);
    m_splitter = new QSplitter(Qt::Vertical, frame);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(4);
    m_splitter->addWidget(buildTextArea());
    m_splitter->addWidget(buildRecipientsPanel());
    // A taller window gives its room to the text, not to the recipients.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    connect(m_splitter, &QSplitter::splitterMoved, this, &TFormSendMSG::AtualizarIconesPainel);
    frameLayout->addWidget(m_splitter);
    outer->addWidget(frame, 1);
}

QWidget* TFormSendMSG::buildTextArea()
{
    auto* area = new QWidget(this);
    PaintBackground(area, Qt::white);
    area->setMinimumHeight(40);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    // The warning strip takes the place of the face picture while it is shown.
    m_topo = new QStackedWidget(area);
    m_topo->setFixedHeight(30);
    auto* faceRow = new QWidget(m_topo);
    auto* faceLayout = new QHBoxLayout(faceRow);
    faceLayout->setContentsMargins(0, 0, 0, 0);
    faceLayout->setSpacing(4);
    m_imgFace = new QLabel(faceRow);
    m_imgFace->setFixedSize(ImageSets::FaceSize);
    m_imgFace->setCursor(Qt::PointingHandCursor);
    m_imgFace->installEventFilter(this);
    faceLayout->addWidget(m_imgFace);
    auto* bar = new QWidget(faceRow);
    bar->setFixedHeight(2);
    PaintBackground(bar, PanelColour);
    faceLayout->addWidget(bar, 1, Qt::AlignBottom);
    m_topo->addWidget(faceRow);

    m_panWarning = new QWidget(m_topo);
    PaintBackground(m_panWarning, Qt::white);
    auto* warningLayout = new QHBoxLayout(m_panWarning);
    warningLayout->setContentsMargins(0, 0, 0, 0);
    warningLayout->setSpacing(4);
    m_imgWarning = new QLabel(m_panWarning);
    m_imgWarning->setFixedSize(ImageSets::FaceSize);
    m_imgWarning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(24, 24));
    m_imgWarning->setAlignment(Qt::AlignCenter);
    m_imgWarning->setCursor(Qt::PointingHandCursor);
    m_imgWarning->installEventFilter(this);
    warningLayout->addWidget(m_imgWarning);
    m_lbWarning = new QLabel(m_panWarning);
    m_lbWarning->setTextFormat(Qt::PlainText);
    QPalette red = m_lbWarning->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_lbWarning->setPalette(red);
    // A user name from the network may be very long: it is cut off, never widens the window.
    m_lbWarning->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_lbWarning->setMinimumWidth(0);
    warningLayout->addWidget(m_lbWarning, 1);
    m_topo->addWidget(m_panWarning);
    layout->addWidget(m_topo);

    m_memoMsg = new QPlainTextEdit(area);
    m_memoMsg->setFont(QFont(QStringLiteral("Arial"), 8));
    QPalette palette = m_memoMsg->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    m_memoMsg->setPalette(palette);
    m_memoMsg->setFrameShape(QFrame::NoFrame);
    m_memoMsg->setTabChangesFocus(true);
    m_memoMsg->installEventFilter(this);
    m_memoMsg->viewport()->installEventFilter(this);
    connect(m_memoMsg, &QPlainTextEdit::textChanged, this, &TFormSendMSG::LimitarTexto);
    connect(m_memoMsg, &QPlainTextEdit::textChanged, this, &TFormSendMSG::AvisarCaracteresPerdidos);
    layout->addWidget(m_memoMsg, 1);
    return area;
}

QWidget* TFormSendMSG::buildRecipientsPanel()
{
    m_panelDest = new QWidget(this);
    PaintBackground(m_panelDest, PanelColour);
    m_panelDest->setMinimumHeight(AlturaMinima);
    m_panelDest->installEventFilter(this);
    auto* layout = new QHBoxLayout(m_panelDest);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    m_butEnviarPara = new QToolButton(m_panelDest);
    m_butEnviarPara->setText(tr("Enviar para"));
    m_butEnviarPara->setAutoRaise(true);
    m_butEnviarPara->installEventFilter(this);
    connect(m_butEnviarPara, &QToolButton::clicked, this, &TFormSendMSG::MenuEnviarEFecharClick);
    layout->addWidget(m_butEnviarPara, 0, Qt::AlignTop);

    m_chLBoxDestino = new TOrbCheckListBox(m_panelDest);
    m_chLBoxDestino->setCollation(m_station.collation());
    m_chLBoxDestino->setMinimumHeight(0);
    m_chLBoxDestino->setAcceptDrops(true);
    m_chLBoxDestino->setContextMenuPolicy(Qt::CustomContextMenu);
    m_chLBoxDestino->installEventFilter(this);
    m_chLBoxDestino->viewport()->installEventFilter(this);
    // A click anywhere on the list is taken in the event filter; a mark changed by mouse or
    // keyboard rebuilds the tooltip here.
    connect(m_chLBoxDestino, &QListWidget::itemChanged, this, &TFormSendMSG::AtualizarDicaDestinatarios);
    connect(m_chLBoxDestino, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { m_popMenuDestino->popup(m_chLBoxDestino->viewport()->mapToGlobal(pos)); });
    layout->addWidget(m_chLBoxDestino, 1);

    m_sButExpandir = new QToolButton(m_panelDest);
    m_sButExpandir->setArrowType(Qt::UpArrow);
    m_sButExpandir->setAutoRaise(true);
    m_sButExpandir->setToolTip(tr("Expandir lista de destinatários"));
    connect(m_sButExpandir, &QToolButton::clicked, this, &TFormSendMSG::SButExpandirClick);
    m_sButContrair = new QToolButton(m_panelDest);
    m_sButContrair->setArrowType(Qt::DownArrow);
    m_sButContrair->setAutoRaise(true);
    m_sButContrair->setToolTip(tr("Contrair lista de destinatários"));
    connect(m_sButContrair, &QToolButton::clicked, this, &TFormSendMSG::SButContrairClick);
    auto* icons = new QVBoxLayout;
    icons->setContentsMargins(0, 0, 0, 0);
    icons->addWidget(m_sButExpandir);
    icons->addWidget(m_sButContrair);
    icons->addStretch(1);
    layout->addLayout(icons);
    return m_panelDest;
}

void TFormSendMSG::buildMenus()
{
    QMenu* mensagem = m_menuBar->addMenu(tr("Mensagem"));
    addEntry(mensagem, tr("Carregar Usuários"), this, &TFormSendMSG::MenuCarregarUsuariosClick);
    QMenu* destinatarios = mensagem->addMenu(tr("Destinatários"));
    addEntry(destinatarios, tr("Marcar todos"), this, &TFormSendMSG::MenuMarcarTodosClick);
    addEntry(destinatarios, tr("Desmarcar todos"), this, &TFormSendMSG::MenuDesmarcarTodosClick);
    addEntry(destinatarios, tr("Remover"), this, &TFormSendMSG::MenuRemoverClick);
    addEntry(destinatarios, tr("Remover todos"), this, &TFormSendMSG::MenuRemoverTodosClick);
    mensagem->addSeparator();
    // The shortcuts are taken by TratarTecla, before the text box sees the keys.
    addEntry(mensagem, tr("Enviar\tShift+Enter"), this, &TFormSendMSG::MenuEnviarClick);
    addEntry(mensagem, tr("Enviar e Fechar\tCtrl+Enter"), this, &TFormSendMSG::MenuEnviarEFecharClick);
    mensagem->addSeparator();
    addEntry(mensagem, tr("Fechar\tCtrl+F4"), this, &TFormSendMSG::Fechar);

    m_popMenuDestino = new QMenu(this);
    addEntry(m_popMenuDestino, tr("Marcar todos"), this, &TFormSendMSG::MenuMarcarTodosClick);
    addEntry(m_popMenuDestino, tr("Desmarcar todos"), this, &TFormSendMSG::MenuDesmarcarTodosClick);
    m_popMenuDestino->addSeparator();
    addEntry(m_popMenuDestino, tr("Remover\tDel"), this, &TFormSendMSG::MenuRemoverClick);
    addEntry(m_popMenuDestino, tr("Remover todos\tCtrl+Del"), this, &TFormSendMSG::MenuRemoverTodosClick);

    m_popMenuFaces = new QMenu(this);
    const QStringList faces { tr("Bravo"), tr("Mal humorado"), tr("Indiferente"), tr("Atento"), tr("Alegre"),
        tr("Bem humorado") };
    const ImageList& pictures = m_station.FormComTools().images().ImageListFaces();
    for (int face = 0; face < faces.size(); ++face) {
        QAction* action = m_popMenuFaces->addAction(pictures.icon(face), faces.at(face));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, face] { SelecionarFace(face); });
        m_faceActions.append(action);
    }
    m_popMenuFaces->setStyleSheet(QStringLiteral("QMenu { icon-size: 30px; }"));
}

void TFormSendMSG::AdicionarDestinatario(const QString& entry)
{
    OcultarAviso();
    if (m_chLBoxDestino->IndexOf(entry) >= 0)
        return;
    m_chLBoxDestino->AddItem(QString(), entry, true);
    AtualizarDicaDestinatarios();
}

void TFormSendMSG::RemoverDesconectado(const QString& entry)
{
    const int row = m_chLBoxDestino->IndexOf(entry);
    if (row < 0)
        return;
    delete m_chLBoxDestino->takeItem(row);
    AtualizarDicaDestinatarios();
    MostrarAviso(tr("Usuário \"%1\" desconectou.").arg(entry));
}

bool TFormSendMSG::CarregarUsuarios()
{
    CommunicatorSession& session = m_station.FormCom().session();
    if (session.master().isEmpty())
        return false;
    for (const QString& entry : Recipients::everyoneShown(session.visible()))
        AdicionarDestinatario(entry);
    return true;
}

void TFormSendMSG::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void TFormSendMSG::PrepararNovaMensagem()
{
    OcultarAviso();
    // A text kept from an earlier opening may still hold characters that cannot go.
    AvisarCaracteresPerdidos();
    m_memoMsg->setFocus();
    m_faceActions.at(FrameFace::Default)->trigger();
}

bool TFormSendMSG::EnviarMensagem()
{
    TFormCom& com = m_station.FormCom();
    const QString me = com.UsuarioAtual();
    const OutgoingMessage message
        = OutgoingMessage::plan(m_memoMsg->toPlainText(), listedRecipients(), m_indiceFace, me, m_station.clock());
    if (!message.sent()) {
        MostrarAviso(message.warning);
        return false;
    }

    TFormComTools& tools = m_station.FormComTools();
    for (const OutgoingMessage::Frame& frame : message.frames) {
        com.ALMailSlot1().SendTo(frame.computer, frame.text);
        tools.history().AppendSent(frame.text);
        m_station.FormHistMSG().Entregas().Aguardar(me, frame.user, frame.computer, message.stamp);
    }
    m_memoMsg->clear();
    const Preferences preferences = tools.preferences();
    if (preferences.soundOnSend())
        tools.PlayNotificationSound(2);
    if (preferences.showHistoryOnSend()) {
        TFormHistMSG& hist = m_station.FormHistMSG();
        hist.show();
        hist.setTopmost(true);
        hist.DefinirAba(TFormHistMSG::Enviadas);
        hist.AtualizarLista();
        com.AtualizarIconeBandeja(false);
    }
    return true;
}

QList<ListedRecipient> TFormSendMSG::listedRecipients() const
{
    QList<ListedRecipient> list;
    for (int row = 0; row < m_chLBoxDestino->count(); ++row)
        list.append({ m_chLBoxDestino->item(row)->text(), m_chLBoxDestino->Checked(row) });
    return list;
}

void TFormSendMSG::MenuCarregarUsuariosClick()
{
    CarregarUsuarios();
}

void TFormSendMSG::MenuMarcarTodosClick()
{
    m_chLBoxDestino->setAllChecked(true);
    AtualizarDicaDestinatarios();
}

void TFormSendMSG::MenuDesmarcarTodosClick()
{
    m_chLBoxDestino->setAllChecked(false);
    AtualizarDicaDestinatarios();
}

void TFormSendMSG::MenuRemoverClick()
{
    const QList<QListWidgetItem*> selected = m_chLBoxDestino->selectedItems();
    if (selected.isEmpty())
        return;
    delete m_chLBoxDestino->takeItem(m_chLBoxDestino->row(selected.first()));
    AtualizarDicaDestinatarios();
}

void TFormSendMSG::MenuRemoverTodosClick()
{
    if (m_chLBoxDestino->count() == 0)
        return;
    m_chLBoxDestino->clear();
    AtualizarDicaDestinatarios();
}

void TFormSendMSG::MenuEnviarClick()
{
    m_station.FormComTools().guarded([this] {
        if (EnviarMensagem())
            PrepararNovaMensagem();
    });
}

void TFormSendMSG::MenuEnviarEFecharClick()
{
    m_station.FormComTools().guarded([this] {
        if (EnviarMensagem()) {
            PrepararNovaMensagem();
            Fechar();
        }
    });
}

void TFormSendMSG::Fechar()
{
    close();
}

void TFormSendMSG::SelecionarFace(int face)
{
    TrocarImagem(face);
}

void TFormSendMSG::TrocarImagem(int face)
{
    m_indiceFace = face;
    m_imgFace->setPixmap(m_station.FormComTools().images().ImageListFaces().pixmap(face));
    for (qsizetype i = 0; i < m_faceActions.size(); ++i)
        m_faceActions.at(i)->setChecked(i == face);
    m_imgFace->update();
}

void TFormSendMSG::SButExpandirClick()
{
    DefinirAlturaPainel(AlturaExpandida);
}

void TFormSendMSG::SButContrairClick()
{
    DefinirAlturaPainel(AlturaContraida);
}

void TFormSendMSG::DefinirAlturaPainel(int height)
{
    const QList<int> sizes = m_splitter->sizes();
    int total = 0;
    for (int size : sizes)
        total += size;
    if (total <= 0)
        total = m_splitter->height();
    m_splitter->setSizes({ std::max(total - height, 0), height });
    AtualizarIconesPainel();
}

int TFormSendMSG::AlturaPainelDest() const
{
    return m_splitter->sizes().value(1);
}

void TFormSendMSG::AtualizarIconesPainel()
{
    const bool contracted = AlturaPainelDest() == AlturaContraida;
    m_sButExpandir->setVisible(contracted);
    m_sButContrair->setVisible(!contracted);
}

void TFormSendMSG::AtualizarDicaDestinatarios()
{
    const QString dica = Recipients::tooltip(listedRecipients());
    m_dicaDestinatarios = dica;
    // Names are plain text, whatever markup they look like.
    const QString shown = dica.isEmpty() ? QString() : Qt::convertFromPlainText(dica, Qt::WhiteSpaceNormal);
    m_chLBoxDestino->setToolTip(shown);
    const QSignalBlocker blocker(m_chLBoxDestino);
    for (int row = 0; row < m_chLBoxDestino->count(); ++row)
        m_chLBoxDestino->item(row)->setToolTip(shown);
}

QStringList TFormSendMSG::Destinatarios() const
{
    return m_chLBoxDestino->Items();
}

bool TFormSendMSG::isChecked(const QString& entry) const
{
    return m_chLBoxDestino->Checked(m_chLBoxDestino->IndexOf(entry));
}

QString TFormSendMSG::Aviso() const
{
    return m_topo->currentWidget() == m_panWarning ? m_lbWarning->text() : QString();
}

void TFormSendMSG::MostrarAviso(const QString& text)
{
    m_lbWarning->setText(text);
    m_topo->setCurrentWidget(m_panWarning);
    m_avisoCaracteres = false;
}

void TFormSendMSG::OcultarAviso()
{
    m_topo->setCurrentIndex(0);
    m_avisoCaracteres = false;
}

void TFormSendMSG::AvisarCaracteresPerdidos()
{
    const QString warning = OutgoingMessage::lostCharactersWarning(m_memoMsg->toPlainText());
    if (warning.isEmpty()) {
        if (m_avisoCaracteres)
            OcultarAviso();
        return;
    }
    MostrarAviso(warning);
    m_avisoCaracteres = true;
}

void TFormSendMSG::LimitarTexto()
{
    if (m_limitando)
        return;
    const QString text = m_memoMsg->toPlainText();
    const int excess = int(text.size()) - MaxCaracteres;
    if (excess <= 0)
        return;
    // What did not fit is what was just put in, before the cursor.
    m_limitando = true;
    QTextCursor cursor = m_memoMsg->textCursor();
    int end = cursor.position();
    if (end < excess)
        end = int(text.size());
    cursor.setPosition(end - excess);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_memoMsg->setTextCursor(cursor);
    m_limitando = false;
}

void TFormSendMSG::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The window manager's un-minimise is no new showing: face and warning stay.
    if (!event->spontaneous())
        PrepararNovaMensagem();
}

void TFormSendMSG::closeEvent(QCloseEvent* event)
{
    MenuRemoverTodosClick();
    DefinirAlturaPainel(AlturaContraida);
    m_station.FormComTools().guarded([this] {
        m_station.FormComTools().preferences().setPlacement(
            WindowPlacement::Window::Send, WindowPlacement::of(pos(), size()));
    });
    event->accept();
}

bool TFormSendMSG::TratarTecla(QObject* watched, const QKeyEvent* key)
{
    const Qt::KeyboardModifiers modifiers = TFormCom::ShortcutModifiers(key->modifiers());
    if (isEnter(key->key()) && modifiers == Qt::ShiftModifier) {
        MenuEnviarClick();
        return true;
    }
    if (isEnter(key->key()) && modifiers == Qt::ControlModifier) {
        MenuEnviarEFecharClick();
        return true;
    }
    if (key->key() == Qt::Key_F4 && modifiers == Qt::ControlModifier) {
        Fechar();
        return true;
    }
    if (watched == m_chLBoxDestino && key->key() == Qt::Key_Delete) {
        if (modifiers == Qt::NoModifier) {
            MenuRemoverClick();
            return true;
        }
        if (modifiers == Qt::ControlModifier) {
            MenuRemoverTodosClick();
            return true;
        }
    }
    if (watched == m_memoMsg && !key->text().isEmpty()) {
        OcultarAviso();
        if (isRefusedChar(key->text()))
            return true;
    }
    return m_station.FormCom().TratarAtalhos(key->key(), key->modifiers());
}

void TFormSendMSG::keyPressEvent(QKeyEvent* event)
{
    if (!TratarTecla(this, event))
        QWidget::keyPressEvent(event);
}

void TFormSendMSG::TratarArraste(QDropEvent* event, bool drop)
{
    TFormCom& com = m_station.FormCom();
    if (!com.TreeView()->isOwnDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (!drop)
        return;
    const UserTreeNode* node = com.selectedNode();
    if (!node)
        return;
    if (node->isUserEntry())
        com.EnviarParaUsuario(*node);
    else
        com.EnviarParaGrupo(*node);
}

void TFormSendMSG::dragEnterEvent(QDragEnterEvent* event)
{
    TratarArraste(event, false);
}

void TFormSendMSG::dragMoveEvent(QDragMoveEvent* event)
{
    TratarArraste(event, false);
}

void TFormSendMSG::dropEvent(QDropEvent* event)
{
    TratarArraste(event, true);
}

bool TFormSendMSG::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        if (TratarTecla(watched, static_cast<QKeyEvent*>(event)))
            return true;
    } else if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        if (watched == m_memoMsg->viewport() || watched == m_chLBoxDestino->viewport()) {
            TratarArraste(static_cast<QDropEvent*>(event), type == QEvent::Drop);
            return true;
        }
    } else if (type == QEvent::MouseButtonPress && (watched == m_imgFace || watched == m_imgWarning)) {
        m_popMenuFaces->popup(QCursor::pos());
        return true;
    } else if (type == QEvent::MouseButtonPress && watched == m_chLBoxDestino->viewport()) {
        OcultarAviso();
        AtualizarDicaDestinatarios();
    } else if (type == QEvent::Resize && watched == m_panelDest) {
        AtualizarIconesPainel();
    }
    return QWidget::eventFilter(watched, event);
}
