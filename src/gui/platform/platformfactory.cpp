#include "platformfactory.h"

#include "documentopener.h"
#include "screensaverwatch.h"
#include "soundeffectplayer.h"
#include "systemtrayhost.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace
{
class DesktopDocumentOpener final : public DocumentOpener
{
public:
    bool open(const QString& pathOrUrl) override
    {
        const QUrl url
            = QFileInfo(pathOrUrl).isAbsolute() ? QUrl::fromLocalFile(pathOrUrl) : QUrl::fromUserInput(pathOrUrl);
        return QDesktopServices::openUrl(url);
    }
};
} // namespace

std::unique_ptr<TrayHost> Platform::createTrayHost()
{
    return std::make_unique<SystemTrayHost>();
}

std::unique_ptr<SoundPlayer> Platform::createSoundPlayer()
{
    return std::make_unique<SoundEffectPlayer>();
}

std::unique_ptr<DocumentOpener> Platform::createDocumentOpener()
{
    return std::make_unique<DesktopDocumentOpener>();
}

std::unique_ptr<ScreenSaverWatch> Platform::createScreenSaverWatch()
{
    return std::make_unique<DBusScreenSaverWatch>();
}
