#include "backupcommand.h"
#include "backupnames.h"
#include "backupstore.h"
#include "copyrun.h"
#include "fakeclock.h"
#include "queuedprompter.h"
#include "settings.h"
#include "temphome.h"
#include "torbfindfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

namespace
{
const QLocale PtBr(QLocale::Portuguese, QLocale::Brazil);
const QString Aviso = QStringLiteral("Um nome de arquivo ou diretório não pode conter qualquer um dos caracteres "
                                     "seguintes:\r\\/:*?\"<>|");
const QString Ponto = QStringLiteral("O nome da cópia de segurança não pode conter o caractere \".\" (ponto): uma "
                                     "cópia com ponto no nome não aparece na lista para restauração.");
const QString JaExiste = QStringLiteral("O nome da cópia de segurança já existe. \rConfirma a atualização da mesma?");

QStringList L(std::initializer_list<const char*> names)
{
    QStringList out;
    for (const char* n : names)
        out << QString::fromUtf8(n);
    return out;
}

// Entries under `root`: "d/" a directory, "f=text" a file, "f|ro" read-only, "p|fifo" a fifo.
void make(const QString& root, const QStringList& entries)
{
    for (QString entry : entries) {
        const bool readOnly = entry.endsWith(QLatin1String("|ro"));
        if (readOnly)
            entry.chop(3);
        QString path = root + QLatin1Char('/') + entry;
        if (entry.endsWith(QLatin1String("|fifo"))) {
            path.chop(5);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
            continue;
        }
        if (entry.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkpath(path));
            continue;
        }
        QByteArray content = entry.toUtf8();
        if (const qsizetype eq = path.indexOf(QLatin1Char('=')); eq >= 0) {
            content = path.mid(eq + 1).toUtf8();
            path.truncate(eq);
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        if (readOnly)
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Moves the clock on at every prompt, so each proposal of the name dialog is a new one.
class TickingPrompter final : public Prompter
{
public:
    explicit TickingPrompter(FakeClock& clock)
        : m_clock(clock)
    { }
    void message(Kind kind, const QString& title, const QString& text) override { queued.message(kind, title, text); }
    using Prompter::confirm;

    bool confirm(Kind kind, const QString& title, const QString& text) override
    {
        return queued.confirm(kind, title, text);
    }
    std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) override
    {
        const std::optional<QString> answer = queued.askText(title, label, initial);
        m_clock.advance(61 * 1000);
        return answer;
    }
    std::optional<QString> chooseFile(const QString& title, const QString& dir, const QString& filter) override
    {
        return queued.chooseFile(title, dir, filter);
    }
    QueuedPrompter queued;

private:
    FakeClock& m_clock;
};

struct Copied
{
    QString source;
    QString target;
    QString title;
};
} // namespace

class TestBackup final : public QObject
{
    Q_OBJECT

private slots:
    void defaultName_data();
    void defaultName();
    void names_data();
    void names();
    void listBackups();
    void runCounter_data();
    void runCounter();
    void copyOrderAndProgress();
    void copiedFiles_data();
    void copiedFiles();
    void copyReplacesReadOnlyFile();
    void failedCopyStops();
    void restoreLeavesExtraFiles();
    void deleteBackup_data();
    void deleteBackup();
    void renameBackup_data();
    void renameBackup();
    void findBackup_data();
    void findBackup();
    void command_data();
    void command();
    void refusedNameAskedAgain();
};

void TestBackup::defaultName_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("name");
    const QDateTime now(QDate(2026, 12, 7), QTime(14, 30, 5));
    QTest::newRow("pt_BR") << PtBr << now << QStringLiteral("07-12-2026 14~30~05");
    QTest::newRow("pt_BR morning") << PtBr << QDateTime(QDate(2027, 1, 2), QTime(8, 5, 9))
                                   << QStringLiteral("02-01-2027 08~05~09");
    QTest::newRow("de_DE, dots in the date")
        << QLocale(QLocale::German, QLocale::Germany) << now << QStringLiteral("07-12-26 14~30~05");
    QTest::newRow("fi_FI, dots in the time too")
        << QLocale(QLocale::Finnish, QLocale::Finland) << now << QStringLiteral("7-12-2026 14-30-05");
}

