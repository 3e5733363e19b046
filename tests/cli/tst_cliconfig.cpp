#include "settingkeys.h"
#include "temphome.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <memory>

namespace
{
const QString Ini = QStringLiteral("colloqua.ini");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run config(const QString& home, const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(COLLOQUA_CLI_PATH),
        QStringList { QStringLiteral("config"), QStringLiteral("--home"), home } + args);
    if (!process.waitForFinished(30000))
        qFatal("colloqua-cli config did not finish");
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError()) };
}

QStringList words(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
} // namespace

class TestCliConfig : public QObject
{
    Q_OBJECT

private slots:
    void get_data()
    {
        QTest::addColumn<QByteArray>("ini"); // empty: no colloqua.ini
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errContains");

        QTest::newRow("default without a file") << QByteArray() << words("get SETUP DEFAULT_CHANNEL") << 0
                                                << QStringLiteral("NETWORK\n") << QStringLiteral("does not exist");
        QTest::newRow("names ignore case")
            << QByteArray("[setup]\r\ndefault_status=IN\r\n") << words("get Setup Default_Status") << 0
            << QStringLiteral("IN\n") << QString();
        QTest::newRow("hex integer") << QByteArray("[BACKUP]\r\nAUTO_BACKUP_CADA=0x1F\r\n")
                                     << words("get BACKUP AUTO_BACKUP_CADA") << 0 << QStringLiteral("31\n")
                                     << QString();
        QTest::newRow("boolean 2") << QByteArray("[RECEBER]\r\nEMITIR_SOM=2\r\n") << words("get RECEBER EMITIR_SOM")
                                   << 0 << QStringLiteral("1\n") << QString();
        QTest::newRow("boolean yes gives the default")
            << QByteArray("[RECEBER]\r\nEXIBIR_MSG=yes\r\n") << words("get RECEBER EXIBIR_MSG") << 0
            << QStringLiteral("1\n") << QString();
        QTest::newRow("missing key gives the default") << QByteArray("[SETUP]\r\n") << words("get BACKUP BACKUP_DELAY")
                                                       << 0 << QStringLiteral("100\n") << QString();
        QTest::newRow("unknown key") << QByteArray("[REDE2]\r\nX=5\r\n") << words("get REDE2 X") << 2 << QString()
                                     << QStringLiteral("unknown setting");
        QTest::newRow("unknown key with a type")
            << QByteArray("[REDE2]\r\nX=5\r\n") << words("get REDE2 X --type=integer") << 0 << QStringLiteral("5\n")
            << QString();
        QTest::newRow("type against the table")
            << QByteArray("[SETUP]\r\n") << words("get SETUP LAST_USER --type integer") << 2 << QString()
            << QStringLiteral("is a string setting");
        QTest::newRow("invalid key name") << QByteArray() << words("get SETUP A=B --type string") << 2 << QString()
                                          << QStringLiteral("not a valid section and key");
        QTest::newRow("short form reads") << QByteArray("[SETUP]\r\nDEFAULT_STATUS=AU\r\n")
                                          << words("SETUP DEFAULT_STATUS") << 0 << QStringLiteral("AU\n") << QString();
        QTest::newRow("path") << QByteArray() << words("path") << 0 << QStringLiteral("%HOME%colloqua.ini\n")
                              << QString();
        QTest::newRow("init over a file")
            << QByteArray("[SETUP]\r\n") << words("init") << 1 << QString() << QStringLiteral("already exists");
    }
    void get()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, errContains);
        TempHome home;
        if (!ini.isEmpty())
            home.write(Ini, ini);
        const Run run = config(home.path(), args);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, QString(out).replace(QLatin1String("%HOME%"), home.home().ProgramDir()));
        QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
        QCOMPARE(home.read(Ini), ini);
    }

    void set_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("ini");
        QTest::newRow("string") << words("set SETUP DEFAULT_STATUS AU")
                                << QByteArray("[SETUP]\r\nDEFAULT_STATUS=AU\r\n");
        QTest::newRow("names as the program spells them")
            << words("set setup exibir_janela false") << QByteArray("[SETUP]\r\nEXIBIR_JANELA=0\r\n");
        QTest::newRow("boolean yes") << words("set RECEBER EMITIR_SOM yes")
                                     << QByteArray("[RECEBER]\r\nEMITIR_SOM=1\r\n");
        QTest::newRow("hex integer stored as decimal")
            << words("set BACKUP AUTO_BACKUP_CADA 0x10") << QByteArray("[BACKUP]\r\nAUTO_BACKUP_CADA=16\r\n");
        QTest::newRow("negative integer is no option")
            << words("set POSICAO WNDCOM_TOP -5") << QByteArray("[POSICAO]\r\nWNDCOM_TOP=-5\r\n");
        QTest::newRow("empty string") << (words("set SETUP DEFAULT_USER") << QString())
                                      << QByteArray("[SETUP]\r\nDEFAULT_USER=\r\n");
        QTest::newRow("blanks kept") << (words("set SETUP DEFAULT_USER") << QStringLiteral(" ANA "))
                                     << QByteArray("[SETUP]\r\nDEFAULT_USER=\" ANA \"\r\n");
        QTest::newRow("windows-1252 text")
            << (words("set RECEBER ARQ_EMITIR_SOM") << QStringLiteral("/s/Jo\u00E3o.wav"))
            << QByteArray("[RECEBER]\r\nARQ_EMITIR_SOM=/s/Jo\xE3o.wav\r\n");
        QTest::newRow("short form writes")
            << words("SETUP DEFAULT_STATUS OC") << QByteArray("[SETUP]\r\nDEFAULT_STATUS=OC\r\n");
        QTest::newRow("unknown key with a type")
            << words("set --type integer REDE2 X 5") << QByteArray("[REDE2]\r\nX=5\r\n");
        QTest::newRow("after --") << words("set -- SETUP DEFAULT_USER --x")
                                  << QByteArray("[SETUP]\r\nDEFAULT_USER=--x\r\n");
    }
    void set()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, ini);
        TempHome home;
        const Run run = config(home.path(), args);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(QLatin1String("created")), qPrintable(run.err));
        QCOMPARE(home.read(Ini), ini);
    }

    void badValuesWriteNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("integer") << words("set BACKUP AUTO_BACKUP_CADA thirty");
        QTest::newRow("integer out of range") << words("set BACKUP AUTO_BACKUP_CADA 2147483648");
        QTest::newRow("boolean") << words("set SETUP EXIBIR_JANELA maybe");
        QTest::newRow("outside windows-1252") << (words("set SETUP DEFAULT_USER") << QStringLiteral("\u4E50"));
        QTest::newRow("line break") << (words("set SETUP DEFAULT_USER") << QStringLiteral("A\n[SETUP]\nLAST_USER=B"));
        QTest::newRow("unknown key") << words("set SETUP DEFAULT_USR ANA");
        QTest::newRow("bad section") << words("set [SETUP] DEFAULT_USER ANA --type string");
        QTest::newRow("too many arguments") << words("set SETUP DEFAULT_USER ANA BIA");
    }
    void badValuesWriteNothing()
    {
        QFETCH(QStringList, args);
        TempHome home;
        const QByteArray before("[SETUP]\r\nDEFAULT_USER=ANA\r\n");
        home.write(Ini, before);
        const Run run = config(home.path(), args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(!run.err.isEmpty());
        QCOMPARE(home.read(Ini), before);
    }

    void aFailedWriteExitsWithFailure()
    {
        TempHome home;
        home.write(QStringLiteral("plain"), "x");
        const Run run = config(home.file(QStringLiteral("plain")), words("set SETUP DEFAULT_USER ANA"));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("Unable to write to ")), qPrintable(run.err));
    }

    void initWritesTheFactorySettings()
    {
        TempHome home;
        TempHome reference;
        Settings settings(reference.home());
        SettingKeys::writeFactorySettings(settings);
        const QString station = home.file(QStringLiteral("new/station"));
        QCOMPARE(config(station, words("init")).exitCode, 0);
        QCOMPARE(home.read(QStringLiteral("new/station/colloqua.ini")), reference.read(Ini));

        QCOMPARE(config(station, words("set SETUP DEFAULT_STATUS OF")).exitCode, 0);
        QCOMPARE(config(station, words("init --force")).exitCode, 0);
        QCOMPARE(config(station, words("get SETUP DEFAULT_STATUS")).out, QStringLiteral("ON\n"));
    }

    void listShowsWhatTheProgramReads()
    {
        TempHome home;
        home.write(Ini, "[SETUP]\r\nDEFAULT_STATUS=IN\r\nQTDE_MAX_REGS_ARQHIST=x\r\n[PLUGIN]\r\nNOTE=a\x1b[2Jb\r\n");
        const Run run = config(home.path(), words("list"));
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), SettingKeys::all().size() + 1);
        QVERIFY(lines.contains(QLatin1String("SETUP DEFAULT_STATUS=IN")));
        QVERIFY(lines.contains(QLatin1String("SETUP QTDE_MAX_REGS_ARQHIST=1000")));
        QVERIFY(lines.contains(QLatin1String("BACKUP BACKUP_DELAY=100")));
        QVERIFY(lines.contains(QLatin1String("REDE PORTA=45138")));
        QCOMPARE(lines.last(), QStringLiteral("PLUGIN NOTE=a\\x1b[2Jb"));
    }

    // The program and the terminal companion may write at the same time; no update is lost.
    void concurrentWritersLoseNothing()
    {
        TempHome home;
        const QStringList keys { QStringLiteral("WNDCOM_TOP"), QStringLiteral("WNDCOM_LEFT"),
            QStringLiteral("WNDSEND_TOP"), QStringLiteral("WNDSEND_LEFT"), QStringLiteral("WNDHIST_TOP"),
            QStringLiteral("WNDHIST_LEFT"), QStringLiteral("WNDCOM_WIDTH"), QStringLiteral("WNDSEND_WIDTH") };
        std::vector<std::unique_ptr<QProcess>> processes;
        for (qsizetype i = 0; i < keys.size(); ++i) {
            auto& process = processes.emplace_back(std::make_unique<QProcess>());
            process->start(QStringLiteral(COLLOQUA_CLI_PATH),
                { QStringLiteral("config"), QStringLiteral("--home"), home.path(), QStringLiteral("set"),
                    QStringLiteral("POSICAO"), keys[i], QString::number(100 + i) });
        }
        for (auto& process : processes) {
            QVERIFY(process->waitForFinished(30000));
            QCOMPARE(process->exitCode(), 0);
        }
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const Run run = config(home.path(), { QStringLiteral("get"), QStringLiteral("POSICAO"), keys[i] });
            QCOMPARE(run.out, QString::number(100 + i) + QLatin1Char('\n'));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliConfig)
#include "tst_cliconfig.moc"
