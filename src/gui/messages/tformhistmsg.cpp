#include "tformhistmsg.h"

#include "communicatorsession.h"
#include "deliverymarks.h"
#include "deliverywatch.h"
#include "frame.h"
#include "historyentrydelegate.h"
#include "historyfiles.h"
#include "historylist.h"
#include "paintbackground.h"
#include "station.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "usertree.h"
#include "windowplacement.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

namespace
{
const QColor FrameBlue(0, 0, 160);
const QColor TabBarBlue(198, 222, 255);
} // namespace

TFormHistMSG::TFormHistMSG(Station& station, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_station(station)
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(tr("Histórico de Mensagens"));
    setMinimumSize(350, 170);
    resize(554, 267);
    buildWindow();
    buildMenus();
    OcultarAviso();
    TFormComTools& tools = m_station.FormComTools();
    m_entregas = std::make_unique<DeliveryWatch>(
        DeliveryWatch::Services { m_station.clock(), tools.settings(), tools.history() });
    connect(m_entregas.get(), &DeliveryWatch::naoConfirmadas, this, &TFormHistMSG::MostrarNaoConfirmadas);
}

TFormHistMSG::~TFormHistMSG() = default;

void TFormHistMSG::buildWindow()
{
    PaintBackground(this, FrameBlue);

    m_panWarning = new QWidget(this);
    PaintBackground(m_panWarning, Qt::white);
    m_imgWarning = new QLabel(m_panWarning);
    m_imgWarning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    m_lbWarning = new QLabel(m_panWarning);
    m_lbWarning->setTextFormat(Qt::PlainText);
    QPalette warningPalette = m_lbWarning->palette();
    warningPalette.setColor(QPalette::WindowText, Qt::red);
    m_lbWarning->setPalette(warningPalette);
    auto* warningLayout = new QHBoxLayout(m_panWarning);
    warningLayout->setContentsMargins(8, 0, 8, 0);
    warningLayout->addWidget(m_imgWarning);
    warningLayout->addWidget(m_lbWarning, 1);

    auto* listPanel = new QWidget(this);
    PaintBackground(listPanel, Qt::white);
    m_listBoxMsg = new QListWidget(listPanel);
    m_listBoxMsg->setFrameShape(QFrame::NoFrame);
    m_listBoxMsg->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listBoxMsg->setUniformItemSizes(true);
    m_listBoxMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listBoxMsg->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QPalette listPalette = m_listBoxMsg->palette();
    listPalette.setColor(QPalette::Base, Qt::white);
    m_listBoxMsg->setPalette(listPalette);
    m_delegate
        = new HistoryEntryDelegate(m_station.FormComTools().images().ImageListFaces(), m_station.clock(), m_listBoxMsg);
    m_listBoxMsg->setItemDelegate(m_delegate);
    m_listBoxMsg->installEventFilter(this);
    m_listBoxMsg->viewport()->installEventFilter(this);
    connect(m_listBoxMsg, &QListWidget::itemDoubleClicked, this, [this] { MenuEnviarMensagemClick(); });
    auto* listLayout = new QVBoxLayout(listPanel);
    listLayout->setContentsMargins(4, 4, 4, 4);
    listLayout->addWidget(m_listBoxMsg);

    auto* tabPanel = new QWidget(this);
    PaintBackground(tabPanel, TabBarBlue);
    m_tabSet1 = new QTabBar(tabPanel);
    m_tabSet1->addTab(tr("Recebidas"));
    m_tabSet1->addTab(tr("Enviadas"));
    m_tabSet1->addTab(tr("Todas"));
    m_tabSet1->setShape(QTabBar::RoundedSouth);
    m_tabSet1->setDrawBase(false);
    m_tabSet1->setStyleSheet(QStringLiteral("QTabBar::tab:selected { background: white; }"));
    m_tabSet1->installEventFilter(this);
    // A click reloads even on the current tab; the wheel and the arrow keys move the current
    // tab without a click. AtualizarLista moves it with the signal blocked, so no page is
    // loaded twice.
    const auto mostrarAba = [this](int index) {
        if (index < 0)
            return;
        m_abaAtual = index;
        AtualizarLista();
    };
    connect(m_tabSet1, &QTabBar::tabBarClicked, this, mostrarAba);
    connect(m_tabSet1, &QTabBar::currentChanged, this, mostrarAba);
    auto* tabLayout = new QHBoxLayout(tabPanel);
    tabLayout->setContentsMargins(4, 0, 4, 0);
    tabLayout->addWidget(m_tabSet1);
    tabLayout->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    layout->addWidget(m_panWarning);
    layout->addWidget(listPanel, 1);
    layout->addWidget(tabPanel);
}

