#pragma once

#include "usertree.h"

#include <QByteArray>
#include <QString>

class Clock;
class StationHome;

// The tree file "ArvUsuarios.tv" in the data directory: one Windows-1252 line per node of the
// master tree in index order, each a TAB per level of depth, the node text (markers
// included) and CR LF. No header, no trailer; an empty tree is an empty file.
namespace UserTreeFile
{
QString path(const StationHome& home);

// The file's bytes for a tree. Texts that could not come back as written lose their leading
// blanks and TABs (they would read as depth) and their line breaks (they would split the line).
QByteArray toBytes(const UserTree& tree);

// What could be read of the file's bytes.
struct ParseResult
{
    UserTree tree;
    // The first line that could not be placed (1-based), 0 when every line was read.
    int badLine = 0;
    bool ok() const { return badLine == 0; }
};

// Lines end at CR LF, CR or LF; each leading TAB or blank is one level of depth. The first line
// is a top-level node, and a line may be at most one level deeper than the line before. A line
// deeper than that is left out (with everything below it) and the rest is kept. Entries get the
// icon of their marker, groups the closed-group icon. Never fails on any bytes.
ParseResult fromBytes(QByteArrayView bytes);

// The master tree of a logon, with everybody offline.
struct LoadResult
{
    UserTree tree;
    // Empty when the file was missing or read whole. Otherwise a message for the user: the
    // readable part was kept and the file was moved aside.
    QString error;
    // Where the malformed file was moved; empty when it was not moved.
    QString movedTo;
    bool ok() const { return error.isEmpty(); }
};

// Reads the file and marks everybody offline (UserTree::markLoaded). A missing file is an
// empty tree. A file that cannot be read, or only in part, is renamed beside itself to
// "ArvUsuarios.tv.bad-<yyyyMMdd-HHmmss>" so that the next save cannot overwrite what was
// lost, and the error says so; the logon goes on with the readable part.
LoadResult CarregarArvore(const QString& path, const Clock& clock);

// Replaces the file atomically with the tree and waits until it is on the disk. Throws FileError.
void save(const UserTree& tree, const QString& path);
// Replaces the file atomically with the tree, as save() does, without waiting for the disk: the
// file is whole at every moment and survives the end of the process, not a crash of the machine.
// Throws FileError.
void saveWithoutFlush(const UserTree& tree, const QString& path);
// Waits until the file as it is now is on the disk, its directory entry included. A missing file
// has nothing to flush. Throws FileError.
void flush(const QString& path);

// Logoff: everybody offline, the file saved, the tree emptied. The tree is emptied even when the
// save fails (the FileError is then thrown on).
void DescarregarArvore(UserTree& master, const QString& path);
} // namespace UserTreeFile