void TestBackup::defaultName()
{
    QFETCH(QLocale, locale);
    QFETCH(QDateTime, now);
    QFETCH(QString, name);
    QCOMPARE(BackupNames::DefaultName(now, locale), name);
    QVERIFY(BackupNames::IsValidName(name));
    // Every backup made is one the restore dialog lists.
    QVERIFY(BackupNames::IsBackupEntry(BackupNames::DirectoryName(name)));
}

void TestBackup::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refusal"); // empty: a valid name
    QTest::newRow("date") << QStringLiteral("07-12-2026 14~30~05") << QString();
    QTest::newRow("words") << QStringLiteral("antes da troca") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("with a dot") << QStringLiteral("release 1.2") << Ponto;
    QTest::newRow("three dots") << QStringLiteral("...") << Ponto;
    QTest::newRow("dot") << QStringLiteral(".") << Ponto;
    QTest::newRow("dot dot") << QStringLiteral("..") << Ponto;
    const QString forbidden = BackupNames::ForbiddenCharacters();
    QCOMPARE(forbidden.size(), 9);
    for (const QChar c : forbidden)
        QTest::addRow("holds %c", c.toLatin1()) << (QStringLiteral("a") + c + QStringLiteral("b")) << Aviso;
    QTest::newRow("climbs out") << QStringLiteral("../../etc") << Aviso;
}

void TestBackup::names()
{
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    QCOMPARE(BackupNames::IsValidName(name), refusal.isEmpty());
    QCOMPARE(BackupNames::Refusal(name), refusal);
    QCOMPARE(BackupNames::DirectoryName(name), QStringLiteral("Bk ") + name);
    // A name taken is a backup the restore dialog lists.
    if (refusal.isEmpty())
        QVERIFY(BackupNames::IsBackupEntry(BackupNames::DirectoryName(name)));
}

void TestBackup::listBackups()
{
    TempHome home;
    make(home.path(),
        L({ "Bk 2/", "Bk 1/", "Old Bk 1/", "bk 1/", "BK 3/", "Bk release 1.2/", "Bkx/", "Bk notas", ".Bk oculto/",
            "Dados/", "colloqua.ini" }));
    QCOMPARE(BackupStore::ListBackups(home.path()), L({ "Bk 1", "Bk 2", "Bk notas", "Old Bk 1" }));
    QCOMPARE(BackupStore::ListBackups(home.path() + QStringLiteral("/nada")), QStringList());
}

void TestBackup::runCounter_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no settings file
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("due");
    QTest::addColumn<bool>("ask");
    const QByteArray on("[BACKUP]\r\nAUTO_BACKUP=1\r\nAUTO_BACKUP_CADA=3\r\n");
    QTest::newRow("5 to 6, every 3 runs") << on + "NUM_EXECUCOES=5\r\n" << 6 << true << false;
    QTest::newRow("4 to 5, not due") << on + "NUM_EXECUCOES=4\r\n" << 5 << false << false;
    QTest::newRow("asks for a name") << on + "NUM_EXECUCOES=5\r\nAUTO_BACKUP_TROCA=1\r\n" << 6 << true << true;
    QTest::newRow("wraps") << on + "NUM_EXECUCOES=2100100101\r\n" << 1 << false << false;
    QTest::newRow("reaches the top") << QByteArray("[BACKUP]\r\nNUM_EXECUCOES=2100100100\r\n") << 2100100101 << false
                                     << false;
    QTest::newRow("no settings file") << QByteArray() << 1 << false << false;
    QTest::newRow("switched off") << QByteArray("[BACKUP]\r\nAUTO_BACKUP=0\r\nAUTO_BACKUP_CADA=1\r\n") << 1 << false
                                  << false;
    QTest::newRow("default period 30") << QByteArray("[BACKUP]\r\nAUTO_BACKUP=1\r\nNUM_EXECUCOES=29\r\n") << 30 << true
                                       << false;
    QTest::newRow("period 0 never due") << QByteArray(
        "[BACKUP]\r\nAUTO_BACKUP=1\r\nAUTO_BACKUP_CADA=0\r\nNUM_EXECUCOES=5\r\n")
                                        << 6 << false << false;
    QTest::newRow("negative period never due")
        << QByteArray("[BACKUP]\r\nAUTO_BACKUP=1\r\nAUTO_BACKUP_CADA=-3\r\nNUM_EXECUCOES=5\r\n") << 6 << false << false;
}

