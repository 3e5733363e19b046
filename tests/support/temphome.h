#pragma once

#include "stationhome.h"

#include <QByteArray>
#include <QTemporaryDir>

// A station home in a fresh temporary directory, removed with the object.
class TempHome
{
public:
    TempHome();

    const StationHome& home() const { return m_home; }
    QString path() const { return m_dir.path(); }
    // ProgramDir() + relative.
    QString file(const QString& relative) const { return m_home.ProgramDir() + relative; }

    // Writes raw bytes (creating parent directories) and reads them back.
    void write(const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& relative) const;

private:
    QTemporaryDir m_dir;
    StationHome m_home;
};
