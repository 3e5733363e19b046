#pragma once

#include "documentopener.h"
#include "mailslotbackend.h"
#include "soundplayer.h"
#include "trayhost.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <utility>

class Clock;
class Prompter;
class Station;
class UdpMailslotBackend;

class RecordingSoundPlayer final : public SoundPlayer
{
public:
    void play(const QString& path) override { m_played.append(path); }
    const QStringList& played() const { return m_played; }

private:
    QStringList m_played;
};

// Builds a Station of the test process over a home its caller owns, with the seams a test or a
// benchmark holds: an install directory of its own, a tray without a desktop, sound and documents
// recorded rather than played and opened, prompts to the caller's prompter, and the network the
// caller gives (the program's UDP backend, reading REDE, when none). It keeps the station it
// built, which goes before everything it was given.
class StationBuilder
{
public:
    // `home` must outlive the station; `prompter` is not owned.
    StationBuilder(const QString& home, const QString& computer, Prompter& prompter);
    ~StationBuilder();
    StationBuilder(const StationBuilder&) = delete;
    StationBuilder& operator=(const StationBuilder&) = delete;

    // The login name datagrams carry; "tester" unless set.
    StationBuilder& userName(const QString& name) { return set(m_userName, name); }
    // Stands for the wall clock; not owned.
    StationBuilder& clock(const Clock* clock) { return set(m_clock, clock); }
    // Taken by the next build.
    StationBuilder& backend(std::unique_ptr<MailslotBackend> backend) { return set(m_backend, std::move(backend)); }
    // Whether the desktop has a notification area; it has unless told otherwise.
    StationBuilder& trayAvailable(bool available) { return set(m_trayAvailable, available); }
    // The transport's CheckInterval; the station's own unless set.
    StationBuilder& checkInterval(int ms) { return set(m_checkInterval, ms); }

    // Replaces the station built before, if any.
    Station& build();
    // Builds, shows the splash and runs its start-up checks to the end, as the program starts.
    Station& buildAndStart();
    void destroy();

    Station& station() const { return *m_station; }
    // With its final slash.
    QString installDir() const { return m_install.path() + QLatin1Char('/'); }
    // The seams of the station built last.
    NullTrayHost& tray() const { return *m_tray; }
    RecordingSoundPlayer& sound() const { return *m_sound; }
    RecordingDocumentOpener& opener() const { return *m_opener; }
    // The UDP backend, when the station was built without another (owned by its transport).
    UdpMailslotBackend& udp() const { return *m_udp; }

private:
    template<typename T, typename V> StationBuilder& set(T& member, V&& value)
    {
        member = std::forward<V>(value);
        return *this;
    }

    QString m_home;
    QString m_computer;
    QString m_userName = QStringLiteral("tester");
    Prompter& m_prompter;
    const Clock* m_clock = nullptr;
    std::unique_ptr<MailslotBackend> m_backend;
    bool m_trayAvailable = true;
    int m_checkInterval = 0;
    QTemporaryDir m_install;
    NullTrayHost* m_tray = nullptr;
    RecordingSoundPlayer* m_sound = nullptr;
    RecordingDocumentOpener* m_opener = nullptr;
    UdpMailslotBackend* m_udp = nullptr;
    std::unique_ptr<Station> m_station;
};
