#pragma once

#include "namelists.h"
#include "settings.h"
#include "stationhome.h"

#include <functional>

// The checks made before a run starts: the directories of the home and the base files,
// created when missing. A step that cannot do its work fails instead of throwing, so every
// step runs and each result can be shown.
class StartupChecks final
{
    Q_DISABLE_COPY_MOVE(StartupChecks)

public:
    static constexpr int StepCount = 3;

    // Writes the complete factory settings file; false when it could not.
    using FactoryWriter = std::function<bool()>;

    // `settings` must outlive this object. Without a writer, SettingKeys writes the factory
    // file into `settings`.
    StartupChecks(const StationHome& home, Settings& settings, FactoryWriter writeFactorySettings = {});

    // Runs step 0, 1 or 2; true when it passed. Any other number fails. Step 2 removes what
    // interrupted saves left (SaveLeftovers) and always passes.
    bool runStep(int step);

    // The home itself (a new home may not exist yet), then "Dados" (any letter case) and
    // "Plug-Ins", one level each. Passes when all exist as directories at the end.
    bool VerificarDiretorios() const;
    // A missing colloqua.ini gets the factory settings; a missing channel list gets
    // "NETWORK". Existing files are never touched. Passes when both exist at the end.
    bool VerificarConfiguracoes();

private:
    StationHome m_home;
    Settings& m_settings;
    FactoryWriter m_writeFactorySettings;
    NameLists m_names;
};
