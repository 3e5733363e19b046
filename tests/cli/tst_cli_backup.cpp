#include "temphome.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace
{
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args, const QString& locale = QStringLiteral("C.UTF-8"))
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), locale);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(COLLOQUA_CLI_PATH), args);
    if (!process.waitForFinished(30000))
        qFatal("colloqua-cli did not finish");
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError()) };
}

QStringList words(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// "x/" a directory, "x=text" a file with that text.
void make(const TempHome& home, const QStringList& list)
{
    for (const QString& entry : list) {
        if (entry.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkpath(home.file(entry)));
            continue;
        }
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        home.write(entry.left(eq), eq < 0 ? QByteArray() : entry.mid(eq + 1).toUtf8());
    }
}
} // namespace

class TestCliBackup final : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void defaultName_data();
    void defaultName();
    void twiceNeedsUpdate();
};

void TestCliBackup::commands_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("args"); // after --home
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("errContains");
    QTest::addColumn<QStringList>("after"); // "entry=content" checks, "!entry" for an absent one

    const QStringList data { QStringLiteral("Dados/usuarios.dbt=ANA"), QStringLiteral("Dados/.oculto=h"),
        QStringLiteral("Dados/sons/toque.wav=x") };
    QTest::newRow("backup under a name") << data << words("backup --name noite") << 0 << QStringLiteral("Bk noite\n")
                                         << QString()
                                         << QStringList { QStringLiteral("Bk noite/usuarios.dbt=ANA"),
                                                QStringLiteral("Bk noite/.oculto=h"),
                                                QStringLiteral("!Bk noite/sons") };
    QTest::newRow("name with =") << data << words("backup --name=antes") << 0 << QStringLiteral("Bk antes\n")
                                 << QString() << QStringList { QStringLiteral("Bk antes/usuarios.dbt=ANA") };
    QTest::newRow("colon refused") << data << words("backup --name 14:30") << 2 << QString()
                                   << QStringLiteral("cannot name a backup")
                                   << QStringList { QStringLiteral("!Bk 14:30") };
    QTest::newRow("separator refused") << data << words("backup --name ../fora") << 2 << QString()
                                       << QStringLiteral("cannot name a backup") << QStringList();
    QTest::newRow("dot dot refused") << data << words("backup --name ..") << 2 << QString()
                                     << QStringLiteral("cannot name a backup")
                                     << QStringList { QStringLiteral("!Bk ..") };
    QTest::newRow("dot refused, it would never be listed")
        << data << words("backup --name v1.2") << 2 << QString() << QStringLiteral("may not contain \".\"")
        << QStringList { QStringLiteral("!Bk v1.2") };
    QTest::newRow("nothing to back up") << QStringList { QStringLiteral("Dados/") } << words("backup --name x") << 1
                                        << QString() << QStringLiteral("nothing to back up")
                                        << QStringList { QStringLiteral("!Bk x") };
    QTest::newRow("no data directory") << QStringList() << words("backup --name x") << 1 << QString()
                                       << QStringLiteral("nothing to back up")
                                       << QStringList { QStringLiteral("!Bk x") };
    QTest::newRow("list") << QStringList { QStringLiteral("Bk 2/"), QStringLiteral("Bk 1/"),
        QStringLiteral("Old Bk 1/"), QStringLiteral("bk 1/"), QStringLiteral("Bk release 1.2/"),
        QStringLiteral("Dados/") }
                          << words("backups") << 0 << QStringLiteral("Bk 1\nBk 2\nOld Bk 1\n") << QString()
                          << QStringList();
    QTest::newRow("empty list") << data << words("backups") << 0 << QString() << QString() << QStringList();
    const QStringList restorable { QStringLiteral("Bk antes/hist_recv.dbt=antigo"),
        QStringLiteral("Bk antes/usuarios.dbt=ANA"), QStringLiteral("Dados/hist_recv.dbt=novo"),
        QStringLiteral("Dados/hist_send.dbt=extra"), QStringLiteral("bk 1/hist_recv.dbt=x") };
    const QStringList restored { QStringLiteral("Dados/hist_recv.dbt=antigo"), QStringLiteral("Dados/usuarios.dbt=ANA"),
        QStringLiteral("Dados/hist_send.dbt=extra") };
    QTest::newRow("restore by backup name") << restorable << words("restore antes") << 0
                                            << QStringLiteral("Bk antes: 2 files restored\n") << QString() << restored;
    QTest::newRow("restore by directory name")
        << restorable << (QStringList { QStringLiteral("restore"), QStringLiteral("Bk antes") }) << 0
        << QStringLiteral("Bk antes: 2 files restored\n") << QString() << restored;
    const QStringList untouched { QStringLiteral("Dados/hist_recv.dbt=novo"), QStringLiteral("!Dados/usuarios.dbt") };
    QTest::newRow("restore unknown") << restorable << words("restore depois") << 1 << QString()
                                     << QStringLiteral("no backup \"depois\"") << untouched;
    QTest::newRow("restore not listed") << restorable
                                        << (QStringList { QStringLiteral("restore"), QStringLiteral("bk 1") }) << 1
                                        << QString() << QStringLiteral("no backup") << untouched;
    QTest::newRow("restore outside") << restorable << words("restore ../Bk antes") << 2 << QString()
                                     << QStringLiteral("Usage") << untouched;
    QTest::newRow("restore from outside")
        << restorable << (QStringList { QStringLiteral("restore"), QStringLiteral("../Bk antes") }) << 1 << QString()
        << QStringLiteral("no backup") << untouched;
}

