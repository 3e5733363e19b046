#include "soundeffectplayer.h"

#include <QAudioDevice>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace
{
quint16 littleEndian16(const QByteArray& bytes, int at)
{
    return quint16(quint8(bytes.at(at)) | quint8(bytes.at(at + 1)) << 8);
}

quint32 littleEndian32(const QByteArray& bytes, int at)
{
    return quint32(littleEndian16(bytes, at)) | quint32(littleEndian16(bytes, at + 2)) << 16;
}

bool isPlayablePcmFormat(const QByteArray& body)
{
    if (body.size() < 16)
        return false;
    const quint16 format = littleEndian16(body, 0);
    const quint16 channels = littleEndian16(body, 2);
    const quint32 sampleRate = littleEndian32(body, 4);
    const quint16 bits = littleEndian16(body, 14);
    return format == 1 && channels > 0 && sampleRate > 0 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}
} // namespace

SoundEffectPlayer::SoundEffectPlayer() = default;

SoundEffectPlayer::~SoundEffectPlayer() = default;

void SoundEffectPlayer::play(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile() || !isCompleteWaveFile(path))
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

bool SoundEffectPlayer::isCompleteWaveFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 fileSize = file.size();
    const QByteArray header = file.read(12);
    if (header.size() < 12 || !header.startsWith("RIFF") || header.mid(8, 4) != "WAVE")
        return false;

    // Only the chunk headers and the format are read; the sound data is skipped over.
    bool formatSeen = false;
    qint64 at = 12;
    while (at + 8 <= fileSize) {
        if (!file.seek(at))
            return false;
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return false;
        const QByteArray id = chunk.left(4);
        const qint64 size = littleEndian32(chunk, 4);
        const qint64 end = at + 8 + size;
        if (end > fileSize)
            return false;
        if (id == "data")
            return formatSeen && size > 0;
        // Readers differ on the pad byte after an odd-sized chunk; a file that depends on it
        // might be walked wrongly and wait for bytes that never come.
        if (size % 2 != 0)
            return false;
        if (id == "fmt ") {
            if (size > 1024 || !isPlayablePcmFormat(file.read(size)))
                return false;
            formatSeen = true;
        }
        at = end;
    }
    return false;
}
