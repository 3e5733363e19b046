#pragma once

#include "soundplayer.h"

#include <memory>

class QSoundEffect;

// Plays wave files through the desktop's default audio output. Loading and playing happen in
// the background; with no audio device, a missing file or one that is not a wave file, nothing
// is heard and nothing is reported.
class SoundEffectPlayer final : public SoundPlayer
{
public:
    SoundEffectPlayer();
    ~SoundEffectPlayer() override;
    SoundEffectPlayer(const SoundEffectPlayer&) = delete;
    SoundEffectPlayer& operator=(const SoundEffectPlayer&) = delete;

    void play(const QString& path) override;

    // Whether `path` is a PCM wave file whose chunks up to the sound data are all there.
    // QSoundEffect waits forever for the missing bytes of a cut or empty file, and then hangs
    // the program when the sound is changed or the player destroyed; such files never reach it.
    static bool isCompleteWaveFile(const QString& path);

private:
    std::unique_ptr<QSoundEffect> m_effect;
};
