#include "tformhistmsg.h"

#include "frame.h"
#include "historyfiles.h"
#include "station.h"
#include "tformcom.h"
#include "tformcomtools.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
const QString Posicao = QStringLiteral("POSICAO");

struct Shown
{
    QDateTime sentAt;
    QString text;
};
} // namespace

TFormHistMSG::TFormHistMSG(Station& station, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_station(station)
{
    setWindowTitle(tr("Histórico de Mensagens"));
    setMinimumSize(350, 170);
    resize(554, 267);

    m_listBoxMsg = new QListWidget(this);
    m_listBoxMsg->installEventFilter(this);
    m_tabSet1 = new QTabBar(this);
    m_tabSet1->addTab(tr("Recebidas"));
    m_tabSet1->addTab(tr("Enviadas"));
    m_tabSet1->addTab(tr("Todas"));
    m_tabSet1->setShape(QTabBar::RoundedSouth);
    connect(m_tabSet1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0)
            return;
        m_abaAtual = index;
        AtualizarLista();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_listBoxMsg, 1);
    layout->addWidget(m_tabSet1);
}

TFormHistMSG::~TFormHistMSG() = default;

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
    const Settings& settings = tools.settings();
    const int maximum = settings.readInt(QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_JANHIST"), 100, 100);
    const bool systemFrames
        = settings.readBool(QStringLiteral("SETUP"), QStringLiteral("EXIBIR_MSG_SISTEMA"), false, false);
    const QString me = m_station.FormCom().UsuarioAtual();

    QList<Shown> shown;
    const auto load = [&](const QString& path, bool received) {
        for (const QString& line : HistoryFiles::ReadHistoryRecords(path)) {
            TDados dados;
            ParseFrame(line, dados, m_station.clock());
            if (!dados.Valid || (!dados.Command.isEmpty() && !systemFrames))
                continue;
            if (received ? !(dados.ToUser == me || dados.ToUser.isEmpty()) : dados.FromUser != me)
                continue;
            QString text = received ? tr("de: ") + dados.FromUser : tr("para: ") + dados.ToUser;
            text += QStringLiteral("  ") + tr("data: ") + dados.SentAt.toString(QStringLiteral("dd/MM HH:mm:ss"));
            if (!dados.MessageText.isEmpty())
                text += QStringLiteral("  ") + dados.MessageText;
            shown.append({ dados.SentAt, text });
        }
    };
    if (m_abaAtual == Recebidas || m_abaAtual == Todas)
        load(tools.history().receivedPath(), true);
    if (m_abaAtual == Enviadas || m_abaAtual == Todas)
        load(tools.history().sentPath(), false);

    // Newest first by the sender's stamp; the newest records stay when there are too many.
    std::stable_sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) { return a.sentAt > b.sentAt; });
    if (maximum > 0 && shown.size() > maximum)
        shown.resize(maximum);

    m_listBoxMsg->clear();
    for (const Shown& entry : shown)
        m_listBoxMsg->addItem(entry.text);
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

void TFormHistMSG::Fechar()
{
    close();
}

QStringList TFormHistMSG::Linhas() const
{
    QStringList lines;
    for (int row = 0; row < m_listBoxMsg->count(); ++row)
        lines.append(m_listBoxMsg->item(row)->text());
    return lines;
}

void TFormHistMSG::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_changingFlags)
        m_station.FormComTools().guarded([this] { CarregarLista(); });
}

void TFormHistMSG::closeEvent(QCloseEvent* event)
{
    m_station.FormComTools().guarded([this] {
        Settings& settings = m_station.FormComTools().settings();
        settings.WriteSetting(Posicao, QStringLiteral("WNDHIST_TOP"), SettingInteger, pos().y());
        settings.WriteSetting(Posicao, QStringLiteral("WNDHIST_LEFT"), SettingInteger, pos().x());
        settings.WriteSetting(Posicao, QStringLiteral("WNDHIST_WIDTH"), SettingInteger, width());
        settings.WriteSetting(Posicao, QStringLiteral("WNDHIST_HEIGHT"), SettingInteger, height());
    });
    event->accept();
}

bool TFormHistMSG::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (m_station.FormCom().TratarAtalhos(key->key(), key->modifiers()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
