#include "stationbuilder.h"

#include "networkconfig.h"
#include "settings.h"
#include "startupchecks.h"
#include "station.h"
#include "stationhome.h"
#include "talmailslot.h"
#include "tformcom.h"
#include "tformsplashscreen.h"
#include "udpmailslotbackend.h"

#include <QLocale>

StationBuilder::StationBuilder(const QString& home, const QString& computer, Prompter& prompter)
    : m_home(home)
    , m_computer(computer)
    , m_prompter(prompter)
{ }

StationBuilder::~StationBuilder() = default;

Station& StationBuilder::build()
{
    m_station.reset();
    StationOptions options;
    options.home = m_home;
    options.computerName = m_computer;
    options.userName = m_userName;
    options.programDir = m_install.path();
    options.prompter = &m_prompter;
    options.clock = m_clock;
    auto sound = std::make_unique<RecordingSoundPlayer>();
    m_sound = sound.get();
    options.sound = std::move(sound);
    auto tray = std::make_unique<NullTrayHost>();
    tray->setAvailable(m_trayAvailable);
    m_tray = tray.get();
    options.tray = std::move(tray);
    auto opener = std::make_unique<RecordingDocumentOpener>();
    m_opener = opener.get();
    options.opener = std::move(opener);
    m_udp = nullptr;
    if (m_backend) {
        options.backend = std::move(m_backend);
    } else {
        // As the program makes it: REDE is read each time the transport opens.
        const QString home = m_home;
        auto udp = std::make_unique<UdpMailslotBackend>(
            m_computer, [home] { return NetworkConfig::fromSettings(Settings(StationHome(home))); });
        m_udp = udp.get();
        options.backend = std::move(udp);
    }
    options.collation = QLocale(QLocale::Portuguese, QLocale::Brazil);
    m_station = std::make_unique<Station>(std::move(options));
    if (m_checkInterval > 0)
        m_station->FormCom().ALMailSlot1().setCheckInterval(m_checkInterval);
    return *m_station;
}

Station& StationBuilder::buildAndStart()
{
    Station& station = build();
    station.start();
    for (int tick = 0; tick <= StartupChecks::StepCount; ++tick)
        station.FormSplashScreen().TimerTick();
    return station;
}

void StationBuilder::destroy()
{
    m_station.reset();
}
