#include "tformsendmsg.h"

#include "frame.h"
#include "station.h"
#include "talmailslot.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformhistmsg.h"
#include "usertree.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
const QString Posicao = QStringLiteral("POSICAO");
} // namespace

TFormSendMSG::TFormSendMSG(Station& station, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_station(station)
{
    setMinimumSize(180, 160);
    resize(334, 239);

    m_lbWarning = new QLabel(this);
    m_lbWarning->setTextFormat(Qt::PlainText);
    m_lbWarning->setStyleSheet(QStringLiteral("color: red; background: white;"));
    m_lbWarning->hide();

    m_memoMsg = new QPlainTextEdit(this);
    m_memoMsg->installEventFilter(this);

    m_butEnviarPara = new QPushButton(tr("Enviar para"), this);
    m_butEnviarPara->setFlat(true);
    connect(m_butEnviarPara, &QPushButton::clicked, this, &TFormSendMSG::MenuEnviarEFecharClick);

    m_chLBoxDestino = new QListWidget(this);
    m_chLBoxDestino->setSortingEnabled(true);
    m_chLBoxDestino->installEventFilter(this);
    connect(m_chLBoxDestino, &QListWidget::itemClicked, this, &TFormSendMSG::OcultarAviso);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_butEnviarPara, 0, Qt::AlignTop);
    bottom->addWidget(m_chLBoxDestino, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lbWarning);
    layout->addWidget(m_memoMsg, 1);
    layout->addLayout(bottom);
    m_chLBoxDestino->setFixedHeight(41);
}

TFormSendMSG::~TFormSendMSG() = default;

QListWidgetItem* TFormSendMSG::find(const QString& entry) const
{
    for (int row = 0; row < m_chLBoxDestino->count(); ++row) {
        QListWidgetItem* item = m_chLBoxDestino->item(row);
        if (item->text().compare(entry, Qt::CaseInsensitive) == 0)
            return item;
    }
    return nullptr;
}

void TFormSendMSG::AdicionarDestinatario(const QString& entry)
{
    OcultarAviso();
    if (find(entry))
        return;
    auto* item = new QListWidgetItem(entry);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    m_chLBoxDestino->addItem(item);
}

void TFormSendMSG::RemoverDesconectado(const QString& entry)
{
    QListWidgetItem* item = find(entry);
    if (!item)
        return;
    delete item;
    MostrarAviso(tr("Usuário") + QStringLiteral(" \"") + entry + QStringLiteral("\" ") + tr("desconectou."));
}

void TFormSendMSG::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void TFormSendMSG::PrepararNovaMensagem()
{
    OcultarAviso();
    m_memoMsg->setFocus();
    m_indiceFace = FrameFace::Default;
}

bool TFormSendMSG::EnviarMensagem()
{
    // Lines travel joined by blanks: a frame is one line.
    QString joined;
    const QStringList lines = m_memoMsg->toPlainText().split(QLatin1Char('\n'));
    for (const QString& line : lines)
        joined += QLatin1Char(' ') + line;
    const QString text = TrimBlanks(joined);

    TFormCom& com = m_station.FormCom();
    TFormComTools& tools = m_station.FormComTools();
    bool sent = false;
    if (!text.isEmpty()) {
        const QString stamp = FrameTimestamp(m_station.clock());
        for (int row = 0; row < m_chLBoxDestino->count(); ++row) {
            const QListWidgetItem* item = m_chLBoxDestino->item(row);
            if (item->checkState() != Qt::Checked)
                continue;
            const UserEntryParts parts = SepararUsuario(item->text());
            const QString frame = BuildTextFrame(com.UsuarioAtual(), parts.user, stamp, m_indiceFace, text);
            com.ALMailSlot1().SendTo(parts.computer, frame);
            tools.history().AppendSent(frame);
            sent = true;
        }
    }
    if (sent) {
        m_memoMsg->clear();
        Settings& settings = tools.settings();
        if (settings.readBool(QStringLiteral("ENVIAR"), QStringLiteral("EMITIR_SOM"), true, true))
            tools.PlayNotificationSound(2);
        if (settings.readBool(QStringLiteral("ENVIAR"), QStringLiteral("EXIBIR_MSG"), true, false)) {
            TFormHistMSG& hist = m_station.FormHistMSG();
            hist.show();
            hist.setTopmost(true);
            hist.DefinirAba(1);
            hist.AtualizarLista();
            com.AtualizarIconeBandeja(false);
        }
        return true;
    }

    // The last choice wins: a missing recipient is told before an empty text.
    bool anyChecked = false;
    for (int row = 0; row < m_chLBoxDestino->count(); ++row)
        anyChecked = anyChecked || m_chLBoxDestino->item(row)->checkState() == Qt::Checked;
    QString warning;
    if (text.isEmpty())
        warning = tr("Mensagem vazia!");
    if (m_chLBoxDestino->count() > 0 && !anyChecked)
        warning = tr("Não foi selecionado destinatário!");
    if (m_chLBoxDestino->count() == 0)
        warning = tr("Não foi informado destinatário!");
    MostrarAviso(warning);
    return false;
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

QStringList TFormSendMSG::Destinatarios() const
{
    QStringList entries;
    for (int row = 0; row < m_chLBoxDestino->count(); ++row)
        entries.append(m_chLBoxDestino->item(row)->text());
    return entries;
}

bool TFormSendMSG::isChecked(const QString& entry) const
{
    const QListWidgetItem* item = find(entry);
    return item && item->checkState() == Qt::Checked;
}

QString TFormSendMSG::Aviso() const
{
    return m_lbWarning->isHidden() ? QString() : m_lbWarning->text();
}

void TFormSendMSG::MostrarAviso(const QString& text)
{
    m_lbWarning->setText(text);
    m_lbWarning->show();
}

void TFormSendMSG::OcultarAviso()
{
    m_lbWarning->hide();
}

void TFormSendMSG::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    PrepararNovaMensagem();
}

void TFormSendMSG::closeEvent(QCloseEvent* event)
{
    m_chLBoxDestino->clear();
    m_station.FormComTools().guarded([this] {
        Settings& settings = m_station.FormComTools().settings();
        settings.WriteSetting(Posicao, QStringLiteral("WNDSEND_TOP"), SettingInteger, pos().y());
        settings.WriteSetting(Posicao, QStringLiteral("WNDSEND_LEFT"), SettingInteger, pos().x());
        settings.WriteSetting(Posicao, QStringLiteral("WNDSEND_WIDTH"), SettingInteger, width());
        settings.WriteSetting(Posicao, QStringLiteral("WNDSEND_HEIGHT"), SettingInteger, height());
    });
    event->accept();
}

bool TFormSendMSG::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = TFormCom::ShortcutModifiers(key->modifiers());
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && modifiers == Qt::ShiftModifier) {
            MenuEnviarClick();
            return true;
        }
        if (enter && modifiers == Qt::ControlModifier) {
            MenuEnviarEFecharClick();
            return true;
        }
        if (m_station.FormCom().TratarAtalhos(key->key(), key->modifiers()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
