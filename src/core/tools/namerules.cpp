#include "namerules.h"

bool NameRules::isForbidden(QChar c)
{
    return ForbiddenChars.contains(c);
}

QString NameRules::withoutForbidden(QString name)
{
    name.removeIf(isForbidden);
    return name;
}

QChar NameRules::typedCapital(QChar c)
{
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        return QChar(c.unicode() - u'a' + u'A');
    return c;
}

QString NameRules::typedCapitals(QString text)
{
    for (QChar& c : text)
        c = typedCapital(c);
    return text;
}
