#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QSize>
#include <QStringList>

// A fixed set of same-sized pictures that windows reach by index. An index outside the set
// (a frame carrying an unknown face digit, say) gives an empty picture, never a crash.
class ImageList final
{
public:
    ImageList(QSize size, const QStringList& paths);

    int count() const { return int(m_icons.size()); }
    // The size the pictures are drawn for, in device-independent pixels.
    QSize size() const { return m_size; }

    // The SVG file of picture `index`; empty outside the set.
    QString path(int index) const;
    // Scalable icon of picture `index`, for menus, trees and the tray; null outside the set.
    QIcon icon(int index) const;
    // Picture `index` at size(), sharp for the application's device pixel ratio; null outside
    // the set.
    QPixmap pixmap(int index) const;
    QPixmap pixmap(int index, qreal devicePixelRatio) const;

private:
    bool contains(int index) const { return index >= 0 && index < count(); }

    QSize m_size;
    QStringList m_paths;
    QList<QIcon> m_icons;
};
