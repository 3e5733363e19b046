#include "windowplacement.h"

WindowPlacement WindowPlacement::of(QPoint position, QSize size)
{
    return { position.y(), position.x(), size.width(), size.height() };
}
