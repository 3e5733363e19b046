#include "copyanimation.h"

#include <QPainter>
#include <QSvgRenderer>

CopyAnimation::CopyAnimation(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(272, 60);
    for (int i = 0; i < FrameCount; ++i)
        m_frames.push_back(std::make_unique<QSvgRenderer>(
            QStringLiteral(":/colloqua/copy/frame-%1.svg").arg(i, 2, 10, QLatin1Char('0'))));
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % FrameCount;
        update();
    });
}

CopyAnimation::~CopyAnimation() = default;

void CopyAnimation::start()
{
    m_frame = 0;
    m_timer.start();
    update();
}

void CopyAnimation::stop()
{
    m_timer.stop();
}

void CopyAnimation::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QSvgRenderer& renderer = *m_frames.at(size_t(m_frame));
    if (!renderer.isValid())
        return;
    QPainter painter(this);
    renderer.render(&painter, QRectF(rect()));
}
