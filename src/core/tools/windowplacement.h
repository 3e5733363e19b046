#pragma once

#include <QPoint>
#include <QSize>

// Where the communicator, the send window and the history window were left: top, left,
// width and height in section POSICAO (WNDCOM_, WNDSEND_, WNDHIST_), read and written by
// Preferences. Each window writes its own when it closes; the communicator applies all three
// once at the start of the session.
struct WindowPlacement
{
    enum class Window
    {
        Communicator,
        Send,
        History,
    };

    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;

    // The frame's top-left corner (QWidget::pos) and the size inside the frame.
    static WindowPlacement of(QPoint position, QSize size);
    QPoint position() const { return { left, top }; }
    QSize size() const { return { width, height }; }
};
