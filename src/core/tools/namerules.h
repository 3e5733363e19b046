#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// How typed user and channel names are written: the frames ("M[FROM|TO|...]") and the tree
// entries ("'NAME (computer)") use these characters as delimiters and markers, so a name
// never holds them; and names are written in capitals as they are typed.
namespace NameRules
{
inline constexpr QStringView ForbiddenChars = u".'()[]|";

bool isForbidden(QChar c);
// `name` without the forbidden characters.
QString withoutForbidden(QString name);
// A name given whole (pasted, or typed into a prompt) as it can be stored: without the forbidden
// characters and without control characters (a TAB, a line break), which no frame, tree entry or
// tree file (TAB-separated) can carry either.
QString withoutUnstorable(QString name);

// A typed letter a to z as its capital; every other character as typed (accented letters
// included: only what the keyboard gives plainly is changed).
QChar typedCapital(QChar c);
QString typedCapitals(QString text);
} // namespace NameRules
