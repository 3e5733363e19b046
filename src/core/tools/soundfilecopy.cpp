#include "soundfilecopy.h"

#include "profilefile.h"
#include "savefilecommit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

std::optional<QString> CopySoundFile(const StationHome& home, const QString& source)
{
    const QFileInfo from(source);
    if (!from.isFile() || !from.fileName().endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive))
        return std::nullopt;
    if (!QFileInfo(home.dataDir()).isDir())
        return std::nullopt;
    const QString destination = home.dataFile(from.fileName());
    if (!ProfileFile::canStore(destination))
        return std::nullopt;

    // Overwriting a file with itself would first empty it.
    const QFileInfo to(destination);
    if (to.exists() && to.canonicalFilePath() == from.canonicalFilePath())
        return destination;

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return std::nullopt;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 read = in.read(buffer, sizeof buffer);
        if (read < 0)
            return std::nullopt;
        if (read == 0)
            break;
        if (out.write(buffer, read) != read)
            return std::nullopt;
    }
    if (!CommitWhole(out))
        return std::nullopt;
    return destination;
}