void TestBackup::runCounter()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, count);
    QFETCH(bool, due);
    QFETCH(bool, ask);
    TempHome home;
    if (!ini.isEmpty())
        home.write(QStringLiteral("colloqua.ini"), ini);
    Settings settings(home.home());
    const BackupCommand::RunCount run = BackupCommand::ContarExecucao(settings);
    QCOMPARE(run.count, count);
    QCOMPARE(run.backupDue, due);
    QCOMPARE(run.askName, ask);
    QCOMPARE(settings.readInt(QStringLiteral("BACKUP"), QStringLiteral("NUM_EXECUCOES"), -1, -1), count);
}

void TestBackup::copyOrderAndProgress()
{
    TempHome home;
    make(home.path(), L({ "Dados/a.dbt=1", "Dados/b.dbt=22", "Dados/c.dbt=333", "Bk x/" }));
    TOrbFindFile finder;
    CopyRun run;
    run.Start(finder, home.file(QStringLiteral("Dados")), home.file(QStringLiteral("Bk x")));
    QCOMPARE(run.count(), 3);
    QStringList order;
    QList<int> positions;
    while (!run.atEnd()) {
        order << run.nextName();
        QVERIFY(run.CopyNext());
        positions << run.position();
    }
    QCOMPARE(order, L({ "c.dbt", "b.dbt", "a.dbt" }));
    QCOMPARE(positions, QList<int>({ 0, 1, 2 }));
    QCOMPARE(contents(home.file(QStringLiteral("Bk x/c.dbt"))), QByteArray("333"));
    QCOMPARE(entries(home.file(QStringLiteral("Bk x"))), L({ "a.dbt", "b.dbt", "c.dbt" }));
}

void TestBackup::copiedFiles_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QStringList>("copied");
    QTest::newRow("hidden and read-only files")
        << L({ ".oculto=h", "somente|ro", "usuarios.dbt" }) << L({ ".oculto", "somente", "usuarios.dbt" });
    QTest::newRow("no subdirectory") << L({ "sons/", "sons/toque.wav", "canais.dbt" }) << L({ "canais.dbt" });
    QTest::newRow("no fifo") << L({ "tubo|fifo", "hist_recv.dbt" }) << L({ "hist_recv.dbt" });
    QTest::newRow("no copy a crash cut off")
        << L({ ".colloqua-copy-Ab12Cd", "hist_send.dbt" }) << L({ "hist_send.dbt" });
    QTest::newRow("no leftover of a cut-off save")
        << L({ "ArvUsuarios.tv.QxTbRw", "hist_recv.dbt.aBcDeF", "swap.dbt", "ArvUsuarios.tv.antigo", "hist_send.dbt" })
        << L({ "ArvUsuarios.tv.antigo", "hist_send.dbt" });
    QTest::newRow("nothing") << QStringList() << QStringList();
}

void TestBackup::copiedFiles()
{
    QFETCH(QStringList, data);
    QFETCH(QStringList, copied);
    TempHome home;
    QVERIFY(home.home().ensureDataDir());
    make(home.home().dataDir(), data);
    make(home.path(), L({ "Bk x/" }));
    TOrbFindFile finder;
    CopyRun run;
    run.Start(finder, home.home().dataDir(), home.file(QStringLiteral("Bk x")));
    QVERIFY(run.CopyAll());
    QCOMPARE(entries(home.file(QStringLiteral("Bk x"))), copied);
    for (const QString& name : copied) {
        const QString source = home.home().dataFile(name);
        const QString target = home.file(QStringLiteral("Bk x/") + name);
        QCOMPARE(contents(target), contents(source));
        QCOMPARE(QFileInfo(target).permissions(), QFileInfo(source).permissions());
        QCOMPARE(QFileInfo(target).lastModified(), QFileInfo(source).lastModified());
    }
}

void TestBackup::copyReplacesReadOnlyFile()
{
    TempHome home;
    make(home.path(), L({ "Dados/x.dbt=novo", "Bk x/x.dbt=velho|ro" }));
    TOrbFindFile finder;
    CopyRun run;
    run.Start(finder, home.file(QStringLiteral("Dados")), home.file(QStringLiteral("Bk x")));
    QVERIFY(run.CopyAll());
    QCOMPARE(contents(home.file(QStringLiteral("Bk x/x.dbt"))), QByteArray("novo"));
    QCOMPARE(entries(home.file(QStringLiteral("Bk x"))), L({ "x.dbt" }));
}

