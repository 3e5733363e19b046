#pragma once

#include "stationhome.h"

#include <QString>
#include <QStringList>

// Every user name and channel name ever used or entered on this station, one per line in
// the data directory, in the order of first addition, each at most once.
class NameLists final
{
public:
    explicit NameLists(const StationHome& home);

    QString userListPath() const { return m_home.dataFile(QStringLiteral("usuarios.dbt")); }
    QString channelListPath() const { return m_home.dataFile(QStringLiteral("canais.dbt")); }

    // Clears `list`, then adds every non-empty line of the file as it is (no trimming); a
    // missing file gives an empty list. Throws FileError when the file cannot be read.
    void LoadUserList(QStringList& list) const;
    void LoadChannelList(QStringList& list) const;

    // Appends `name` unless a line equals it exactly (letter case counts); creates the file
    // when missing. Throws FileError when the file cannot be written.
    void AddUserName(const QString& name) const;
    void AddChannelName(const QString& name) const;

private:
    static void loadList(const QString& path, QStringList& list);

    StationHome m_home;
};