QAction* TFormHistMSG::addCommand(QMenu* menu, const QString& caption, void (TFormHistMSG::*command)())
{
    QAction* action = menu->addAction(caption);
    connect(action, &QAction::triggered, this, command);
    return action;
}

void TFormHistMSG::buildMenus()
{
    m_menuBar = new QMenuBar(this);
    m_menuBar->setNativeMenuBar(false);
    // The bar would take the window's blue, under black captions.
    QPalette barPalette = m_menuBar->palette();
    barPalette.setColor(QPalette::Window, QApplication::palette(m_menuBar).color(QPalette::Window));
    m_menuBar->setPalette(barPalette);
    m_menuBar->installEventFilter(this);
    layout()->setMenuBar(m_menuBar);
    QMenu* mensagem = m_menuBar->addMenu(tr("Mensagem"));
    addCommand(mensagem, tr("Enviar Mensagem"), &TFormHistMSG::MenuEnviarMensagemClick);
    addCommand(mensagem, tr("Copiar"), &TFormHistMSG::MenuCopiarClick);
    addCommand(mensagem, tr("Deletar Mensagem"), &TFormHistMSG::MenuDeletarMensagemClick);
    addCommand(mensagem, tr("Deletar Todas"), &TFormHistMSG::MenuDeletarTodasClick);
    QAction* refresh = m_menuBar->addAction(tr("Refresh"));
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    connect(refresh, &QAction::triggered, this, &TFormHistMSG::AtualizarLista);
    addAction(refresh);
    QAction* fechar = m_menuBar->addAction(tr("Fechar"));
    fechar->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    connect(fechar, &QAction::triggered, this, &TFormHistMSG::Fechar);
    addAction(fechar);

    m_popupMenuMsg = new QMenu(this);
    addCommand(m_popupMenuMsg, tr("Enviar Mensagem"), &TFormHistMSG::MenuEnviarMensagemClick);
    m_popupMenuMsg->addSeparator();
    addCommand(m_popupMenuMsg, tr("Copiar"), &TFormHistMSG::MenuCopiarClick);
    m_popupMenuMsg->addSeparator();
    QAction* deletar = addCommand(m_popupMenuMsg, tr("Deletar Mensagem"), &TFormHistMSG::MenuDeletarMensagemClick);
    deletar->setShortcut(QKeySequence(Qt::Key_Delete));
    QAction* deletarTodas = addCommand(m_popupMenuMsg, tr("Deletar Todas"), &TFormHistMSG::MenuDeletarTodasClick);
    deletarTodas->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    // The list's own keys: the popup menu is not on screen when they are pressed.
    for (QAction* action : { deletar, deletarTodas }) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_listBoxMsg->addAction(action);
    }
    m_listBoxMsg->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_listBoxMsg, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { m_popupMenuMsg->popup(m_listBoxMsg->viewport()->mapToGlobal(pos)); });
}

void TFormHistMSG::DefinirAba(int page)
{
    m_abaAtual = page;
}

void TFormHistMSG::AtualizarLista()
{
    if (m_abaAtual != Enviadas && m_abaAtual != Todas)
        m_abaAtual = Recebidas;
    {
        const QSignalBlocker blocker(m_tabSet1);
        m_tabSet1->setCurrentIndex(m_abaAtual);
    }
    m_station.FormComTools().guarded([this] { CarregarLista(); });
}

void TFormHistMSG::CarregarLista()
{
    TFormComTools& tools = m_station.FormComTools();
    const Preferences preferences = tools.preferences();
    const int maximum = preferences.historyWindowRecords();
    const bool divider = preferences.historyDividers();
    const bool systemFrames = preferences.historySystemMessages();
    const QString me = m_station.FormCom().UsuarioAtual();

    // Read everything before the list changes: a file that cannot be read leaves it as it was.
    HistoryList list(maximum);
    if (m_abaAtual == Recebidas || m_abaAtual == Todas)
        list.CarregarArquivo(tools.history().receivedPath(), m_abaAtual, me, systemFrames);
    if (m_abaAtual == Enviadas || m_abaAtual == Todas)
        list.CarregarArquivo(tools.history().sentPath(), m_abaAtual, me, systemFrames);

    m_delegate->setPage(m_abaAtual);
    m_delegate->setDividerLine(divider);
    m_listBoxMsg->setUpdatesEnabled(false);
    m_listBoxMsg->clear();
    m_listBoxMsg->addItems(list.entries());
    CarregarMarcas();
    m_listBoxMsg->setUpdatesEnabled(true);
}

