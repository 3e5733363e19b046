#pragma once

#include "tdados.h"

#include <QString>
#include <QStringView>
#include <QTextStream>

// Output shared by `frame` and `history`. Texts come from the network, so control characters
// are shown as \xHH (and "\" as "\\"): one record stays one line and reaches the terminal inert.
QString escapeForTerminal(QStringView text);

// "yyyy-MM-dd HH:mm:ss", or "0" for no time.
QString frameTimeText(const QDateTime& time);

// The nine fields of `frame` in their order, one "Field=value" line each.
void printFrameFields(QTextStream& out, const TDados& frame);

// The description of printFrameFields' output, for the usage texts.
QString frameFieldsHelp();
