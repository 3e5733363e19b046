#include "filesnapshot.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

QStringList fileSnapshot(const QString& dir)
{
    QStringList lines;
    const QDir base(dir);
    QDirIterator it(
        dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString line = base.relativeFilePath(info.filePath()) + QLatin1Char('|')
            + (info.isDir() ? QStringLiteral("dir") : QStringLiteral("file")) + QLatin1Char('|')
            + QString::number(info.lastModified().toMSecsSinceEpoch());
        if (info.isFile()) {
            QFile file(info.filePath());
            if (file.open(QIODevice::ReadOnly))
                line += QLatin1Char('|')
                    + QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
        }
        lines.append(line);
    }
    lines.sort();
    return lines;
}
