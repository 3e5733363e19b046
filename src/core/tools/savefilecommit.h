#pragma once

#include <QSaveFile>

// Puts a QSaveFile's content in place of the target. commit() alone takes a failed flush of the
// buffered bytes for success and renames what reached the disk over the target (an empty file
// on a full disk), so the flush is checked first.
inline bool CommitWhole(QSaveFile& file)
{
    return file.flush() && file.commit();
}
