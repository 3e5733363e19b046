#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

// Fills a panel with a flat colour of the window's own design, whatever the desktop style.
inline void PaintBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
