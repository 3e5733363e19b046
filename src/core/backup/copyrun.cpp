#include "copyrun.h"

#include "saveleftovers.h"
#include "torbfindfile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// The copy is written under this name beside its target, then renamed over it.
const QString TemporaryPrefix = QStringLiteral(".colloqua-copy-");
} // namespace

QStringList CopyRun::FilesToCopy(TOrbFindFile& finder, const QString& source)
{
    finder.setDiretorio(source);
    finder.setFiltros(QStringLiteral("*.*"));
    finder.setRecurse(false);
    finder.setAtributos(TOrbFindFile::DefaultAtributos);
    finder.Execute();
    const QStringList& names = finder.InfoName_Files();
    const QStringList& attributes = finder.InfoAttr_Files();
    QStringList files;
    for (qsizetype i = 0; i < names.size(); ++i) {
        // Reading a fifo would block the copy; sockets and devices make no sense in a backup.
        if ((attributes.at(i).toInt() & TOrbFindFile::ffArchive) == 0)
            continue;
        // A copy or a save cut off by a crash leaves its temporary file; it is no data to back
        // up or restore.
        const QString name = QFileInfo(names.at(i)).fileName();
        if (name.startsWith(TemporaryPrefix) || SaveLeftovers::IsDataLeftover(name))
            continue;
        files.append(names.at(i));
    }
    return files;
}

void CopyRun::Start(TOrbFindFile& finder, const QString& source, const QString& target)
{
    m_target = target;
    m_files = FilesToCopy(finder, source);
    m_next = int(m_files.size()) - 1;
}

QString CopyRun::nextName() const
{
    return atEnd() ? QString() : QFileInfo(m_files.at(m_next)).fileName();
}

bool CopyRun::CopyNext()
{
    if (atEnd())
        return false;
    if (!CopyFileReplacing(m_files.at(m_next), m_target + QLatin1Char('/') + nextName()))
        return false;
    --m_next;
    return true;
}

bool CopyRun::CopyAll()
{
    while (!atEnd()) {
        if (!CopyNext())
            return false;
    }
    return true;
}

bool CopyRun::CopyFileReplacing(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QFileInfo targetInfo(target);
    QTemporaryFile out(targetInfo.absolutePath() + QLatin1Char('/') + TemporaryPrefix + QStringLiteral("XXXXXX"));
    if (!out.open())
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 read = in.read(buffer, sizeof buffer);
        if (read < 0)
            return false;
        if (read == 0)
            break;
        if (out.write(buffer, read) != read)
            return false;
    }
    // Mode and modification time of the source, as a copy of the file keeps them; the data is
    // on the disk before the name points at it.
    struct stat original = {};
    if (::fstat(in.handle(), &original) != 0 || ::fchmod(out.handle(), original.st_mode & 07777) != 0)
        return false;
    const struct timespec times[2] = { original.st_atim, original.st_mtim };
    if (!out.flush() || ::futimens(out.handle(), times) != 0 || ::fsync(out.handle()) != 0)
        return false;
    // rename(2) replaces the target in one step, whatever its permissions.
    if (std::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return false;
    out.setAutoRemove(false);
    return true;
}
