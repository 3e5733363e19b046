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

QString NameRules::withoutUnstorable(QString name)
{
    name.removeIf([](QChar c) { return isForbidden(c) || c.category() == QChar::Other_Control; });
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
