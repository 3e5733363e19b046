#pragma once

#include <QString>

// Plays a sound file in the background. play() returns at once, without waiting for the
// sound to end, and a file that cannot be played is silence, never an error.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;

    virtual void play(const QString& path) = 0;

protected:
    SoundPlayer() = default;
    SoundPlayer(const SoundPlayer&) = default;
    SoundPlayer& operator=(const SoundPlayer&) = default;
};

// The quiet default, for tests and for stations without sound.
class SilentSoundPlayer final : public SoundPlayer
{
public:
    void play(const QString& path) override { Q_UNUSED(path); }
};
