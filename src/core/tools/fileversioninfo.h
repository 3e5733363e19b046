#pragma once

#include <QString>
#include <QStringList>

// The version information of an executable on disk, as the credits window shows it.
// A string is looked up in the string table named after the file's first translation,
// "0" + language + "0" + code page in lower-case hexadecimal without leading zeros: a
// language of four significant digits names a table no file has, and finds nothing.

// The FileVersion string; false when the file has none or it is empty.
bool MyFileVerInfo(const QString& fileName, QString& version);

// Appends "label: value" for each string found, then the attributes, platform and file type
// from the fixed part. False when nothing was appended (no block, or no translation).
bool MyFileVersionAtributes(const QString& fileName, QStringList& lines);
