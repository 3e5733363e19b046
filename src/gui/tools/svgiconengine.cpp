#include "svgiconengine.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <algorithm>

namespace
{
// What trays and menus usually ask for; listing them lets a tray host pick an exact size
// instead of scaling the natural one.
constexpr int StandardSizes[] = { 16, 22, 24, 32, 48, 64 };

// A disabled picture keeps its shape and colours but fades, as the desktop's own icons do.
constexpr qreal DisabledOpacity = 0.4;
} // namespace

SvgIconEngine::SvgIconEngine(const QString& path, QSize naturalSize)
    : m_path(path)
    , m_naturalSize(naturalSize)
    , m_renderer(std::make_shared<QSvgRenderer>(path))
{
    m_renderer->setAspectRatioMode(Qt::KeepAspectRatio);
}

SvgIconEngine::~SvgIconEngine() = default;

bool SvgIconEngine::isValid() const
{
    return m_renderer->isValid();
}

QImage SvgIconEngine::renderImage(QSize pixels, QIcon::Mode mode) const
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (mode == QIcon::Disabled)
        painter.setOpacity(DisabledOpacity);
    m_renderer->render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    return image;
}

void SvgIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    Q_UNUSED(state);
    if (!isValid() || rect.isEmpty())
        return;
    // Draw through a pixmap at the device's ratio, so the cache serves repeated paints.
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap picture = pixmap(rect.size() * ratio, mode, state);
    picture.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, picture);
}

QPixmap SvgIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    Q_UNUSED(state);
    if (!isValid() || size.isEmpty())
        return {};
    const QString cacheKey
        = QStringLiteral("colloqua-svg:%1:%2x%3:%4").arg(m_path).arg(size.width()).arg(size.height()).arg(int(mode));
    QPixmap cached;
    if (QPixmapCache::find(cacheKey, &cached))
        return cached;
    QPixmap picture = QPixmap::fromImage(renderImage(size, mode));
    QPixmapCache::insert(cacheKey, picture);
    return picture;
}

QList<QSize> SvgIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state)
{
    Q_UNUSED(mode);
    Q_UNUSED(state);
    if (!isValid())
        return {};
    QList<QSize> sizes { m_naturalSize };
    if (m_naturalSize.width() == m_naturalSize.height()) {
        for (const int side : StandardSizes) {
            if (side != m_naturalSize.width())
                sizes.append(QSize(side, side));
        }
        std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    }
    return sizes;
}

QIconEngine* SvgIconEngine::clone() const
{
    return new SvgIconEngine(*this);
}

QString SvgIconEngine::key() const
{
    return QStringLiteral("ColloquaSvgIconEngine");
}

void SvgIconEngine::virtual_hook(int id, void* data)
{
    // QIcon::isNull() asks through this hook: a picture that cannot be drawn is a null icon.
    if (id == QIconEngine::IsNullHook) {
        *static_cast<bool*>(data) = !isValid();
        return;
    }
    QIconEngine::virtual_hook(id, data);
}

QPixmap SvgIconEngine::render(const QString& path, QSize size, qreal devicePixelRatio)
{
    SvgIconEngine engine(path, size);
    if (!engine.isValid() || size.isEmpty() || devicePixelRatio <= 0)
        return {};
    QPixmap picture = engine.pixmap(size * devicePixelRatio, QIcon::Normal, QIcon::Off);
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}
