#pragma once

#include <QIconEngine>
#include <QSize>
#include <QString>

#include <memory>

class QSvgRenderer;

// An icon drawn from one SVG file at whatever size and pixel ratio is asked for, so the
// pictures stay sharp on hi-DPI screens and in trays that want 22 or 24 pixels.
class SvgIconEngine final : public QIconEngine
{
public:
    // `naturalSize` is the size the picture was drawn for (16x16 for a status dot).
    SvgIconEngine(const QString& path, QSize naturalSize);
    ~SvgIconEngine() override;

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    void virtual_hook(int id, void* data) override;

    // The picture at `size` device-independent pixels, drawn with `devicePixelRatio` device
    // pixels per pixel; a null pixmap when the file is missing or not a valid SVG.
    static QPixmap render(const QString& path, QSize size, qreal devicePixelRatio);

private:
    SvgIconEngine(const SvgIconEngine& other) = default;

    bool isValid() const;
    QImage renderImage(QSize pixels, QIcon::Mode mode) const;

    QString m_path;
    QSize m_naturalSize;
    // One parsed document shared by the clones QIcon makes on detach.
    std::shared_ptr<QSvgRenderer> m_renderer;
};
