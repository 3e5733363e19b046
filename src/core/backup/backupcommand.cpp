#include "backupcommand.h"

#include "backupnames.h"
#include "backupstore.h"
#include "clock.h"
#include "preferences.h"
#include "prompter.h"
#include "stationhome.h"

#include <QCoreApplication>

#include <optional>

namespace
{
const QString Titulo = QStringLiteral("Colloqua");

QString tr(const char* text)
{
    return QCoreApplication::translate("BackupCommand", text);
}
} // namespace

BackupCommand::BackupCommand(
    const StationHome& home, TOrbFindFile& finder, Prompter& prompter, const Clock& clock, const QLocale& locale)
    : m_home(home)
    , m_finder(finder)
    , m_prompter(prompter)
    , m_clock(clock)
    , m_locale(locale)
{ }

QString BackupCommand::askName(const QString& title)
{
    for (;;) {
        // Each round proposes the time of that round, not the refused text.
        const QString proposal = BackupNames::DefaultName(m_clock.now(), m_locale);
        const std::optional<QString> answer = m_prompter.askText(title, tr("Digite o nome para o backup"), proposal);
        if (!answer)
            return QString();
        const QString refusal = BackupNames::Refusal(*answer);
        if (refusal.isEmpty())
            return BackupNames::DirectoryName(*answer);
        m_prompter.message(Prompter::Kind::Warning, Titulo, refusal);
    }
}

BackupCommand::Outcome BackupCommand::CopiaSeguranca(const QString& title, bool ask, const Copier& copy)
{
    const QString directoryName
        = ask ? askName(title) : BackupNames::DirectoryName(BackupNames::DefaultName(m_clock.now(), m_locale));
    if (directoryName.isEmpty())
        return Outcome::Cancelled;
    const QString target = m_home.ProgramDir() + directoryName;
    const QString dataDir = m_home.dataDir();
    switch (BackupStore::PrepareTarget(m_finder, dataDir, target)) {
    case BackupStore::TargetState::NothingToBackUp:
        return Outcome::NothingToBackUp;
    case BackupStore::TargetState::CannotCreate:
        m_prompter.message(
            Prompter::Kind::Warning, Titulo, tr("Não foi possível criar o diretório para cópia de segurança."));
        return Outcome::CannotCreate;
    case BackupStore::TargetState::Exists:
        if (!m_prompter.confirm(Prompter::Kind::Confirmation, Titulo,
                tr("O nome da cópia de segurança já existe. \rConfirma a atualização da mesma?")))
            return Outcome::NotUpdated;
        break;
    case BackupStore::TargetState::Created:
        break;
    }
    return copy(dataDir, target, TituloCopia(ask)) ? Outcome::Copied : Outcome::CopyFailed;
}

BackupCommand::RunCount BackupCommand::ContarExecucao(Settings& settings)
{
    RunCount run;
    Preferences preferences(settings);
    run.count = NextRunCount(preferences.runCount());
    preferences.setRunCount(run.count);
    const bool enabled = preferences.autoBackup();
    if (enabled) {
        const int period = preferences.autoBackupEvery();
        run.backupDue = AutomaticBackupDue(run.count, enabled, period);
        run.askName = preferences.autoBackupAsksName();
    }
    return run;
}

int BackupCommand::NextRunCount(int count)
{
    return count < MaxRunCount ? count + 1 : 1;
}

bool BackupCommand::AutomaticBackupDue(int count, bool enabled, int period)
{
    // A period of 0 or less divides nothing: no automatic backup.
    return enabled && period > 0 && count % period == 0;
}

QString BackupCommand::TituloBackup()
{
    return tr("Backup");
}

QString BackupCommand::TituloBackupAutomatico()
{
    return tr("Backup automático");
}

QString BackupCommand::TituloCopia(bool askedName)
{
    return askedName ? tr("Cópia de segurança...") : tr("Cópia de segurança automática...");
}