void TestBackup::failedCopyStops()
{
    TempHome home;
    // A directory in the way of b.dbt: its copy fails, a.dbt is never reached.
    make(home.path(), L({ "Dados/a.dbt", "Dados/b.dbt", "Dados/c.dbt", "Bk x/b.dbt/" }));
    TOrbFindFile finder;
    CopyRun run;
    run.Start(finder, home.file(QStringLiteral("Dados")), home.file(QStringLiteral("Bk x")));
    QVERIFY(!run.CopyAll());
    QCOMPARE(run.nextName(), QStringLiteral("b.dbt"));
    QCOMPARE(entries(home.file(QStringLiteral("Bk x"))), L({ "b.dbt", "c.dbt" }));
    QVERIFY(QFileInfo(home.file(QStringLiteral("Bk x/b.dbt"))).isDir());
}

void TestBackup::restoreLeavesExtraFiles()
{
    TempHome home;
    make(home.path(), L({ "Bk x/hist_recv.dbt=antigo", "Dados/hist_recv.dbt=novo", "Dados/hist_send.dbt=extra" }));
    TOrbFindFile finder;
    CopyRun run;
    run.Start(finder, home.file(QStringLiteral("Bk x")), home.home().dataDir());
    QVERIFY(run.CopyAll());
    QCOMPARE(home.read(QStringLiteral("Dados/hist_recv.dbt")), QByteArray("antigo"));
    QCOMPARE(home.read(QStringLiteral("Dados/hist_send.dbt")), QByteArray("extra"));
}

void TestBackup::deleteBackup_data()
{
    QTest::addColumn<QStringList>("backup");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("files of every kind") << L({ "a.dbt", ".oculto", "somente|ro", "tubo|fifo" }) << true
                                         << QStringList();
    QTest::newRow("a subdirectory keeps it") << L({ "a.dbt", "sub/", "sub/b.dbt" }) << false << L({ "sub" });
    QTest::newRow("empty") << QStringList() << true << QStringList();
}

void TestBackup::deleteBackup()
{
    QFETCH(QStringList, backup);
    QFETCH(bool, removed);
    QFETCH(QStringList, left);
    TempHome home;
    const QString dir = home.file(QStringLiteral("Bk velho"));
    QVERIFY(QDir().mkpath(dir));
    make(dir, backup);
    TOrbFindFile finder;
    QCOMPARE(BackupStore::DeleteBackup(finder, dir), removed);
    QCOMPARE(QFileInfo::exists(dir), !removed);
    QCOMPARE(BackupStore::ListBackups(home.path()), removed ? QStringList() : L({ "Bk velho" }));
    if (!removed)
        QCOMPARE(entries(dir), left);
}

void TestBackup::renameBackup_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("date to words") << QStringLiteral("Bk 07-12-2026 14~30~05") << QStringLiteral("antes da troca")
                                   << L({ "Bk antes da troca", "Bk outro", "Old Bk 1" });
    QTest::newRow("Bk in the middle") << QStringLiteral("Old Bk 1") << QStringLiteral("antes da troca")
                                      << L({ "Bk 07-12-2026 14~30~05", "Bk antes da troca", "Bk outro" });
    QTest::newRow("name taken") << QStringLiteral("Old Bk 1") << QStringLiteral("outro")
                                << L({ "Bk 07-12-2026 14~30~05", "Bk outro", "Old Bk 1" });
    QTest::newRow("separator") << QStringLiteral("Old Bk 1") << QStringLiteral("../../fora")
                               << L({ "Bk 07-12-2026 14~30~05", "Bk outro", "Old Bk 1" });
    QTest::newRow("dot dot") << QStringLiteral("Old Bk 1") << QStringLiteral("..")
                             << L({ "Bk 07-12-2026 14~30~05", "Bk outro", "Old Bk 1" });
    QTest::newRow("missing entry") << QStringLiteral("Bk nada") << QStringLiteral("x")
                                   << L({ "Bk 07-12-2026 14~30~05", "Bk outro", "Old Bk 1" });
}