void TFormHistMSG::CarregarMarcas()
{
    TFormComTools& tools = m_station.FormComTools();
    const bool sentShown = m_abaAtual == Enviadas || m_abaAtual == Todas;
    const bool marked = sentShown && DeliveryMarks::Ativas(tools.settings());
    const DeliveryMarks marks = marked ? DeliveryMarks::FromFile(tools.history().receivedPath()) : DeliveryMarks();
    const QString me = m_station.FormCom().UsuarioAtual();
    const QDateTime now = m_station.clock().now();
    const StoppedClock parsing;
    TDados frame;
    for (int row = 0; row < m_listBoxMsg->count(); ++row) {
        QListWidgetItem* item = m_listBoxMsg->item(row);
        auto marca = DeliveryMarks::Marca::Nenhuma;
        if (marked) {
            ParseFrame(RegistroDaEntrada(item->text()), frame, parsing);
            if (frame.FromUser == me)
                marca = marks.MarcaDe(frame, now);
        }
        if (item->data(HistoryEntryDelegate::MarcaRole).toInt() != int(marca))
            item->setData(HistoryEntryDelegate::MarcaRole, int(marca));
    }
}

void TFormHistMSG::AtualizarMarcas()
{
    m_station.FormComTools().guarded([this] { CarregarMarcas(); });
}

void TFormHistMSG::ConfirmacaoRecebida(const QString& computer, const QString& user, const QString& stamp)
{
    m_entregas->Confirmada(computer, user, stamp);
    if (isVisible())
        AtualizarMarcas();
}

void TFormHistMSG::MostrarNaoConfirmadas(const QStringList& avisos)
{
    // As after a send: the window comes up on the sent messages, where the mark is.
    if (!isVisible()) {
        show();
        DefinirAba(Enviadas);
        AtualizarLista();
    } else {
        AtualizarMarcas();
    }
    if (!m_station.FormComTools().DialogoAberto())
        setTopmost(true);
    MostrarAviso(avisos.join(QLatin1Char('\n')));
}

void TFormHistMSG::AplicarAparencia()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    m_listBoxMsg->setFont(font);
}

void TFormHistMSG::setTopmost(bool topmost)
{
    if (isTopmost() == topmost)
        return;
    const bool wasVisible = isVisible();
    const QRect geometry = this->geometry();
    m_changingFlags = true;
    setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    setGeometry(geometry);
    if (wasVisible)
        show();
    m_changingFlags = false;
}

