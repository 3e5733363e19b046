#pragma once

#include <QString>
#include <QStringView>

// How escapeForTerminal writes a control character.
enum class ControlEscapes
{
    // \xhh (frame, history, config).
    Hex,
    // \t, \r and \n, the others \xHH (listen, whose line format scripts read).
    Named,
};

// Texts from the network and from files are shown with their control characters (C0, DEL,
// C1) escaped and "\" written "\\": one record stays one line and reaches the terminal inert.
QString escapeForTerminal(QStringView text, ControlEscapes style = ControlEscapes::Hex);
