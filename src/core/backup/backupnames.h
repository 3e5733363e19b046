#pragma once

#include <QString>

class QDateTime;
class QLocale;

// How backups are named: a directory "Bk " + name directly in the station home.
namespace BackupNames
{
inline constexpr char16_t Prefix[] = u"Bk ";

// The current date and time as the locale writes them (short date, a blank, long time), with
// "/" and "." turned into "-" and ":" into "~", so that it can name a directory that the
// restore dialog lists (de_DE writes "07.12.26", fi_FI "14.30.05").
QString DefaultName(const QDateTime& now, const QLocale& locale);

// The nine characters a name may not hold, in the order the warning shows them.
QString ForbiddenCharacters();
// A name that stays a single entry of the station home and is listed as a backup: none of
// the nine characters (which include both path separators) and no "." (a name with one has
// an extension, and the restore dialog leaves such entries out).
bool IsValidName(const QString& name);
// The warning shown for a name IsValidName refuses: the one for the nine characters, or the
// one naming the ".", empty for a valid name.
QString Refusal(const QString& name);
// The warning for the nine characters.
QString InvalidNameWarning();

// "Bk " + name.
QString DirectoryName(const QString& name);
// The restore dialog's test of an entry of the station home: "Bk " somewhere in the name,
// letter case respected, and no extension.
bool IsBackupEntry(const QString& entryName);
} // namespace BackupNames