bool TFormHistMSG::isTopmost() const
{
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void TFormHistMSG::MostrarAviso(const QString& text)
{
    m_lbWarning->setText(text);
    m_imgWarning->show();
    m_panWarning->setFixedHeight(WarningHeight);
}

void TFormHistMSG::OcultarAviso()
{
    m_lbWarning->clear();
    m_imgWarning->hide();
    m_panWarning->setFixedHeight(HiddenWarningHeight);
}

QListWidgetItem* TFormHistMSG::selectedEntry() const
{
    const QList<QListWidgetItem*> selected = m_listBoxMsg->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TFormHistMSG::MenuEnviarMensagemClick()
{
    const QListWidgetItem* item = selectedEntry();
    if (!item) {
        MostrarAviso(tr("Favor selecionar uma mensagem."));
        return;
    }
    TDados frame;
    ParseFrame(RegistroDaEntrada(item->text()), frame, m_station.clock());
    if (!frame.Valid)
        return;
    const QString user = m_abaAtual == Recebidas ? frame.FromUser : frame.ToUser;
    TFormCom& com = m_station.FormCom();
    const UserTreeNode* entry = user.isEmpty() ? nullptr : com.session().visible().ProcurarUsuario(user);
    if (!entry) {
        MostrarAviso(tr("Usuário não está conectado no momento."));
        return;
    }
    TFormComTools& tools = m_station.FormComTools();
    const DialogoAbertoScope dialogo(tools);
    com.EnviarParaUsuario(*entry);
}

void TFormHistMSG::MenuCopiarClick()
{
    const QListWidgetItem* item = selectedEntry();
    if (!item) {
        MostrarAviso(tr("Favor selecionar uma mensagem."));
        return;
    }
    TDados frame;
    ParseFrame(RegistroDaEntrada(item->text()), frame, m_station.clock());
    if (frame.Valid)
        QGuiApplication::clipboard()->setText(frame.MessageText);
}

void TFormHistMSG::MenuDeletarMensagemClick()
{
    if (m_listBoxMsg->count() == 0)
        return;
    const QListWidgetItem* item = selectedEntry();
    if (!item) {
        MostrarAviso(tr("Favor selecionar uma mensagem."));
        return;
    }
    const int row = m_listBoxMsg->row(item);
    ExcluirRegistros({ item->text() });
    AtualizarLista();
    // The same place, or the new last entry when the last one went.
    const int count = m_listBoxMsg->count();
    if (count > 0)
        m_listBoxMsg->setCurrentRow(qMin(row, count - 1));
}

void TFormHistMSG::MenuDeletarTodasClick()
{
    QStringList entries;
    entries.reserve(m_listBoxMsg->count());
    for (int row = 0; row < m_listBoxMsg->count(); ++row)
        entries.append(m_listBoxMsg->item(row)->text());
    ExcluirRegistros(entries);
    AtualizarLista();
}

void TFormHistMSG::ExcluirRegistros(const QStringList& entries)
{
    if (entries.isEmpty())
        return;
    QStringList records;
    records.reserve(entries.size());
    for (const QString& entry : entries)
        records.append(RegistroDaEntrada(entry));
    TFormComTools& tools = m_station.FormComTools();
    // One rewrite per file, however many entries: each file is replaced whole or not at all.
    tools.guarded([&] {
        if (m_abaAtual == Recebidas || m_abaAtual == Todas)
            tools.history().DeleteHistoryRecords(tools.history().receivedPath(), records);
        if (m_abaAtual == Enviadas || m_abaAtual == Todas)
            tools.history().DeleteHistoryRecords(tools.history().sentPath(), records);
    });
}

void TFormHistMSG::Fechar()
{
    close();
}

QStringList TFormHistMSG::Linhas() const
{
    QStringList lines;
    TDados frame;
    for (int row = 0; row < m_listBoxMsg->count(); ++row) {
        ParseFrame(RegistroDaEntrada(m_listBoxMsg->item(row)->text()), frame, m_station.clock());
        QStringList parts;
        if (m_abaAtual == Recebidas || m_abaAtual == Todas)
            parts.append(tr("de: %1").arg(frame.FromUser));
        if (m_abaAtual == Enviadas || m_abaAtual == Todas)
            parts.append(tr("para: %1").arg(frame.ToUser));
        parts.append(tr("data: %1").arg(FormatarData(frame.SentAt)));
        const auto marca = DeliveryMarks::Marca(m_listBoxMsg->item(row)->data(HistoryEntryDelegate::MarcaRole).toInt());
        if (marca != DeliveryMarks::Marca::Nenhuma)
            parts.append(DeliveryMarks::Texto(marca));
        if (!frame.MessageText.isEmpty())
            parts.append(frame.MessageText);
        lines.append(parts.join(QStringLiteral("  ")));
    }
    return lines;
}

void TFormHistMSG::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Neither a change of the window flags nor the window manager's un-minimise is a showing.
    if (m_changingFlags || event->spontaneous())
        return;
    OcultarAviso();
    AplicarAparencia();
    m_station.FormComTools().guarded([this] { CarregarLista(); });
}

void TFormHistMSG::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The message texts wrap to the new width; the selected entry stays selected.
    if (!isVisible() || m_changingFlags)
        return;
    const QListWidgetItem* item = selectedEntry();
    const QString selected = item ? item->text() : QString();
    AtualizarLista();
    if (selected.isEmpty())
        return;
    const QList<QListWidgetItem*> found = m_listBoxMsg->findItems(selected, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!found.isEmpty())
        m_listBoxMsg->setCurrentItem(found.first());
}

void TFormHistMSG::closeEvent(QCloseEvent* event)
{
    m_station.FormComTools().guarded([this] {
        m_station.FormComTools().preferences().setPlacement(
            WindowPlacement::Window::History, WindowPlacement::of(pos(), size()));
    });
    event->accept();
}

bool TFormHistMSG::tratarTecla(int key, Qt::KeyboardModifiers modifiers)
{
    if (TFormCom::ShortcutModifiers(modifiers) == Qt::AltModifier && (key == Qt::Key_Left || key == Qt::Key_Right)) {
        // Cyclic: left of "Recebidas" is "Todas", right of "Todas" is "Recebidas".
        const int step = key == Qt::Key_Left ? 2 : 1;
        m_abaAtual = ((m_abaAtual == Enviadas || m_abaAtual == Todas ? m_abaAtual : Recebidas) + step) % 3;
        AtualizarLista();
        return true;
    }
    return m_station.FormCom().TratarAtalhos(key, modifiers);
}

void TFormHistMSG::keyPressEvent(QKeyEvent* event)
{
    if (tratarTecla(event->key(), event->modifiers()))
        return;
    QWidget::keyPressEvent(event);
}

bool TFormHistMSG::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched != m_listBoxMsg->viewport()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // The list's own copy would take the whole entry text, sort key and frame included.
        if (watched == m_listBoxMsg && key->matches(QKeySequence::Copy)) {
            MenuCopiarClick();
            return true;
        }
        if (tratarTecla(key->key(), key->modifiers()))
            return true;
    }
    if (event->type() == QEvent::MouseButtonPress && watched == m_listBoxMsg->viewport())
        OcultarAviso();
    return QWidget::eventFilter(watched, event);
}
