#include "soundeffectplayer.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

SoundEffectPlayer::SoundEffectPlayer() = default;

SoundEffectPlayer::~SoundEffectPlayer() = default;

void SoundEffectPlayer::play(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return;
    // Asked at each sound: headphones plugged in since the last one are used. The audio system
    // is opened on first use, so a station that never plays a sound never touches it.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;
    if (!m_effect)
        m_effect = std::make_unique<QSoundEffect>(device);
    else if (m_effect->audioDevice() != device)
        m_effect->setAudioDevice(device);
    // Dropping the old source first makes a file replaced under the same name load afresh.
    m_effect->stop();
    m_effect->setSource(QUrl());
    m_effect->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    m_effect->play();
}
