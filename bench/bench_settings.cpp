// Costs of the settings store, which opens colloqua.ini afresh on every access: the settings
// dialog reading its twenty-odd keys in a row, the start-up placement reading twelve, one
// write (lock, read, atomic replace), and writing the factory settings of a first start.
//
// Usage: bench_settings [rounds]

#include "settingkeys.h"
#include "settings.h"
#include "stationhome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace
{
double usSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e3;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 200;
    QTemporaryDir dir;
    Settings settings { StationHome(dir.path()) };

    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i) {
        QFile::remove(settings.path());
        SettingKeys::writeFactorySettings(settings);
    }
    std::printf("factory settings into a new file: %.0f us\n", usSince(t) / rounds);

    // A file as it looks after a while: window places and the network section too.
    for (const SettingKey& key : SettingKeys::all())
        settings.WriteSetting(key.section, key.key, key.type, key.defaultValue);

    t.restart();
    int sink = 0;
    for (int i = 0; i < rounds; ++i) {
        for (const SettingKey& key : SettingKeys::all()) {
            if (key.section == QLatin1String("POSICAO") || key.section == QLatin1String("REDE"))
                continue;
            SettingValue value;
            settings.ReadSetting(key.section, key.key, key.defaultValue, key.type, value);
            sink += value.toInt();
        }
    }
    std::printf("settings dialog, 25 reads: %.0f us\n", usSince(t) / rounds);

    t.restart();
    for (int i = 0; i < rounds; ++i) {
        for (const SettingKey& key : SettingKeys::all()) {
            if (key.section == QLatin1String("POSICAO"))
                sink += settings.readInt(key.section, key.key, key.defaultValue.toInt(), 0);
        }
    }
    std::printf("start-up placement, 12 reads: %.0f us\n", usSince(t) / rounds);

    t.restart();
    for (int i = 0; i < rounds; ++i)
        settings.WriteSetting(QStringLiteral("BACKUP"), QStringLiteral("NUM_EXECUCOES"), SettingInteger, i + 1);
    std::printf("one write: %.0f us\n", usSince(t) / rounds);

    return sink == -1 ? 1 : 0;
}
