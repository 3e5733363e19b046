#include "fileerror.h"
#include "preferences.h"
#include "settingkeys.h"
#include "settings.h"
#include "temphome.h"
#include "windowplacement.h"

#include <QDir>
#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(SettingValue)
Q_DECLARE_METATYPE(WindowPlacement::Window)
using PreferenceRead = QVariant (*)(const Preferences&);
Q_DECLARE_METATYPE(PreferenceRead)

namespace
{
const QString Ini = QStringLiteral("colloqua.ini");

QString setup()
{
    return QStringLiteral("SETUP");
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("stored"); // the line under [SETUP]; empty: key missing
        QTest::addColumn<int>("type");
        QTest::addColumn<SettingValue>("defaultValue");
        QTest::addColumn<SettingValue>("expected");

        const SettingValue seven(7);
        QTest::newRow("int decimal") << QByteArray("K=42") << int(SettingInteger) << seven << SettingValue(42);
        QTest::newRow("int negative") << QByteArray("K=-42") << int(SettingInteger) << seven << SettingValue(-42);
        QTest::newRow("int plus sign") << QByteArray("K=+5") << int(SettingInteger) << seven << SettingValue(5);
        QTest::newRow("int hex 0x1F") << QByteArray("K=0x1F") << int(SettingInteger) << seven << SettingValue(31);
        QTest::newRow("int hex 0X1f") << QByteArray("K=0X1f") << int(SettingInteger) << seven << SettingValue(31);
        QTest::newRow("int hex pattern") << QByteArray("K=0xFFFFFFFF") << int(SettingInteger) << seven
                                         << SettingValue(-1);
        QTest::newRow("int hex too long") << QByteArray("K=0x100000000") << int(SettingInteger) << seven << seven;
        QTest::newRow("int bare 0x") << QByteArray("K=0x") << int(SettingInteger) << seven << seven;
        QTest::newRow("int dollar hex") << QByteArray("K=$1F") << int(SettingInteger) << seven << seven;
        QTest::newRow("int max") << QByteArray("K=2147483647") << int(SettingInteger) << seven
                                 << SettingValue(std::numeric_limits<int>::max());
        QTest::newRow("int min") << QByteArray("K=-2147483648") << int(SettingInteger) << seven
                                 << SettingValue(std::numeric_limits<int>::min());
        QTest::newRow("int overflow") << QByteArray("K=2147483648") << int(SettingInteger) << seven << seven;
        QTest::newRow("int huge") << QByteArray("K=99999999999999999999") << int(SettingInteger) << seven << seven;
        QTest::newRow("int empty") << QByteArray("K=") << int(SettingInteger) << seven << seven;
        QTest::newRow("int text") << QByteArray("K=abc") << int(SettingInteger) << seven << seven;
        QTest::newRow("int trailing text") << QByteArray("K=12abc") << int(SettingInteger) << seven << seven;
        QTest::newRow("int fraction") << QByteArray("K=1.5") << int(SettingInteger) << seven << seven;
        QTest::newRow("int blanks around") << QByteArray("K=  5  ") << int(SettingInteger) << seven << SettingValue(5);
        QTest::newRow("int missing") << QByteArray() << int(SettingInteger) << seven << seven;
        QTest::newRow("int, default given as text")
            << QByteArray() << int(SettingInteger) << SettingValue(QStringLiteral("12")) << SettingValue(12);

        QTest::newRow("bool 1") << QByteArray("K=1") << int(SettingBoolean) << SettingValue(false)
                                << SettingValue(true);
        QTest::newRow("bool 0") << QByteArray("K=0") << int(SettingBoolean) << SettingValue(true)
                                << SettingValue(false);
        QTest::newRow("bool 2 is true") << QByteArray("K=2") << int(SettingBoolean) << SettingValue(false)
                                        << SettingValue(true);
        QTest::newRow("bool -1 is true") << QByteArray("K=-1") << int(SettingBoolean) << SettingValue(false)
                                         << SettingValue(true);
        QTest::newRow("bool 0x0 is false")
            << QByteArray("K=0x0") << int(SettingBoolean) << SettingValue(true) << SettingValue(false);
        QTest::newRow("bool yes, default true")
            << QByteArray("K=yes") << int(SettingBoolean) << SettingValue(true) << SettingValue(true);
        QTest::newRow("bool yes, default false")
            << QByteArray("K=yes") << int(SettingBoolean) << SettingValue(false) << SettingValue(false);
        QTest::newRow("bool true is not a number")
            << QByteArray("K=true") << int(SettingBoolean) << SettingValue(false) << SettingValue(false);
        QTest::newRow("bool empty") << QByteArray("K=") << int(SettingBoolean) << SettingValue(true)
                                    << SettingValue(true);
        QTest::newRow("bool missing, default as int")
            << QByteArray() << int(SettingBoolean) << SettingValue(5) << SettingValue(true);

        QTest::newRow("string") << QByteArray("K=NETWORK") << int(SettingString) << SettingValue(QString())
                                << SettingValue(QStringLiteral("NETWORK"));
        QTest::newRow("string empty") << QByteArray("K=") << int(SettingString)
                                      << SettingValue(QStringLiteral("NETWORK")) << SettingValue(QString());
        QTest::newRow("string missing") << QByteArray() << int(SettingString) << SettingValue(QStringLiteral("NETWORK"))
                                        << SettingValue(QStringLiteral("NETWORK"));
        QTest::newRow("string 3000 characters")
            << (QByteArray("K=") + QByteArray(3000, 'x')) << int(SettingString) << SettingValue(QString())
            << SettingValue(QString(2047, QLatin1Char('x')));
        QTest::newRow("string, default given as int")
            << QByteArray() << int(SettingString) << SettingValue(30) << SettingValue(QStringLiteral("30"));
        QTest::newRow("string, default given as bool")
            << QByteArray() << int(SettingString) << SettingValue(true) << SettingValue(QStringLiteral("1"));
    }
    void read()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, type);
        QFETCH(SettingValue, defaultValue);
        QFETCH(SettingValue, expected);
        TempHome home;
        home.write(Ini, "[SETUP]\r\n" + stored + "\r\n");
        const Settings settings(home.home());
        SettingValue value(QStringLiteral("untouched"));
        QVERIFY(settings.ReadSetting(setup(), QStringLiteral("K"), defaultValue, type, value));
        QCOMPARE(value, expected);
    }

    void absentFileLeavesTheValueAndCreatesNothing_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("integer") << int(SettingInteger);
        QTest::newRow("string") << int(SettingString);
        QTest::newRow("boolean") << int(SettingBoolean);
        QTest::newRow("unknown type") << 3;
    }
    void absentFileLeavesTheValueAndCreatesNothing()
    {
        QFETCH(int, type);
        TempHome home;
        const Settings settings(home.home());
        SettingValue value(QStringLiteral("untouched"));
        QVERIFY(!settings.ReadSetting(setup(), QStringLiteral("LAST_USER"), 1, type, value));
        QCOMPARE(value, SettingValue(QStringLiteral("untouched")));
        QVERIFY(!settings.exists());
        QVERIFY(QDir(home.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void write_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<SettingValue>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("integer") << int(SettingInteger) << SettingValue(-5) << QByteArray("K=-5");
        QTest::newRow("integer from bool") << int(SettingInteger) << SettingValue(true) << QByteArray("K=1");
        QTest::newRow("true") << int(SettingBoolean) << SettingValue(true) << QByteArray("K=1");
        QTest::newRow("false") << int(SettingBoolean) << SettingValue(false) << QByteArray("K=0");
        QTest::newRow("boolean from 7") << int(SettingBoolean) << SettingValue(7) << QByteArray("K=1");
        QTest::newRow("string verbatim") << int(SettingString) << SettingValue(QStringLiteral("a b;c"))
                                         << QByteArray("K=a b;c");
        QTest::newRow("string from int") << int(SettingString) << SettingValue(30) << QByteArray("K=30");
    }
    void write()
    {
        QFETCH(int, type);
        QFETCH(SettingValue, value);
        QFETCH(QByteArray, line);
        TempHome home;
        Settings settings(home.home());
        QVERIFY(settings.WriteSetting(QStringLiteral("SETUP"), QStringLiteral("K"), type, value));
        QCOMPARE(home.read(Ini), "[SETUP]\r\n" + line + "\r\n");
    }

    void writeWithAnUnknownTypeWritesNothing()
    {
        TempHome home;
        Settings settings(home.home());
        QVERIFY(!settings.WriteSetting(setup(), QStringLiteral("K"), 3, 1));
        QVERIFY(!settings.exists());
    }

    void readWithAnUnknownTypeLeavesTheValue()
    {
        TempHome home;
        home.write(Ini, "[SETUP]\r\nK=1\r\n");
        const Settings settings(home.home());
        SettingValue value(QStringLiteral("untouched"));
        QVERIFY(settings.ReadSetting(setup(), QStringLiteral("K"), 0, -1, value));
        QCOMPARE(value, SettingValue(QStringLiteral("untouched")));
    }

    void batchWritesAllOrNothing()
    {
        TempHome home;
        const QByteArray before("[SETUP]\r\nDEFAULT_USER=ANA\r\n");
        home.write(Ini, before);
        Settings settings(home.home());
        const SettingWrite status { setup(), QStringLiteral("DEFAULT_STATUS"), SettingString, QStringLiteral("OC") };
        const SettingWrite badType { setup(), QStringLiteral("X"), 7, 1 };
        const SettingWrite badText { setup(), QStringLiteral("DEFAULT_USER"), SettingString, QStringLiteral("A\nB") };
        QVERIFY(!settings.writeSettings({ status, badType }));
        QCOMPARE(home.read(Ini), before);
        QVERIFY_THROWS_EXCEPTION(FileError, settings.writeSettings({ status, badText }));
        QCOMPARE(home.read(Ini), before);
        const SettingWrite top { QStringLiteral("POSICAO"), QStringLiteral("WNDCOM_TOP"), SettingInteger, 5 };
        QVERIFY(settings.writeSettings({ status, top }));
        QCOMPARE(home.read(Ini),
            QByteArray("[SETUP]\r\nDEFAULT_USER=ANA\r\nDEFAULT_STATUS=OC\r\n\r\n[POSICAO]\r\nWNDCOM_TOP=5\r\n"));
    }

    void writtenValuesAreReadBack()
    {
        TempHome home;
        Settings settings(home.home());
        settings.WriteSetting(setup(), QStringLiteral("DEFAULT_STATUS"), SettingString, QStringLiteral("AU"));
        settings.WriteSetting(setup(), QStringLiteral("DEFAULT_STATUS"), SettingString, QStringLiteral("OC"));
        settings.WriteSetting(setup(), QStringLiteral("DEFAULT_USER"), SettingString, QStringLiteral(" 'ANA' "));
        settings.WriteSetting(QStringLiteral("POSICAO"), QStringLiteral("WNDCOM_TOP"), SettingInteger, -20);
        settings.WriteSetting(QStringLiteral("RECEBER"), QStringLiteral("EMITIR_SOM"), SettingBoolean, true);
        QCOMPARE(
            settings.readString(setup(), QStringLiteral("DEFAULT_STATUS"), QString(), QString()), QStringLiteral("OC"));
        QCOMPARE(settings.readString(setup(), QStringLiteral("default_user"), QString(), QString()),
            QStringLiteral(" 'ANA' "));
        QCOMPARE(settings.readInt(QStringLiteral("posicao"), QStringLiteral("WNDCOM_TOP"), 10, 10), -20);
        QVERIFY(settings.readBool(QStringLiteral("RECEBER"), QStringLiteral("EMITIR_SOM"), false, false));
        QCOMPARE(home.read(Ini).count("DEFAULT_STATUS"), 1);
    }

    void helpersKeepTheFallbackOnlyWithoutAFile()
    {
        TempHome home;
        Settings settings(home.home());
        QCOMPARE(settings.readInt(setup(), QStringLiteral("K"), 1, 2), 2);
        QCOMPARE(settings.readString(setup(), QStringLiteral("K"), QStringLiteral("d"), QStringLiteral("f")),
            QStringLiteral("f"));
        QCOMPARE(settings.readBool(setup(), QStringLiteral("K"), true, false), false);
        settings.WriteSetting(QStringLiteral("OTHER"), QStringLiteral("X"), SettingString, QStringLiteral("x"));
        QCOMPARE(settings.readInt(setup(), QStringLiteral("K"), 1, 2), 1);
        QCOMPARE(settings.readString(setup(), QStringLiteral("K"), QStringLiteral("d"), QStringLiteral("f")),
            QStringLiteral("d"));
        QCOMPARE(settings.readBool(setup(), QStringLiteral("K"), true, false), true);
    }

    void aRefusedWriteThrowsAndKeepsTheFile_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("value");
        QTest::newRow("line break in the value") << setup() << QStringLiteral("/tmp/a\n[SETUP]\nDEFAULT_USER=X.wav");
        QTest::newRow("character outside windows-1252") << setup() << QStringLiteral("/tmp/\u4E50.wav");
        QTest::newRow("bad section name") << QStringLiteral("SET]UP") << QStringLiteral("x");
    }
    void aRefusedWriteThrowsAndKeepsTheFile()
    {
        QFETCH(QString, section);
        QFETCH(QString, value);
        TempHome home;
        const QByteArray before("[SETUP]\r\nDEFAULT_USER=ANA\r\n");
        home.write(Ini, before);
        Settings settings(home.home());
        try {
            settings.WriteSetting(section, QStringLiteral("ARQ_EMITIR_SOM"), SettingString, value);
            QFAIL("the write did not fail");
        } catch (const FileError& error) {
            QCOMPARE(error.message(), QStringLiteral("Unable to write to ") + settings.path());
        }
        QCOMPARE(home.read(Ini), before);
    }

    void factorySettingsFile()
    {
        TempHome home;
        Settings settings(home.home());
        SettingKeys::writeFactorySettings(settings);
        QCOMPARE(home.read(Ini),
            QByteArray("[SETUP]\r\n"
                       "LAST_CHANNEL=\r\n"
                       "LAST_USER=\r\n"
                       "DEFAULT_CHANNEL=NETWORK\r\n"
                       "DEFAULT_USER=\r\n"
                       "DEFAULT_STATUS=ON\r\n"
                       "EXIBIR_JANELA=1\r\n"
                       "MUDAR_STATUS_SCRSAVER=0\r\n"
                       "MANTER_GRUPOS_ABERTOS=0\r\n"
                       "QTDE_MAX_REGS_ARQHIST=1000\r\n"
                       "QTDE_MAX_REGS_JANHIST=100\r\n"
                       "EXIBIR_LIN_DIVISORIA=0\r\n"
                       "EXIBIR_MSG_SISTEMA=0\r\n"
                       "FECHAR_JANELA=0\r\n"
                       "\r\n"
                       "[RECEBER]\r\n"
                       "EXIBIR_MSG=1\r\n"
                       "ANIMAR_ICONE=1\r\n"
                       "EMITIR_SOM=0\r\n"
                       "ARQ_EMITIR_SOM=\r\n"
                       "\r\n"
                       "[ENVIAR]\r\n"
                       "EXIBIR_MSG=1\r\n"
                       "EMITIR_SOM=0\r\n"
                       "ARQ_EMITIR_SOM=\r\n"
                       "CONFIRMAR_ENTREGA=1\r\n"
                       "\r\n"
                       "[BACKUP]\r\n"
                       "AUTO_BACKUP=1\r\n"
                       "AUTO_BACKUP_CADA=30\r\n"
                       "AUTO_BACKUP_TROCA=1\r\n"
                       "NUM_EXECUCOES=0\r\n"
                       "BACKUP_DELAY=30\r\n"));
    }

    void factorySettingsKeepWindowPlaces()
    {
        TempHome home;
        home.write(Ini, "[POSICAO]\r\nWNDCOM_TOP=5\r\n[SETUP]\r\nDEFAULT_STATUS=IN\r\n");
        Settings settings(home.home());
        SettingKeys::writeFactorySettings(settings);
        QCOMPARE(settings.readInt(QStringLiteral("POSICAO"), QStringLiteral("WNDCOM_TOP"), 10, 10), 5);
        QCOMPARE(
            settings.readString(setup(), QStringLiteral("DEFAULT_STATUS"), QString(), QString()), QStringLiteral("ON"));
        QCOMPARE(settings.readInt(QStringLiteral("BACKUP"), QStringLiteral("BACKUP_DELAY"), 100, 100), 30);
    }

    void windowPlacement_data()
    {
        QTest::addColumn<WindowPlacement::Window>("window");
        QTest::addColumn<QByteArray>("stored"); // empty: no colloqua.ini
        QTest::addColumn<QList<int>>("placement"); // top, left, width, height
        using Window = WindowPlacement::Window;
        const QByteArray other("[SETUP]\r\nDEFAULT_USER=ANA\r\n");
        QTest::newRow("communicator defaults") << Window::Communicator << other << QList<int> { 10, 10, 190, 346 };
        QTest::newRow("send defaults") << Window::Send << other << QList<int> { 20, 20, 334, 239 };
        QTest::newRow("history defaults") << Window::History << other << QList<int> { 30, 30, 554, 267 };
        QTest::newRow("stored, one key missing")
            << Window::History << QByteArray("[POSICAO]\r\nWNDHIST_TOP=5\r\nWNDHIST_LEFT=-7\r\nWNDHIST_WIDTH=600\r\n")
            << QList<int> { 5, -7, 600, 267 };
        QTest::newRow("no settings file") << Window::Send << QByteArray() << QList<int> { 0, 0, 0, 0 };
    }

    void windowPlacement()
    {
        QFETCH(WindowPlacement::Window, window);
        QFETCH(QByteArray, stored);
        QFETCH(QList<int>, placement);
        TempHome home;
        if (!stored.isEmpty())
            home.write(Ini, stored);
        const WindowPlacement read = Preferences(Settings(home.home())).placement(window);
        QCOMPARE((QList<int> { read.top, read.left, read.width, read.height }), placement);
    }

    void windowPlacementWrittenInOrder()
    {
        TempHome home;
        Preferences preferences { Settings(home.home()) };
        preferences.setPlacement(WindowPlacement::Window::History, WindowPlacement::of(QPoint(-7, 5), QSize(600, 300)));
        QCOMPARE(home.read(Ini),
            QByteArray("[POSICAO]\r\nWNDHIST_TOP=5\r\nWNDHIST_LEFT=-7\r\nWNDHIST_WIDTH=600\r\nWNDHIST_HEIGHT=300\r\n"));
        const WindowPlacement read = preferences.placement(WindowPlacement::Window::History);
        QCOMPARE(read.position(), QPoint(-7, 5));
        QCOMPARE(read.size(), QSize(600, 300));
    }

    void preferences_data()
    {
        QTest::addColumn<QByteArray>("stored"); // empty: no colloqua.ini
        QTest::addColumn<PreferenceRead>("read");
        QTest::addColumn<QVariant>("expected");
        const QByteArray other("[SETUP]\r\nDEFAULT_USER=ANA\r\n");
        const PreferenceRead channel = [](const Preferences& p) { return QVariant(p.defaultChannel()); };
        const PreferenceRead autoChannel = [](const Preferences& p) { return QVariant(p.autoLogonChannel()); };
        const PreferenceRead receiveSound = [](const Preferences& p) { return QVariant(p.soundOnReceive()); };
        const PreferenceRead showOnSend = [](const Preferences& p) { return QVariant(p.showHistoryOnSend()); };
        const PreferenceRead autoBackup = [](const Preferences& p) { return QVariant(p.autoBackup()); };
        const PreferenceRead delay = [](const Preferences& p) { return QVariant(p.backupDelay().value_or(-1)); };
        QTest::newRow("channel missing") << other << channel << QVariant(QStringLiteral("NETWORK"));
        QTest::newRow("channel, no file") << QByteArray() << channel << QVariant(QString());
        QTest::newRow("automatic logon channel missing") << other << autoChannel << QVariant(QString());
        QTest::newRow("receive sound missing, unlike the table") << other << receiveSound << QVariant(true);
        QTest::newRow("receive sound stored")
            << QByteArray("[RECEBER]\r\nEMITIR_SOM=0\r\n") << receiveSound << QVariant(false);
        QTest::newRow("history after sending missing") << other << showOnSend << QVariant(true);
        QTest::newRow("history after sending, no file") << QByteArray() << showOnSend << QVariant(false);
        QTest::newRow("automatic backup missing, unlike the table") << other << autoBackup << QVariant(false);
        QTest::newRow("backup delay missing") << other << delay << QVariant(100);
        QTest::newRow("backup delay, no file") << QByteArray() << delay << QVariant(-1);
    }

    void preferences()
    {
        QFETCH(QByteArray, stored);
        QFETCH(PreferenceRead, read);
        QFETCH(QVariant, expected);
        TempHome home;
        if (!stored.isEmpty())
            home.write(Ini, stored);
        QCOMPARE(read(Preferences(Settings(home.home()))), expected);
    }

    void keyTableIsConsistent()
    {
        QStringList seen;
        for (const SettingKey& key : SettingKeys::all()) {
            const QString id = key.section + QLatin1Char('/') + key.key;
            QVERIFY2(!seen.contains(id), qPrintable(id));
            seen.append(id);
            QCOMPARE(SettingKeys::find(key.section.toLower(), key.key.toLower()), &key);
            const auto holdsType = [&key](const SettingValue& v) {
                return key.type == SettingInteger ? v.holdsInt()
                    : key.type == SettingBoolean  ? v.holdsBool()
                                                  : v.holdsString();
            };
            QVERIFY2(holdsType(key.defaultValue), qPrintable(id));
            if (key.initialValue)
                QVERIFY2(holdsType(*key.initialValue), qPrintable(id));
            QCOMPARE(key.initialValue.has_value(),
                key.section != QLatin1String("POSICAO") && key.section != QLatin1String("REDE"));
        }
        QCOMPARE(SettingKeys::find(u"SETUP", u"NO_SUCH_KEY"), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
