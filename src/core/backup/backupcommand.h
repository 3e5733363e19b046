#pragma once

#include <QLocale>
#include <QString>

#include <functional>

class Clock;
class Prompter;
class Settings;
class StationHome;
class TOrbFindFile;

// The communicator's backup command (CopiaSeguranca) and the run counter with its automatic
// backup (ContarExecucao). The copying itself is handed to the copy window.
class BackupCommand
{
public:
    // Copies every file of `source` into `target` under the window title `title`; true when
    // all of them were copied.
    using Copier = std::function<bool(const QString& source, const QString& target, const QString& title)>;

    enum class Outcome
    {
        Copied,
        CopyFailed,
        Cancelled, // the name prompt was cancelled
        NothingToBackUp, // no data directory, or no file in it
        CannotCreate, // the target directory could not be made (the user was told)
        NotUpdated, // the user chose not to update an existing backup
    };

    // What ContarExecucao found.
    struct RunCount
    {
        int count = 0; // the counter as written
        bool backupDue = false;
        bool askName = false; // AUTO_BACKUP_TROCA
    };

    static constexpr int MaxRunCount = 2100100101;

    BackupCommand(const StationHome& home, TOrbFindFile& finder, Prompter& prompter, const Clock& clock,
        const QLocale& locale = QLocale::system());

    // Makes one backup of the data directory. With `ask`, the name is asked for under `title`
    // until one is acceptable (each time with a fresh default name); otherwise the default
    // name is used. An existing backup of that name is updated only when the user agrees.
    Outcome CopiaSeguranca(const QString& title, bool ask, const Copier& copy);

    // Counts this run in BACKUP/NUM_EXECUCOES (throws FileError when it cannot be written) and
    // tells whether the automatic backup is due: AUTO_BACKUP on and the count a multiple of a
    // positive AUTO_BACKUP_CADA.
    static RunCount ContarExecucao(Settings& settings);
    // The count after `count`: one more, or 1 after MaxRunCount.
    static int NextRunCount(int count);
    static bool AutomaticBackupDue(int count, bool enabled, int period);

    // Titles and texts of the command.
    static QString TituloBackup();
    static QString TituloBackupAutomatico();
    static QString TituloCopia(bool askedName);

private:
    QString askName(const QString& title);

    const StationHome& m_home;
    TOrbFindFile& m_finder;
    Prompter& m_prompter;
    const Clock& m_clock;
    QLocale m_locale;
};