void TestCliBackup::commands()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, errContains);
    QFETCH(QStringList, after);
    TempHome home;
    make(home, before);
    const QString command = args.takeFirst();
    const Run run = cli(QStringList { command, QStringLiteral("--home"), home.path() } + args);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
    QCOMPARE(run.err.isEmpty(), exitCode == 0);
    for (const QString& check : after) {
        if (check.startsWith(QLatin1Char('!'))) {
            QVERIFY2(!QFileInfo::exists(home.file(check.mid(1))), qPrintable(check));
            continue;
        }
        const qsizetype eq = check.indexOf(QLatin1Char('='));
        QCOMPARE(home.read(check.left(eq)), check.mid(eq + 1).toUtf8());
    }
    QVERIFY(!QFileInfo::exists(QFileInfo(home.path()).absolutePath() + QStringLiteral("/fora")));
}

void TestCliBackup::defaultName_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("pt_BR") << "pt_BR.UTF-8"
                           << "^Bk \\d\\d-\\d\\d-\\d{4} \\d\\d~\\d\\d~\\d\\d\n$";
    QTest::newRow("fi_FI, dots in the date and time") << "fi_FI.UTF-8"
                                                      << "^Bk \\d+-\\d+-\\d{4} \\d+-\\d\\d-\\d\\d\n$";
}

void TestCliBackup::defaultName()
{
    QFETCH(QString, locale);
    QFETCH(QString, pattern);
    TempHome home;
    make(home, { QStringLiteral("Dados/usuarios.dbt=ANA") });
    const Run run = cli({ QStringLiteral("backup"), QStringLiteral("--home"), home.path() }, locale);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(QRegularExpression(pattern).match(run.out).hasMatch(), qPrintable(run.out));
    QCOMPARE(home.read(run.out.trimmed() + QStringLiteral("/usuarios.dbt")), QByteArray("ANA"));
    // Listed and restored like any other.
    const Run list = cli({ QStringLiteral("backups"), QStringLiteral("--home"), home.path() });
    QCOMPARE(list.out, run.out);
    home.write(QStringLiteral("Dados/usuarios.dbt"), "BRUNO");
    const Run restore = cli({ QStringLiteral("restore"), QStringLiteral("--home"), home.path(), run.out.trimmed() });
    QCOMPARE(restore.exitCode, 0);
    QCOMPARE(home.read(QStringLiteral("Dados/usuarios.dbt")), QByteArray("ANA"));
}

void TestCliBackup::twiceNeedsUpdate()
{
    TempHome home;
    make(home, { QStringLiteral("Dados/usuarios.dbt=ANA") });
    const QStringList backup { QStringLiteral("backup"), QStringLiteral("--home"), home.path(),
        QStringLiteral("--name"), QStringLiteral("noite") };
    QCOMPARE(cli(backup).exitCode, 0);
    make(home, { QStringLiteral("Dados/usuarios.dbt=BRUNO"), QStringLiteral("Dados/canais.dbt=NETWORK") });
    const Run refused = cli(backup);
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains(QLatin1String("already exists")), qPrintable(refused.err));
    QCOMPARE(entries(home.file(QStringLiteral("Bk noite"))), QStringList { QStringLiteral("usuarios.dbt") });
    QCOMPARE(home.read(QStringLiteral("Bk noite/usuarios.dbt")), QByteArray("ANA"));
    const Run updated = cli(backup + QStringList { QStringLiteral("--update") });
    QCOMPARE(updated.exitCode, 0);
    QCOMPARE(entries(home.file(QStringLiteral("Bk noite"))),
        (QStringList { QStringLiteral("canais.dbt"), QStringLiteral("usuarios.dbt") }));
    QCOMPARE(home.read(QStringLiteral("Bk noite/usuarios.dbt")), QByteArray("BRUNO"));
}

QTEST_GUILESS_MAIN(TestCliBackup)
#include "tst_cli_backup.moc"
