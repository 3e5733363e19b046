#include "traypopupmenu.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

namespace
{
QFont bannerFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    font.setBold(true);
    return font;
}
} // namespace

TrayPopupMenu::TrayPopupMenu(QWidget* parent)
    : QMenu(parent)
{
    // The separator under the header is an entry of its own and must stay.
    setSeparatorsCollapsible(false);
    setContentsMargins(EntriesLeft, 0, ExtraWidth - EntriesLeft, 0);
}

TrayPopupMenu::~TrayPopupMenu() = default;

void TrayPopupMenu::setHeaderPicture(const QPixmap& picture)
{
    m_headerPicture = picture;
    const int pictureHeight = qRound(picture.height() / picture.devicePixelRatio());
    const QMargins margins = contentsMargins();
    setContentsMargins(margins.left(), HeaderPictureTop * 2 + pictureHeight, margins.right(), margins.bottom());
    update();
}

void TrayPopupMenu::setBanner(const QString& text, bool active)
{
    m_bannerText = text;
    m_bannerActive = active;
    update();
}

QColor TrayPopupMenu::bannerColour() const
{
    return palette().color(QPalette::Active, m_bannerActive ? QPalette::Highlight : QPalette::Mid);
}

QColor TrayPopupMenu::bannerTextColour() const
{
    return palette().color(QPalette::Active, QPalette::HighlightedText);
}

QRect TrayPopupMenu::headerRect() const
{
    return QRect(EntriesLeft, 0, width() - EntriesLeft, contentsMargins().top());
}

void TrayPopupMenu::paintEvent(QPaintEvent* event)
{
    QMenu::paintEvent(event);
    QPainter painter(this);
    paintHeader(painter);
    paintBanner(painter);
}

void TrayPopupMenu::paintHeader(QPainter& painter) const
{
    const QRect header = headerRect();
    painter.fillRect(header, Qt::white);
    if (m_headerPicture.isNull())
        return;
    const int pictureWidth = qRound(m_headerPicture.width() / m_headerPicture.devicePixelRatio());
    painter.drawPixmap(header.left() + (header.width() - pictureWidth) / 2, HeaderPictureTop, m_headerPicture);
}

void TrayPopupMenu::paintBanner(QPainter& painter) const
{
    const int bottom = height();
    painter.fillRect(QRect(0, 0, BannerWidth, bottom), bannerColour());
    const QFont font = bannerFont();
    const QFontMetrics metrics(font);
    painter.save();
    painter.setFont(font);
    painter.setPen(bannerTextColour());
    // The text runs upwards from the bottom, its top towards the left edge.
    painter.translate((BannerWidth - metrics.height()) / 2 - 1, bottom);
    painter.rotate(-90);
    painter.drawText(QPoint(0, metrics.ascent()), m_bannerText);
    painter.restore();
}
