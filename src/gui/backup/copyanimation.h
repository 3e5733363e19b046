#pragma once

#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class QSvgRenderer;

// A sheet of paper flying from one folder to another, drawn from the SVG frames of the
// resources, while the copy window works.
class CopyAnimation final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CopyAnimation)

public:
    static constexpr int FrameCount = 12;

    explicit CopyAnimation(QWidget* parent = nullptr);
    ~CopyAnimation() override;

    // Starts from the first frame.
    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }
    int frame() const { return m_frame; }

    QSize sizeHint() const override { return { 272, 60 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<std::unique_ptr<QSvgRenderer>> m_frames;
    QTimer m_timer;
    int m_frame = 0;
};