void TestBackup::renameBackup()
{
    QFETCH(QString, entry);
    QFETCH(QString, newName);
    QFETCH(QStringList, after);
    TempHome home;
    make(home.path(), L({ "Bk 07-12-2026 14~30~05/a.dbt", "Old Bk 1/", "Bk outro/" }));
    const QStringList before = BackupStore::ListBackups(home.path());
    QCOMPARE(BackupStore::RenameBackup(home.path(), entry, newName), before != after);
    QCOMPARE(BackupStore::ListBackups(home.path()), after);
    QVERIFY(!QFileInfo::exists(QFileInfo(home.path()).absolutePath() + QStringLiteral("/fora")));
}

void TestBackup::findBackup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("found");
    QTest::newRow("directory name") << QStringLiteral("Bk antes") << QStringLiteral("Bk antes");
    QTest::newRow("backup name") << QStringLiteral("antes") << QStringLiteral("Bk antes");
    QTest::newRow("Bk in the middle") << QStringLiteral("Old Bk 1") << QStringLiteral("Old Bk 1");
    QTest::newRow("not listed") << QStringLiteral("bk 1") << QString();
    QTest::newRow("data directory") << QStringLiteral("Dados") << QString();
    QTest::newRow("outside") << QStringLiteral("../Bk antes") << QString();
    QTest::newRow("nothing") << QStringLiteral("depois") << QString();
}

void TestBackup::findBackup()
{
    QFETCH(QString, name);
    QFETCH(QString, found);
    TempHome home;
    make(home.path(), L({ "Bk antes/", "Old Bk 1/", "bk 1/", "Dados/" }));
    QCOMPARE(BackupStore::FindBackup(home.path(), name), found);
}

void TestBackup::command_data()
{
    QTest::addColumn<QStringList>("before"); // entries of the home
    QTest::addColumn<bool>("ask");
    QTest::addColumn<QList<std::optional<QString>>>("names");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("prompts"); // "kind: text"
    QTest::addColumn<QString>("copiedTo"); // empty: no copy
    QTest::addColumn<QString>("title");

    using O = BackupCommand::Outcome;
    const QStringList data = L({ "Dados/usuarios.dbt=ANA" });
    const QString proposal = QStringLiteral("askText: Digite o nome para o backup\n07-12-2026 14~30~05");
    QTest::newRow("proposed name") << data << true
                                   << QList<std::optional<QString>> { QStringLiteral("07-12-2026 14~30~05") }
                                   << QList<bool>() << int(O::Copied) << QStringList { proposal }
                                   << QStringLiteral("Bk 07-12-2026 14~30~05")
                                   << QStringLiteral("Cópia de segurança...");
    QTest::newRow("typed name") << data << true << QList<std::optional<QString>> { QStringLiteral("antes da troca") }
                                << QList<bool>() << int(O::Copied) << QStringList { proposal }
                                << QStringLiteral("Bk antes da troca") << QStringLiteral("Cópia de segurança...");
    QTest::newRow("cancelled") << data << true << QList<std::optional<QString>> { std::nullopt } << QList<bool>()
                               << int(O::Cancelled) << QStringList { proposal } << QString() << QString();
    QTest::newRow("without asking") << data << false << QList<std::optional<QString>>() << QList<bool>()
                                    << int(O::Copied) << QStringList() << QStringLiteral("Bk 07-12-2026 14~30~05")
                                    << QStringLiteral("Cópia de segurança automática...");
    QTest::newRow("existing, No") << data + L({ "Bk 07-12-2026 14~30~05/usuarios.dbt=VELHO" }) << false
                                  << QList<std::optional<QString>>() << QList<bool> { false } << int(O::NotUpdated)
                                  << QStringList { QStringLiteral("confirm: ") + JaExiste } << QString() << QString();
    QTest::newRow("existing, Yes") << data + L({ "Bk 07-12-2026 14~30~05/usuarios.dbt=VELHO" }) << false
                                   << QList<std::optional<QString>>() << QList<bool> { true } << int(O::Copied)
                                   << QStringList { QStringLiteral("confirm: ") + JaExiste }
                                   << QStringLiteral("Bk 07-12-2026 14~30~05")
                                   << QStringLiteral("Cópia de segurança automática...");
    QTest::newRow("no data directory") << QStringList() << false << QList<std::optional<QString>>() << QList<bool>()
                                       << int(O::NothingToBackUp) << QStringList() << QString() << QString();
    QTest::newRow("empty data directory")
        << L({ "Dados/sub/x.dbt" }) << false << QList<std::optional<QString>>() << QList<bool>()
        << int(O::NothingToBackUp) << QStringList() << QString() << QString();
    QTest::newRow("a file in the way") << data + L({ "Bk 07-12-2026 14~30~05" }) << false
                                       << QList<std::optional<QString>>() << QList<bool>() << int(O::CannotCreate)
                                       << QStringList { QStringLiteral(
                                              "message: Não foi possível criar o diretório para cópia de segurança.") }
                                       << QString() << QString();
}

