#include "tformcredito.h"

#include "fileversioninfo.h"
#include "station.h"
#include "tformcomtools.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QSvgRenderer>
#include <QTabBar>
#include <QVBoxLayout>

#include <utility>

namespace
{
constexpr int Width = 393;
constexpr int Height = 382;
constexpr int PanelWidth = 96;

QPlainTextEdit* page(QWidget* parent)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    return memo;
}

QPixmap panelPicture(QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::white);
    QSvgRenderer renderer(QStringLiteral(":/colloqua/credits.svg"));
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}
} // namespace

TFormCredito::TFormCredito(Station& station, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_station(station)
{
    setWindowTitle(QStringLiteral("Colloqua"));
    setFixedSize(Width, Height);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto* panImagem = new QLabel(this);
    panImagem->setFixedWidth(PanelWidth);
    panImagem->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    panImagem->setPixmap(panelPicture(QSize(PanelWidth, Height)));

    m_lbVer = new QLabel(QStringLiteral("0.0.00.000"), this);
    m_lbVer->setAlignment(Qt::AlignRight);
    m_lbVer->setTextFormat(Qt::PlainText);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    m_memoTXT = page(this);
    m_memoTXT->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo = page(this);
    m_pages = new QStackedWidget(this);
    m_pages->addWidget(m_memoTXT);
    m_pages->addWidget(m_memo);

    m_tabSet1 = new QTabBar(this);
    m_tabSet1->setShape(QTabBar::RoundedSouth);
    m_tabSet1->setDrawBase(false);
    m_tabSet1->addTab(tr("Creditos"));
    m_tabSet1->addTab(tr("Informações do arquivo"));
    connect(m_tabSet1, &QTabBar::currentChanged, this, &TFormCredito::TabSet1Change);

    auto* lbFabricante = new QLabel(tr("Engenheiros fundadores do Colloqua"), this);
    m_label2 = new QLabel(MakerWebPage(), this);
    m_label2->setTextFormat(Qt::PlainText);
    m_label2->setStyleSheet(QStringLiteral("color: #0645ad; text-decoration: underline;"));
    m_label2->setCursor(Qt::PointingHandCursor);
    m_label2->installEventFilter(this);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(m_lbVer);
    right->addWidget(buildTitle());
    right->addWidget(line);
    right->addWidget(m_pages, 1);
    right->addWidget(m_tabSet1, 0, Qt::AlignLeft);
    right->addWidget(lbFabricante);
    right->addWidget(m_label2);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 8, 8);
    layout->addWidget(panImagem);
    layout->addLayout(right, 1);
}

TFormCredito::~TFormCredito() = default;

// The title twice: a grey copy, and a white one a pixel up and to the left, for a raised look.
QWidget* TFormCredito::buildTitle()
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(27);
    font.setBold(true);
    auto* holder = new QWidget(this);
    holder->setFixedHeight(QFontMetrics(font).height() + 2);
    const auto label = [&](const QColor& colour, int offset) {
        auto* lb = new QLabel(holder);
        lb->setTextFormat(Qt::PlainText);
        lb->setFont(font);
        QPalette p = lb->palette();
        p.setColor(QPalette::WindowText, colour);
        lb->setPalette(p);
        lb->move(offset, offset);
        return lb;
    };
    m_lbTitiShadow = label(Qt::gray, 1);
    m_lbTitiOver = label(Qt::white, 0);
    return holder;
}

const QString& TFormCredito::MakerWebPage()
{
    static const QString page = QStringLiteral("https://colloqua.org/");
    return page;
}

void TFormCredito::MostraCreditos(const QString& title, const QString& fileName, const QString& creditsText)
{
    for (QLabel* lb : { m_lbTitiShadow, m_lbTitiOver }) {
        lb->setText(title);
        lb->adjustSize();
    }
    SendVars(fileName, creditsText);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setModal(true);
    show();
    raise();
    activateWindow();
}

void TFormCredito::SendVars(const QString& fileName, const QString& creditsText)
{
    m_fileName = fileName;
    m_memoTXT->setPlainText(creditsText);
}

void TFormCredito::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFormCredito::FormShow()
{
    m_memo->clear();
    m_lbVer->clear();
    QString version;
    if (!MyFileVerInfo(m_fileName, version))
        return;
    m_lbVer->setText(version);
    QStringList lines;
    MyFileVersionAtributes(m_fileName, lines);
    for (const QString& line : std::as_const(lines))
        m_memo->appendPlainText(line);
}

void TFormCredito::TabSet1Change(int index)
{
    if (index >= 0 && index < m_pages->count())
        m_pages->setCurrentIndex(index);
}

QWidget* TFormCredito::currentPage() const
{
    return m_pages->currentWidget();
}

void TFormCredito::Label2Click()
{
    m_station.FormComTools().OpenDocument(MakerWebPage());
}

bool TFormCredito::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_label2 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label2Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
