#pragma once

#include <QString>

// The station's home: the directory that holds colloqua.ini, the data directory, Plug-Ins and
// the backups (the program directory of stations on Windows). Several stations can share a
// machine, each with its own home.
class StationHome
{
public:
    // `dir` may be relative; it is made absolute. An empty `dir` means defaultDir().
    explicit StationHome(const QString& dir = {});

    // $XDG_DATA_HOME/colloqua/, or ~/.local/share/colloqua/ when the variable is unset.
    static QString defaultDir();

    // The home with exactly one trailing "/".
    const QString& ProgramDir() const { return m_programDir; }

    QString settingsPath() const { return m_programDir + QStringLiteral("colloqua.ini"); }

    // The one data directory, without a trailing "/": an existing "Dados" or "dados" (any
    // letter case) under the home, else the name it is created with, ProgramDir + "Dados".
    QString dataDir() const;
    // dataDir() + "/" + name.
    QString dataFile(const QString& name) const;
    // Creates the data directory as "Dados" unless one exists (in any letter case).
    bool ensureDataDir() const;

private:
    QString m_programDir;
};
