#include "stationhome.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{
const QString DataDirName = QStringLiteral("Dados");
}

StationHome::StationHome(const QString& dir)
{
    QString path = QDir::cleanPath(QDir(dir.isEmpty() ? defaultDir() : dir).absolutePath());
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    m_programDir = path == QLatin1String("/") ? path : path + QLatin1Char('/');
}

QString StationHome::defaultDir()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/colloqua/");
}

QString StationHome::dataDir() const
{
    const QString preferred = m_programDir + DataDirName;
    if (QFileInfo(preferred).isDir())
        return preferred;
    // The data directory was "dados" on case-insensitive file systems: accept any case.
    const QStringList entries = QDir(m_programDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : entries) {
        if (name.compare(DataDirName, Qt::CaseInsensitive) == 0)
            return m_programDir + name;
    }
    return preferred;
}

QString StationHome::dataFile(const QString& name) const
{
    return dataDir() + QLatin1Char('/') + name;
}

bool StationHome::ensureDataDir() const
{
    const QString dir = dataDir();
    return QFileInfo(dir).isDir() || QDir().mkpath(dir);
}
