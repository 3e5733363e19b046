#include "notificationsound.h"

#include "settings.h"
#include "soundplayer.h"

#include <QFileInfo>

NotificationSound::NotificationSound(const Settings& settings, SoundPlayer& player)
    : m_settings(settings)
    , m_player(player)
{ }

void NotificationSound::PlayNotificationSound(int kind) const
{
    QString section;
    if (kind == MessageReceived)
        section = QStringLiteral("RECEBER");
    else if (kind == MessageSent)
        section = QStringLiteral("ENVIAR");
    else
        return;

    const QString file = m_settings.readString(section, QStringLiteral("ARQ_EMITIR_SOM"), QString(), QString());
    // The setting names the copy kept in the data directory; once that copy is deleted,
    // messages simply arrive in silence.
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return;
    m_player.play(file);
}
