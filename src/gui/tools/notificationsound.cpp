#include "notificationsound.h"

#include "preferences.h"
#include "soundplayer.h"

#include <QFileInfo>

NotificationSound::NotificationSound(const Settings& settings, SoundPlayer& player)
    : m_settings(settings)
    , m_player(player)
{ }

void NotificationSound::PlayNotificationSound(int kind) const
{
    const Preferences preferences(m_settings);
    QString file;
    if (kind == MessageReceived)
        file = preferences.receiveSoundFile();
    else if (kind == MessageSent)
        file = preferences.sendSoundFile();
    else
        return;

    // The setting names the copy kept in the data directory; once that copy is deleted,
    // messages simply arrive in silence.
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return;
    m_player.play(file);
}
