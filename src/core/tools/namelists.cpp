#include "namelists.h"

#include "fileerror.h"
#include "historyfiles.h"

#include <QFile>

NameLists::NameLists(const StationHome& home)
    : m_home(home)
{ }

void NameLists::LoadUserList(QStringList& list) const
{
    loadList(userListPath(), list);
}

void NameLists::LoadChannelList(QStringList& list) const
{
    loadList(channelListPath(), list);
}

void NameLists::AddUserName(const QString& name) const
{
    HistoryFiles::AppendHistoryLine(userListPath(), name, false, true);
}

void NameLists::AddChannelName(const QString& name) const
{
    HistoryFiles::AppendHistoryLine(channelListPath(), name, false, true);
}

void NameLists::loadList(const QString& path, QStringList& list)
{
    list.clear();
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Unable to read %1: %2").arg(path, file.errorString()));
    QString line;
    while (HistoryFiles::ReadPlainLine(file, line)) {
        if (!line.isEmpty())
            list.append(line);
    }
}