void TestBackup::command()
{
    QFETCH(QStringList, before);
    QFETCH(bool, ask);
    QFETCH(QList<std::optional<QString>>, names);
    QFETCH(QList<bool>, answers);
    QFETCH(int, outcome);
    QFETCH(QStringList, prompts);
    QFETCH(QString, copiedTo);
    QFETCH(QString, title);

    TempHome home;
    make(home.path(), before);
    FakeClock clock;
    QueuedPrompter prompter;
    for (const std::optional<QString>& name : names)
        prompter.queueText(name);
    for (const bool yes : answers)
        prompter.queueConfirm(yes);
    const QStringList homeBefore = entries(home.path());
    TOrbFindFile finder;
    BackupCommand command(home.home(), finder, prompter, clock, PtBr);
    QList<Copied> copies;
    const auto result = command.CopiaSeguranca(
        QStringLiteral("Backup"), ask, [&](const QString& source, const QString& target, const QString& caption) {
            copies.append({ source, target, caption });
            CopyRun run;
            run.Start(finder, source, target);
            return run.CopyAll();
        });
    QCOMPARE(int(result), outcome);
    QStringList shown;
    for (const QueuedPrompter::Asked& asked : prompter.asked()) {
        shown << asked.what + QStringLiteral(": ") + asked.text;
        QCOMPARE(asked.title,
            asked.what == QLatin1String("askText") ? QStringLiteral("Backup") : QStringLiteral("Colloqua"));
    }
    QCOMPARE(shown, prompts);
    if (copiedTo.isEmpty()) {
        QVERIFY(copies.isEmpty());
        QCOMPARE(entries(home.path()), homeBefore);
        if (homeBefore.contains(QStringLiteral("Bk 07-12-2026 14~30~05"))
            && QFileInfo(home.file(QStringLiteral("Bk 07-12-2026 14~30~05"))).isDir())
            QCOMPARE(home.read(QStringLiteral("Bk 07-12-2026 14~30~05/usuarios.dbt")), QByteArray("VELHO"));
        return;
    }
    QCOMPARE(copies.size(), 1);
    QCOMPARE(copies.first().source, home.home().dataDir());
    QCOMPARE(copies.first().target, home.home().ProgramDir() + copiedTo);
    QCOMPARE(copies.first().title, title);
    QCOMPARE(home.read(copiedTo + QStringLiteral("/usuarios.dbt")), QByteArray("ANA"));
}

void TestBackup::refusedNameAskedAgain()
{
    TempHome home;
    make(home.path(), L({ "Dados/usuarios.dbt" }));
    FakeClock clock;
    TickingPrompter prompter(clock);
    prompter.queued.queueText(QStringLiteral("14:30"));
    prompter.queued.queueText(QStringLiteral("a/b"));
    prompter.queued.queueText(QStringLiteral(".."));
    prompter.queued.queueText(std::nullopt);
    TOrbFindFile finder;
    BackupCommand command(home.home(), finder, prompter, clock, PtBr);
    bool copied = false;
    const auto result = command.CopiaSeguranca(QStringLiteral("Backup automático"), true,
        [&](const QString&, const QString&, const QString&) { return copied = true; });
    QCOMPARE(result, BackupCommand::Outcome::Cancelled);
    QVERIFY(!copied);
    const QString label = QStringLiteral("Digite o nome para o backup\n");
    QCOMPARE(prompter.queued.texts(),
        QStringList({ label + QStringLiteral("07-12-2026 14~30~05"), Aviso,
            label + QStringLiteral("07-12-2026 14~31~06"), Aviso, label + QStringLiteral("07-12-2026 14~32~07"), Ponto,
            label + QStringLiteral("07-12-2026 14~33~08") }));
    QCOMPARE(prompter.queued.asked().at(0).title, QStringLiteral("Backup automático"));
    QCOMPARE(prompter.queued.asked().at(1).kind, Prompter::Kind::Warning);
    QCOMPARE(entries(home.path()), L({ "Dados" }));
}

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
