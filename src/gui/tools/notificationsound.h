#pragma once

#include <QString>

class Settings;
class SoundPlayer;

// The sounds that tell the user a message arrived or went out. Whether to sound at all is
// the caller's choice (RECEBER/ENVIAR EMITIR_SOM); this only finds and plays the file.
class NotificationSound final
{
public:
    enum Kind : int
    {
        MessageReceived = 1,
        MessageSent = 2,
    };

    NotificationSound(const Settings& settings, SoundPlayer& player);

    // Plays the file named by RECEBER (kind 1) or ENVIAR (kind 2) ARQ_EMITIR_SOM, read afresh
    // at each call. An empty setting, a file that is gone or any other kind: silence.
    void PlayNotificationSound(int kind) const;

private:
    const Settings& m_settings;
    SoundPlayer& m_player;
};
