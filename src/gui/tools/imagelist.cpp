#include "imagelist.h"

#include "svgiconengine.h"

#include <QGuiApplication>

ImageList::ImageList(QSize size, const QStringList& paths)
    : m_size(size)
    , m_paths(paths)
{
    m_icons.reserve(paths.size());
    for (const QString& path : paths)
        m_icons.append(QIcon(new SvgIconEngine(path, size)));
}

QString ImageList::path(int index) const
{
    return contains(index) ? m_paths.at(index) : QString();
}

QIcon ImageList::icon(int index) const
{
    return contains(index) ? m_icons.at(index) : QIcon();
}

QPixmap ImageList::pixmap(int index) const
{
    return pixmap(index, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

QPixmap ImageList::pixmap(int index, qreal devicePixelRatio) const
{
    return contains(index) ? SvgIconEngine::render(m_paths.at(index), m_size, devicePixelRatio) : QPixmap();
}
