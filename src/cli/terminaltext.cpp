#include "terminaltext.h"

QString escapeForTerminal(QStringView text, ControlEscapes style)
{
    const bool named = style == ControlEscapes::Named;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            out += QStringLiteral("\\\\");
        else if (named && u == u'\t')
            out += QStringLiteral("\\t");
        else if (named && u == u'\r')
            out += QStringLiteral("\\r");
        else if (named && u == u'\n')
            out += QStringLiteral("\\n");
        else if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0)) {
            const QString hex = QStringLiteral("%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
            out += QStringLiteral("\\x") + (named ? hex.toUpper() : hex);
        } else
            out += c;
    }
    return out;
}
