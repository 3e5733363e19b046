#include "saveleftovers.h"

#include "profilefile.h"
#include "stationhome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace SaveLeftovers
{
namespace
{
// The files of the data directory that are replaced whole: the tree through QSaveFile, the
// histories through swap.dbt. A save file beside any of them is a leftover.
const QStringList DataTargets
    = { QStringLiteral("ArvUsuarios.tv"), QStringLiteral("hist_recv.dbt"), QStringLiteral("hist_send.dbt") };
const QString WorkFile = QStringLiteral("swap.dbt");
constexpr qsizetype RandomLetters = 6;

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// All small, all capitals, or one capital and then small letters.
bool readsLikeAWord(const QString& letters)
{
    const QString rest = letters.mid(1);
    return letters == letters.toLower() || letters == letters.toUpper()
        || (letters.front().isUpper() && rest == rest.toLower());
}
} // namespace

bool IsSaveFileOf(const QString& fileName, const QString& targetName)
{
    if (fileName.size() != targetName.size() + 1 + RandomLetters || !fileName.startsWith(targetName)
        || fileName.at(targetName.size()) != u'.')
        return false;
    const QString letters = fileName.mid(targetName.size() + 1);
    return std::all_of(letters.begin(), letters.end(), isAsciiLetter) && !readsLikeAWord(letters);
}

bool IsDataLeftover(const QString& fileName)
{
    return fileName == WorkFile || std::any_of(DataTargets.cbegin(), DataTargets.cend(), [&](const QString& target) {
        return IsSaveFileOf(fileName, target);
    });
}

QStringList RemoveAll(const StationHome& home)
{
    QStringList removed = ProfileFile(home.settingsPath()).removeSaveLeftovers();
    const QDir data(home.dataDir());
    const QFileInfoList files = data.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& file : files) {
        // A link is no save of ours, whatever it points to.
        if (file.isSymLink() || !IsDataLeftover(file.fileName()))
            continue;
        if (QFile::remove(file.filePath()))
            removed.append(file.filePath());
    }
    return removed;
}
} // namespace SaveLeftovers
