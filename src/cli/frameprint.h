#pragma once

#include "tdados.h"
#include "terminaltext.h"

#include <QString>
#include <QTextStream>

// Output shared by `frame` and `history`.

// "yyyy-MM-dd HH:mm:ss", or "0" for no time.
QString frameTimeText(const QDateTime& time);

// The nine fields of `frame` in their order, one "Field=value" line each.
void printFrameFields(QTextStream& out, const TDados& frame);

// The description of printFrameFields' output, for the usage texts.
QString frameFieldsHelp();
