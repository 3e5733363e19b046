#pragma once

#include <QPoint>
#include <QSize>

class Settings;

// Where the communicator, the send window and the history window were left: top, left,
// width and height in section POSICAO (WNDCOM_, WNDSEND_, WNDHIST_). Each window writes its
// own when it closes; the communicator applies all three once at the start of the session.
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

    // The stored place, key by key the default of the window where a key is missing, and 0
    // for every key when colloqua.ini does not exist.
    static WindowPlacement read(const Settings& settings, Window window);
    // Writes the four keys in the order top, left, width, height. Throws FileError as
    // Settings::WriteSetting does.
    void write(Settings& settings, Window window) const;

    // The frame's top-left corner (QWidget::pos) and the size inside the frame.
    static WindowPlacement of(QPoint position, QSize size);
    QPoint position() const { return { left, top }; }
    QSize size() const { return { width, height }; }
};
