#pragma once

#include <QString>
#include <QStringList>

// Every file and directory under `dir`, one line each: the relative path, the kind, the
// modification time in milliseconds and, for files, a digest of the bytes. Two snapshots
// compare equal when nothing under `dir` was created, removed, written or touched.
QStringList fileSnapshot(const QString& dir);
