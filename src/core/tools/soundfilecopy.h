#pragma once

#include "stationhome.h"

#include <QString>

#include <optional>

// Copies a chosen wave file into the data directory under its own file name, so the sound
// travels with backups. Returns the copy's full path, which is what the sound keys store.
//
// Nothing: the source is not an existing regular file, its name does not end in ".wav" (a
// data file of the same name would otherwise be overwritten), the data directory is missing,
// the copy's path cannot be stored in colloqua.ini, or the copy failed. A copy that fails
// leaves an older file of that name as it was. Choosing the copy itself again succeeds
// without touching it.
std::optional<QString> CopySoundFile(const StationHome& home, const QString& source);
