#include "notificationsound.h"
#include "settings.h"
#include "soundeffectplayer.h"
#include "temphome.h"

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

QByteArray littleEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
    return out;
}

QByteArray chunk(const char* id, const QByteArray& body)
{
    return QByteArray(id, 4) + littleEndian(quint32(body.size()), 4) + body;
}

QByteArray format(quint16 tag, quint16 channels, quint32 rate, quint16 bits)
{
    const quint16 blockAlign = quint16(channels * bits / 8);
    return littleEndian(tag, 2) + littleEndian(channels, 2) + littleEndian(rate, 4) + littleEndian(rate * blockAlign, 4)
        + littleEndian(blockAlign, 2) + littleEndian(bits, 2);
}

QByteArray riff(const QByteArray& chunks)
{
    return QByteArrayLiteral("RIFF") + littleEndian(quint32(4 + chunks.size()), 4) + QByteArrayLiteral("WAVE") + chunks;
}

// A valid 8-bit mono PCM wave file of a quiet square wave.
QByteArray waveFile(int milliseconds = 100)
{
    const quint32 sampleRate = 8000;
    QByteArray samples;
    for (quint32 i = 0; i < sampleRate * quint32(milliseconds) / 1000; ++i)
        samples.append(char((i / 20) % 2 ? 0x70 : 0x90));
    return riff(chunk("fmt ", format(1, 1, sampleRate, 8)) + chunk("data", samples));
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
    void completeWaveFiles_data();
    void completeWaveFiles();
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

void TestSound::completeWaveFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("complete");

    const QByteArray pcm8 = chunk("fmt ", format(1, 1, 8000, 8));
    const QByteArray samples(800, '\x80');
    const QByteArray whole = riff(pcm8 + chunk("data", samples));

    QTest::newRow("8-bit mono") << whole << true;
    QTest::newRow("16-bit stereo") << riff(chunk("fmt ", format(1, 2, 44100, 16)) + chunk("data", samples)) << true;
    QTest::newRow("24-bit") << riff(chunk("fmt ", format(1, 1, 8000, 24)) + chunk("data", QByteArray(900, 0))) << true;
    QTest::newRow("extended format") << riff(chunk("fmt ", format(1, 1, 8000, 8) + QByteArray(2, 0))
        + chunk("data", samples)) << true;
    QTest::newRow("list chunk first") << riff(chunk("LIST", QByteArray(10, 'x')) + pcm8 + chunk("data", samples))
                                      << true;
    QTest::newRow("list chunk between") << riff(pcm8 + chunk("LIST", QByteArray(10, 'x')) + chunk("data", samples))
                                        << true;
    QTest::newRow("odd data size") << riff(pcm8 + chunk("data", QByteArray(801, '\x80'))) << true;
    QTest::newRow("bytes after the data") << whole + chunk("LIST", QByteArray(11, 'x')) << true;

    // Files the sound effect would wait on forever.
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("four bytes") << QByteArrayLiteral("RIFF") << false;
    QTest::newRow("cut in the format") << whole.left(30) << false;
    QTest::newRow("cut in the data") << whole.left(200) << false;
    QTest::newRow("cut in a chunk header") << riff(pcm8).append("da") << false;
    QTest::newRow("big-endian RIFX") << QByteArrayLiteral("RIFX") + whole.mid(4) << false;
    QTest::newRow("five bytes of text") << QByteArrayLiteral("hello") << false;
    QTest::newRow("odd chunk before the data")
        << riff(pcm8 + chunk("LIST", QByteArray(11, 'x')).append('\0') + chunk("data", samples)) << false;
    // Files it would reject by itself, turned away before it sees them.
    QTest::newRow("text") << QByteArrayLiteral("this is not a sound\r\n") << false;
    QTest::newRow("no data chunk") << riff(pcm8) << false;
    QTest::newRow("empty data chunk") << riff(pcm8 + chunk("data", {})) << false;
    QTest::newRow("data before format") << riff(chunk("data", samples) + pcm8) << false;
    QTest::newRow("not WAVE") << QByteArrayLiteral("RIFF") + littleEndian(4, 4) + QByteArrayLiteral("AVI ") << false;
    QTest::newRow("float samples") << riff(chunk("fmt ", format(3, 1, 8000, 32)) + chunk("data", samples)) << false;
    QTest::newRow("compressed") << riff(chunk("fmt ", format(2, 1, 8000, 4)) + chunk("data", samples)) << false;
    QTest::newRow("no channels") << riff(chunk("fmt ", format(1, 0, 8000, 8)) + chunk("data", samples)) << false;
    QTest::newRow("no sample rate") << riff(chunk("fmt ", format(1, 1, 0, 8)) + chunk("data", samples)) << false;
    QTest::newRow("short format") << riff(chunk("fmt ", format(1, 1, 8000, 8).left(12)) + chunk("data", samples))
                                  << false;
}

void TestSound::completeWaveFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, complete);
    TempHome home;
    home.write(QStringLiteral("Dados/som.wav"), content);
    QCOMPARE(SoundEffectPlayer::isCompleteWaveFile(home.home().dataFile(QStringLiteral("som.wav"))), complete);
}

void TestSound::effectPlayerReturnsAtOnce_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not a wave file") << QByteArrayLiteral("this is not a sound\r\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("cut wave") << waveFile().left(30);
    QTest::newRow("wave cut in the data") << waveFile().left(200);
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
