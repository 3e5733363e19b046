#include "notificationsound.h"
#include "settings.h"
#include "soundeffectplayer.h"
#include "temphome.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace
{
class RecordingPlayer final : public SoundPlayer
{
public:
    void play(const QString& path) override { played.append(path); }

    QStringList played;
};

// A valid 8-bit mono PCM wave file of a quiet square wave.
QByteArray waveFile(int milliseconds = 100)
{
    const quint32 sampleRate = 8000;
    QByteArray samples;
    for (quint32 i = 0; i < sampleRate * quint32(milliseconds) / 1000; ++i)
        samples.append(char((i / 20) % 2 ? 0x70 : 0x90));
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << sampleRate << sampleRate << quint16(1) << quint16(8);
    out.writeRawData("data", 4);
    out << quint32(samples.size());
    out.writeRawData(samples.constData(), int(samples.size()));
    return bytes;
}

const QString Receber = QStringLiteral("RECEBER");
const QString Enviar = QStringLiteral("ENVIAR");
const QString SoundKey = QStringLiteral("ARQ_EMITIR_SOM");
} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void kindRules_data();
    void kindRules();
    void deletedCopySilencesArrivals();
    void settingIsReadAtEachSound();
    void effectPlayerReturnsAtOnce_data();
    void effectPlayerReturnsAtOnce();
};

void TestSound::kindRules_data()
{
    // How each side is set up: "-" no key, "" an empty value, "gone" a file that does not
    // exist, "dir" the data directory itself, "recv.wav"/"send.wav" a copied sound file.
    QTest::addColumn<bool>("iniExists");
    QTest::addColumn<QString>("receive");
    QTest::addColumn<QString>("send");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected");

    const QString none = QStringLiteral("-");
    const QString empty;
    const QString gone = QStringLiteral("gone");
    const QString dir = QStringLiteral("dir");
    const QString recv = QStringLiteral("recv.wav");
    const QString send = QStringLiteral("send.wav");

    QTest::newRow("no settings file") << false << none << none << 1 << empty;
    QTest::newRow("no key") << true << none << none << 1 << empty;
    QTest::newRow("empty receive sound") << true << empty << send << 1 << empty;
    QTest::newRow("receive sound gone") << true << gone << send << 1 << empty;
    QTest::newRow("receive sound is a directory") << true << dir << send << 1 << empty;
    QTest::newRow("arrival plays receive sound") << true << recv << send << 1 << recv;
    QTest::newRow("send plays send sound") << true << recv << send << 2 << send;
    QTest::newRow("send ignores receive sound") << true << recv << empty << 2 << empty;
    QTest::newRow("arrival ignores send sound") << true << empty << send << 1 << empty;
    QTest::newRow("send sound gone") << true << recv << gone << 2 << empty;
    QTest::newRow("kind 0") << true << recv << send << 0 << empty;
    QTest::newRow("kind 3") << true << recv << send << 3 << empty;
    QTest::newRow("kind -1") << true << recv << send << -1 << empty;
    QTest::newRow("kind 9") << true << recv << send << 9 << empty;
}

void TestSound::kindRules()
{
    QFETCH(bool, iniExists);
    QFETCH(QString, receive);
    QFETCH(QString, send);
    QFETCH(int, kind);
    QFETCH(QString, expected);

    TempHome home;
    home.write(QStringLiteral("Dados/recv.wav"), waveFile());
    home.write(QStringLiteral("Dados/send.wav"), waveFile());
    Settings settings(home.home());
    const auto setUp = [&](const QString& section, const QString& value) {
        if (value == QStringLiteral("-"))
            return;
        QString stored = value;
        if (value == QStringLiteral("dir"))
            stored = home.home().dataDir();
        else if (!value.isEmpty())
            stored = home.home().dataFile(value);
        settings.WriteSetting(section, SoundKey, SettingString, stored);
    };
    if (iniExists) {
        home.write(QStringLiteral("colloqua.ini"), "[SETUP]\r\n");
        setUp(Receber, receive);
        setUp(Enviar, send);
    }

    RecordingPlayer player;
    NotificationSound(settings, player).PlayNotificationSound(kind);

    const QStringList want = expected.isEmpty() ? QStringList() : QStringList { home.home().dataFile(expected) };
    QCOMPARE(player.played, want);
}

void TestSound::deletedCopySilencesArrivals()
{
    TempHome home;
    home.write(QStringLiteral("Dados/chegou.wav"), waveFile());
    Settings settings(home.home());
    const QString copy = home.home().dataFile(QStringLiteral("chegou.wav"));
    settings.WriteSetting(Receber, SoundKey, SettingString, copy);

    RecordingPlayer player;
    const NotificationSound sound(settings, player);
    sound.PlayNotificationSound(NotificationSound::MessageReceived);
    QCOMPARE(player.played, QStringList { copy });

    QVERIFY(QFile::remove(copy));
    sound.PlayNotificationSound(NotificationSound::MessageReceived);
    sound.PlayNotificationSound(NotificationSound::MessageReceived);
    QCOMPARE(player.played, QStringList { copy });
}

void TestSound::settingIsReadAtEachSound()
{
    TempHome home;
    home.write(QStringLiteral("Dados/a.wav"), waveFile());
    home.write(QStringLiteral("Dados/b.wav"), waveFile());
    Settings settings(home.home());
    RecordingPlayer player;
    const NotificationSound sound(settings, player);

    settings.WriteSetting(Enviar, SoundKey, SettingString, home.home().dataFile(QStringLiteral("a.wav")));
    sound.PlayNotificationSound(NotificationSound::MessageSent);
    settings.WriteSetting(Enviar, SoundKey, SettingString, home.home().dataFile(QStringLiteral("b.wav")));
    sound.PlayNotificationSound(NotificationSound::MessageSent);
    settings.WriteSetting(Enviar, SoundKey, SettingString, QString());
    sound.PlayNotificationSound(NotificationSound::MessageSent);

    QCOMPARE(player.played,
        QStringList({ home.home().dataFile(QStringLiteral("a.wav")), home.home().dataFile(QStringLiteral("b.wav")) }));
}

void TestSound::effectPlayerReturnsAtOnce_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not a wave file") << QByteArrayLiteral("this is not a sound\r\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("truncated wave") << waveFile().left(30);
    QTest::newRow("wave file of one second") << waveFile(1000);
}

void TestSound::effectPlayerReturnsAtOnce()
{
    QFETCH(QByteArray, content);
    TempHome home;
    home.write(QStringLiteral("Dados/som.wav"), content);
    const QString path = home.home().dataFile(QStringLiteral("som.wav"));

    {
        SoundEffectPlayer player;
        // The first sound may open the audio system; later ones must not wait at all.
        player.play(path);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 5; ++i)
            player.play(path);
        player.play(home.home().dataFile(QStringLiteral("missing.wav")));
        player.play(QString());
        // Far less than one second: a player that waited for the end would take five.
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        // Let background loading finish or fail; nothing may surface.
        QTest::qWait(150);
    }
    // Destroyed while idle or still loading: no crash, no hang.
    SoundEffectPlayer player;
    player.play(path);
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
