#pragma once

#include <QString>
#include <QStringList>

class StationHome;

// What a save cut off by a crash or a kill leaves behind, and its removal at start.
//
// QSaveFile writes beside its target, under the target's name, "." and six random letters,
// and renames that file over the target; a process stopped in between leaves it. The trims
// of the histories leave their work file "swap.dbt". Only these names of our own files are
// ever taken for leftovers: the tree, colloqua.ini and the two histories.
namespace SaveLeftovers
{
// `fileName` (a bare name) is a save file of `targetName`. Six letters that read like a word
// ("backup", "Antigo", "TESTE") make a copy the user named, not a save file: the random
// letters of a save file read like that about one time in twenty, and then it stays.
bool IsSaveFileOf(const QString& fileName, const QString& targetName);
// A leftover in the data directory: a save file of the tree or of a history, or swap.dbt.
// Backups and restores leave these out.
bool IsDataLeftover(const QString& fileName);

// Removes the leftovers of the data directory and the save files of colloqua.ini (the latter
// under the settings lock, so that a write of colloqua-cli in progress keeps its own). For the
// start of a run, while this program holds the home and before it saves anything: no trim can
// be using swap.dbt then. The paths removed; a file that cannot be removed stays.
QStringList RemoveAll(const StationHome& home);
} // namespace SaveLeftovers
