#pragma once

#include <QString>
#include <QStringList>

class TOrbFindFile;

// One run of the copy window: the files lying directly in a source directory, copied one at a
// time into a target directory, from the last listed to the first. Backups, restores and the
// command line all copy through it.
class CopyRun
{
public:
    // The regular files lying directly in `source`, hidden and read-only ones too, as full
    // paths in the order of the file search; subdirectories, fifos, sockets and devices are
    // left out, and so are the temporary files of copies a crash cut off.
    static QStringList FilesToCopy(TOrbFindFile& finder, const QString& source);

    // Lists the files of `source` with FilesToCopy. Both directories are given without a
    // trailing separator.
    void Start(TOrbFindFile& finder, const QString& source, const QString& target);

    const QStringList& files() const { return m_files; }
    int count() const { return int(m_files.size()); }
    // Counts down from count() - 1; below 0 when every file is copied.
    int nextIndex() const { return m_next; }
    bool atEnd() const { return m_next < 0; }
    // The bare name of the file CopyNext copies.
    QString nextName() const;
    // Copies the file at nextIndex() over a file of that name in the target directory, then
    // moves on. False, staying on that file, when the copy failed.
    bool CopyNext();
    // The progress after the last copy: 0 for the first file copied, count() - 1 for the last.
    int position() const { return (count() - 1) - (m_next + 1); }

    // Copies every file in order, stopping at the first failure; true when all were copied.
    bool CopyAll();

    // Copies `source` to `target`, replacing it: the new content and the source's permissions
    // and modification time go to a temporary file beside the target, which is then renamed
    // over it, so a failed copy leaves the old file whole. A read-only target is replaced too.
    static bool CopyFileReplacing(const QString& source, const QString& target);

private:
    QString m_target;
    QStringList m_files;
    int m_next = -1;
};
