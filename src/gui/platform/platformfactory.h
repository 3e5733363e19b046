#pragma once

#include <memory>

class DocumentOpener;
class ScreenSaverWatch;
class SoundPlayer;
class TrayHost;

// The one place that picks the desktop implementations of the platform seams.
namespace Platform
{
std::unique_ptr<TrayHost> createTrayHost();
std::unique_ptr<SoundPlayer> createSoundPlayer();
std::unique_ptr<DocumentOpener> createDocumentOpener();
std::unique_ptr<ScreenSaverWatch> createScreenSaverWatch();
} // namespace Platform
