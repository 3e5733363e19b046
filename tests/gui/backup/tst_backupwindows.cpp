#include "backupnames.h"
#include "backupstore.h"
#include "copyanimation.h"
#include "historyfiles.h"
#include "menus.h"
#include "teststation.h"
#include "tformcopy.h"
#include "tformmain.h"
#include "tformrestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace
{
const QString Backup = QStringLiteral("BACKUP");
const QString Aviso = QStringLiteral("Um nome de arquivo ou diretório não pode conter qualquer um dos caracteres "
                                     "seguintes:\r\\/:*?\"<>|");

QStringList L(std::initializer_list<const char*> names)
{
    QStringList out;
    for (const char* n : names)
        out << QString::fromUtf8(n);
    return out;
}

// "x/" a directory, "x=text" a file with that text, any other entry a file holding its name.
void make(const TempHome& home, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (entry.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkpath(home.file(entry)));
            continue;
        }
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        home.write(entry.left(eq), eq < 0 ? entry.toUtf8() : entry.mid(eq + 1).toUtf8());
    }
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList listed(const TFormRestore& restore)
{
    QStringList names;
    for (int row = 0; row < restore.ListBox()->count(); ++row)
        names << restore.ListBox()->item(row)->text();
    return names;
}

QString prompts(QueuedPrompter& prompter)
{
    QStringList shown;
    for (const QueuedPrompter::Asked& asked : prompter.asked())
        shown << asked.what + QLatin1Char(' ') + asked.title + QStringLiteral(": ") + asked.text;
    return shown.join(QLatin1Char('|'));
}
} // namespace

class TestBackupWindows final : public QObject
{
    Q_OBJECT

private slots:
    void copyOneFilePerTick();
    void copyInterval_data();
    void copyInterval();
    void copyFailureStops();
    void closingEndsTheRun();
    void restoreList();
    void restoreAsksFirst_data();
    void restoreAsksFirst();
    void emptyListDoesNothing();
    void deleteWithDeleteKey();
    void renameByDoubleClick_data();
    void renameByDoubleClick();
    void backupFromTheMenu();
    void backupTwiceAsks();
    void restoreFromTheMenu();
    void exitSequence_data();
    void exitSequence();
};

void TestBackupWindows::copyOneFilePerTick()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(Backup, QStringLiteral("BACKUP_DELAY"), SettingInteger, 1);
    make(a.home(), L({ "Dados/a.dbt", "Dados/b.dbt", "Dados/c.dbt", "Bk x/" }));
    TFormCopy& copy = a.station().FormCopy();
    QStringList seen;
    QObject::connect(&copy, &TFormCopy::fileCopied, &copy, [&](const QString& name) {
        QVERIFY(copy.isVisible());
        QVERIFY(copy.Animacao()->isRunning());
        seen << QStringLiteral("%1 %2 %3").arg(name, copy.LbNomeArq()->text()).arg(copy.ProgressBar()->value());
    });
    QVERIFY(copy.Copiar(a.home().home().dataDir(), a.home().file(QStringLiteral("Bk x")), QStringLiteral("Título")));
    QCOMPARE(seen, L({ "c.dbt c.dbt 0", "b.dbt b.dbt 1", "a.dbt a.dbt 2" }));
    QCOMPARE(copy.ProgressBar()->maximum(), 2);
    QCOMPARE(copy.windowTitle(), QStringLiteral("Título"));
    QVERIFY(!copy.isVisible());
    QVERIFY(!copy.Animacao()->isRunning());
    QVERIFY(!copy.TimerCopy()->isActive());
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk x"))), L({ "a.dbt", "b.dbt", "c.dbt" }));
    QCOMPARE(a.home().read(QStringLiteral("Bk x/b.dbt")), QByteArray("Dados/b.dbt"));
    QVERIFY(a.queued().asked().isEmpty());
}

void TestBackupWindows::copyInterval_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no settings file
    QTest::addColumn<int>("interval");
    QTest::newRow("no settings file: 50 ms") << QByteArray() << 50;
    QTest::newRow("default 100 ms") << QByteArray("[SETUP]\r\n") << 100;
    QTest::newRow("250 ms") << QByteArray("[BACKUP]\r\nBACKUP_DELAY=250\r\n") << 250;
    QTest::newRow("0 taken as 1") << QByteArray("[BACKUP]\r\nBACKUP_DELAY=0\r\n") << 1;
    QTest::newRow("negative taken as 1") << QByteArray("[BACKUP]\r\nBACKUP_DELAY=-40\r\n") << 1;
}

void TestBackupWindows::copyInterval()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, interval);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    if (!ini.isEmpty())
        a.home().write(QStringLiteral("colloqua.ini"), ini);
    make(a.home(), L({ "Bk x/" }));
    TFormCopy& copy = a.station().FormCopy();
    // No file to copy: the window closes on its first tick.
    QVERIFY(copy.Copiar(a.home().home().dataDir(), a.home().file(QStringLiteral("Bk x")), QString()));
    QCOMPARE(copy.TimerCopy()->interval(), interval);
    QVERIFY(entries(a.home().file(QStringLiteral("Bk x"))).isEmpty());
}

void TestBackupWindows::copyFailureStops()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(Backup, QStringLiteral("BACKUP_DELAY"), SettingInteger, 1);
    // A directory stands where b.dbt would go.
    make(a.home(), L({ "Dados/a.dbt", "Dados/b.dbt", "Dados/c.dbt", "Bk x/b.dbt/" }));
    TFormCopy& copy = a.station().FormCopy();
    QVERIFY(!copy.Copiar(a.home().home().dataDir(), a.home().file(QStringLiteral("Bk x")), QString()));
    QCOMPARE(prompts(a.queued()), QStringLiteral("message Colloqua: Problemas ao efetuar a copia dos arquivos."));
    QCOMPARE(a.queued().asked().first().kind, Prompter::Kind::Warning);
    QCOMPARE(copy.LbNomeArq()->text(), QStringLiteral("b.dbt"));
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk x"))), L({ "b.dbt", "c.dbt" }));
    QVERIFY(!copy.isVisible());
    QVERIFY(!copy.Animacao()->isRunning());
}

void TestBackupWindows::closingEndsTheRun()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(Backup, QStringLiteral("BACKUP_DELAY"), SettingInteger, 1);
    make(a.home(), L({ "Dados/a.dbt", "Dados/b.dbt", "Dados/c.dbt", "Bk x/" }));
    TFormCopy& copy = a.station().FormCopy();
    QObject::connect(&copy, &TFormCopy::fileCopied, &copy, [&] { copy.close(); });
    QVERIFY(!copy.Copiar(a.home().home().dataDir(), a.home().file(QStringLiteral("Bk x")), QString()));
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk x"))), L({ "c.dbt" }));
    QVERIFY(!copy.TimerCopy()->isActive());
    QVERIFY(!copy.Animacao()->isRunning());
    QVERIFY(a.queued().asked().isEmpty());
}

void TestBackupWindows::restoreList()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    make(a.home(), L({ "Bk 1/", "Bk 2/", "Old Bk 1/", "bk 1/", "Bk release 1.2/", "Bk notas" }));
    TFormRestore& restore = a.station().FormRestore();
    restore.setDirBase(a.tools().ProgramDir());
    restore.setDirDados(a.home().home().dataDir());
    restore.show();
    QCOMPARE(listed(restore), L({ "Bk 1", "Bk 2", "Bk notas", "Old Bk 1" }));
    QCOMPARE(restore.ListBox()->currentRow(), 3);
    QVERIFY(restore.ListBox()->currentItem()->isSelected());
    QCOMPARE(restore.ListBox()->font().family(), QStringLiteral("Courier"));
    QVERIFY(restore.ListBox()->font().fixedPitch());
    QCOMPARE(restore.ListBox()->font().pixelSize(), 13);
    restore.reject();

    // Each opening reads the disk again.
    make(a.home(), L({ "Bk 3/" }));
    restore.show();
    QCOMPARE(listed(restore).size(), 5);
    QCOMPARE(restore.ListBox()->currentItem()->text(), QStringLiteral("Old Bk 1"));
    restore.reject();
}

void TestBackupWindows::restoreAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("status"); // of the logon before the restore; empty: logged off
    QTest::newRow("Yes restores and closes") << true << QString();
    QTest::newRow("No keeps the dialog") << false << QString();
    QTest::newRow("Yes while logged on: logged on again with the restored tree") << true << QStringLiteral("AU");
}

void TestBackupWindows::restoreAsksFirst()
{
    QFETCH(bool, yes);
    QFETCH(QString, status);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(Backup, QStringLiteral("BACKUP_DELAY"), SettingInteger, 1);
    make(a.home(),
        L({ "Bk antes/hist_recv.dbt=antigo", "Bk antes/usuarios.dbt=ANA", "Bk antes/ArvUsuarios.tv='BIA (pc-b)\r\n",
            "Bk outro/hist_recv.dbt=outro", "Dados/hist_recv.dbt=novo", "Dados/hist_send.dbt=extra",
            "Dados/ArvUsuarios.tv='CAIO (pc-c)\r\n" }));
    if (!status.isEmpty())
        a.com().Conectar(QStringLiteral("ANA"), QStringLiteral("NETWORK"), status);
    TFormRestore& restore = a.station().FormRestore();
    restore.setDirBase(a.tools().ProgramDir());
    restore.setDirDados(a.home().home().dataDir());
    restore.show();
    restore.ListBox()->setCurrentRow(0);
    a.queued().queueConfirm(yes);
    QString copyTitle;
    QObject::connect(&a.station().FormCopy(), &TFormCopy::fileCopied, &restore,
        [&] { copyTitle = a.station().FormCopy().windowTitle(); });
    QTest::mouseClick(restore.ButRestaurar(), Qt::LeftButton);
    QCOMPARE(prompts(a.queued()),
        QStringLiteral("confirm Colloqua: Confirma restauração dos arquivos apartir do Backup selecionado\nBk antes"));
    QCOMPARE(restore.isVisible(), !yes);
    QCOMPARE(a.home().read(QStringLiteral("Dados/hist_recv.dbt")), yes ? QByteArray("antigo") : QByteArray("novo"));
    QCOMPARE(a.home().read(QStringLiteral("Dados/hist_send.dbt")), QByteArray("extra"));
    QStringList present = entries(a.home().home().dataDir());
    present.removeOne(QStringLiteral("canais.dbt")); // written by the logon
    QCOMPARE(present,
        yes ? L({ "ArvUsuarios.tv", "hist_recv.dbt", "hist_send.dbt", "usuarios.dbt" })
            : L({ "ArvUsuarios.tv", "hist_recv.dbt", "hist_send.dbt" }));
    QCOMPARE(copyTitle, yes ? QStringLiteral("Restaurando...") : QString());
    restore.reject();
    QCOMPARE(a.com().EstaConectado() ? a.com().UsuarioAtual() + QLatin1Char(' ') + a.com().StatusAtual() : QString(),
        status.isEmpty() ? QString() : QStringLiteral("ANA ") + status);
    // The tree the session writes back at logoff is the restored one.
    a.com().Desconectar();
    QCOMPARE(a.treeFileLines(), QStringList { yes ? QStringLiteral("'BIA (pc-b)") : QStringLiteral("'CAIO (pc-c)") });
}

void TestBackupWindows::emptyListDoesNothing()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormRestore& restore = a.station().FormRestore();
    restore.setDirBase(a.tools().ProgramDir());
    restore.setDirDados(a.home().home().dataDir());
    restore.show();
    QCOMPARE(restore.ListBox()->count(), 0);
    QTest::mouseClick(restore.ButRestaurar(), Qt::LeftButton);
    QTest::keyClick(restore.ListBox(), Qt::Key_Delete);
    QTest::mouseClick(restore.ListBox()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(restore.ListBox()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCoreApplication::processEvents();
    QVERIFY(a.queued().asked().isEmpty());
    QVERIFY(restore.isVisible());
    QTest::mouseClick(restore.ButCancela(), Qt::LeftButton);
    QVERIFY(!restore.isVisible());
}

void TestBackupWindows::deleteWithDeleteKey()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    make(a.home(), L({ "Bk 1/a.dbt", "Bk 1/.oculto", "Bk 2/a.dbt", "Bk 2/sub/b.dbt" }));
    TFormRestore& restore = a.station().FormRestore();
    restore.setDirBase(a.tools().ProgramDir());
    restore.setDirDados(a.home().home().dataDir());
    restore.show();

    // No keeps everything.
    restore.ListBox()->setCurrentRow(0);
    QTest::keyClick(restore.ListBox(), Qt::Key_Delete);
    QCOMPARE(prompts(a.queued()),
        QStringLiteral("confirm Colloqua: Confirma a deleção dos arquivos de Backup selecionado\nBk 1"));
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk 1"))), L({ ".oculto", "a.dbt" }));

    a.queued().queueConfirm(true);
    QTest::keyClick(restore.ListBox(), Qt::Key_Delete);
    QVERIFY(!QFileInfo::exists(a.home().file(QStringLiteral("Bk 1"))));
    QCOMPARE(listed(restore), L({ "Bk 2" }));

    // A subdirectory keeps the directory, and with it the entry.
    restore.ListBox()->setCurrentRow(0);
    a.queued().queueConfirm(true);
    QTest::keyClick(restore.ListBox(), Qt::Key_Delete);
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk 2"))), L({ "sub" }));
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk 2/sub"))), L({ "b.dbt" }));
    QCOMPARE(listed(restore), L({ "Bk 2" }));
    QVERIFY(restore.isVisible());
    restore.reject();
}

void TestBackupWindows::renameByDoubleClick_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<std::optional<QString>>("typed");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<bool>("warned");
    QTest::newRow("date to words") << QStringLiteral("Bk 07-12-2026 14~30~05")
                                   << std::optional<QString>(QStringLiteral("antes da troca"))
                                   << L({ "Bk antes da troca", "Old Bk 1" }) << false;
    QTest::newRow("Bk in the middle") << QStringLiteral("Old Bk 1")
                                      << std::optional<QString>(QStringLiteral("antes da troca"))
                                      << L({ "Bk 07-12-2026 14~30~05", "Bk antes da troca" }) << false;
    QTest::newRow("cancelled") << QStringLiteral("Old Bk 1") << std::optional<QString>()
                               << L({ "Bk 07-12-2026 14~30~05", "Old Bk 1" }) << false;
    QTest::newRow("name taken") << QStringLiteral("Old Bk 1")
                                << std::optional<QString>(QStringLiteral("07-12-2026 14~30~05"))
                                << L({ "Bk 07-12-2026 14~30~05", "Old Bk 1" }) << false;
    QTest::newRow("leaves the home") << QStringLiteral("Old Bk 1")
                                     << std::optional<QString>(QStringLiteral("../../fora"))
                                     << L({ "Bk 07-12-2026 14~30~05", "Old Bk 1" }) << true;
    QTest::newRow("dot dot") << QStringLiteral("Old Bk 1") << std::optional<QString>(QStringLiteral(".."))
                             << L({ "Bk 07-12-2026 14~30~05", "Old Bk 1" }) << true;
    QTest::newRow("colon") << QStringLiteral("Old Bk 1") << std::optional<QString>(QStringLiteral("14:30"))
                           << L({ "Bk 07-12-2026 14~30~05", "Old Bk 1" }) << true;
    QTest::newRow("a dot would hide it") << QStringLiteral("Old Bk 1") << std::optional<QString>(QStringLiteral("v1.2"))
                                         << L({ "Bk 07-12-2026 14~30~05", "Old Bk 1" }) << true;
}

void TestBackupWindows::renameByDoubleClick()
{
    QFETCH(QString, selected);
    QFETCH(std::optional<QString>, typed);
    QFETCH(QStringList, after);
    QFETCH(bool, warned);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    make(a.home(), L({ "Bk 07-12-2026 14~30~05/a.dbt", "Old Bk 1/" }));
    TFormRestore& restore = a.station().FormRestore();
    restore.setDirBase(a.tools().ProgramDir());
    restore.setDirDados(a.home().home().dataDir());
    restore.show();
    QListWidgetItem* item = restore.ListBox()->findItems(selected, Qt::MatchExactly).value(0);
    QVERIFY(item);
    restore.ListBox()->setCurrentItem(item);
    a.queued().queueText(typed);
    const QPoint centre = restore.ListBox()->visualItemRect(item).center();
    QTest::mouseClick(restore.ListBox()->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(restore.ListBox()->viewport(), Qt::LeftButton, {}, centre);
    QTRY_VERIFY(!a.queued().asked().isEmpty());
    QCOMPARE(a.queued().asked().first().what, QStringLiteral("askText"));
    QCOMPARE(a.queued().asked().first().title, QStringLiteral("Renomear"));
    QCOMPARE(a.queued().asked().first().text, QStringLiteral("Renomear backup\n") + selected.mid(3));
    QCOMPARE(a.queued().asked().size(), warned ? 2 : 1);
    if (warned)
        QCOMPARE(a.queued().asked().at(1).text, BackupNames::Refusal(*typed));
    QCOMPARE(listed(restore), after);
    QVERIFY(!QFileInfo::exists(QFileInfo(a.home().path()).absolutePath() + QStringLiteral("/fora")));
    if (after.contains(QStringLiteral("Bk antes da troca")) && selected.startsWith(QLatin1String("Bk 07")))
        QCOMPARE(entries(a.home().file(QStringLiteral("Bk antes da troca"))), L({ "a.dbt" }));
    restore.reject();
}

void TestBackupWindows::backupFromTheMenu()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(Backup, QStringLiteral("BACKUP_DELAY"), SettingInteger, 1);
    make(a.home(), L({ "Dados/usuarios.dbt=ANA", "Dados/canais.dbt=NETWORK" }));
    bool dialogoAberto = false;
    a.prompter().onPrompt = [&] { dialogoAberto = a.tools().DialogoAberto(); };
    // A name with ":" is refused and the prompt comes back with a fresh proposal.
    a.queued().queueText(QStringLiteral("14:30"));
    a.queued().queueText(QStringLiteral("antes da troca"));
    QString copyTitle;
    QObject::connect(&a.station().FormCopy(), &TFormCopy::fileCopied, &a.station().FormCopy(),
        [&] { copyTitle = a.station().FormCopy().windowTitle(); });
    QAction* entry = menuEntry(a.com().menuBar(), QStringLiteral("Backup"));
    QVERIFY(entry && entry->isEnabled());
    entry->trigger();
    const QList<QueuedPrompter::Asked>& asked = a.queued().asked();
    QCOMPARE(asked.size(), 3);
    QCOMPARE(asked.at(0).title, QStringLiteral("Backup"));
    QVERIFY(asked.at(0).text.startsWith(QStringLiteral("Digite o nome para o backup\n")));
    QVERIFY(!asked.at(0).text.contains(QLatin1Char(':')));
    QCOMPARE(asked.at(1).text, Aviso);
    QCOMPARE(asked.at(2).title, QStringLiteral("Backup"));
    QVERIFY(!asked.at(2).text.contains(QStringLiteral("14:30")));
    QVERIFY(dialogoAberto);
    QVERIFY(!a.tools().DialogoAberto());
    QCOMPARE(copyTitle, QStringLiteral("Cópia de segurança..."));
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk antes da troca"))), L({ "canais.dbt", "usuarios.dbt" }));
    QCOMPARE(a.home().read(QStringLiteral("Bk antes da troca/usuarios.dbt")), QByteArray("ANA"));
}

void TestBackupWindows::backupTwiceAsks()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.setting(Backup, QStringLiteral("BACKUP_DELAY"), SettingInteger, 1);
    make(a.home(), L({ "Dados/usuarios.dbt=ANA" }));
    a.queued().queueText(QStringLiteral("noite"));
    a.com().MenuBackupClick();
    QCOMPARE(a.home().read(QStringLiteral("Bk noite/usuarios.dbt")), QByteArray("ANA"));

    make(a.home(), L({ "Dados/usuarios.dbt=BRUNO", "Dados/canais.dbt" }));
    a.queued().clear();
    a.queued().queueText(QStringLiteral("noite"));
    a.queued().queueConfirm(false);
    a.com().MenuBackupClick();
    QCOMPARE(a.queued().asked().size(), 2);
    QCOMPARE(a.queued().asked().at(1).what, QStringLiteral("confirm"));
    QCOMPARE(a.queued().asked().at(1).text,
        QStringLiteral("O nome da cópia de segurança já existe. \rConfirma a atualização da mesma?"));
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk noite"))), L({ "usuarios.dbt" }));
    QCOMPARE(a.home().read(QStringLiteral("Bk noite/usuarios.dbt")), QByteArray("ANA"));

    a.queued().queueText(QStringLiteral("noite"));
    a.queued().queueConfirm(true);
    a.com().MenuBackupClick();
    QCOMPARE(entries(a.home().file(QStringLiteral("Bk noite"))), L({ "canais.dbt", "usuarios.dbt" }));
    QCOMPARE(a.home().read(QStringLiteral("Bk noite/usuarios.dbt")), QByteArray("BRUNO"));
}

void TestBackupWindows::restoreFromTheMenu()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    make(a.home(), L({ "Bk 1/" }));
    QAction* entry = menuEntry(a.com().menuBar(), QStringLiteral("Restore"));
    QVERIFY(entry && entry->isEnabled());
    TFormRestore& restore = a.station().FormRestore();
    QStringList seen;
    bool dialogoAberto = false;
    QTimer::singleShot(0, &restore, [&] {
        seen = listed(restore);
        dialogoAberto = a.tools().DialogoAberto();
        restore.reject();
    });
    entry->trigger();
    QCOMPARE(seen, L({ "Bk 1" }));
    QVERIFY(dialogoAberto);
    QVERIFY(!a.tools().DialogoAberto());
}

void TestBackupWindows::exitSequence_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QList<std::optional<QString>>>("names");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<QString>("messages");
    const QByteArray on("[BACKUP]\r\nAUTO_BACKUP=1\r\nAUTO_BACKUP_CADA=3\r\nBACKUP_DELAY=1\r\n");
    QTest::newRow("one short of the period") << on + "NUM_EXECUCOES=2\r\n"
                                             << QList<std::optional<QString>>() << 3 << true << QString();
    QTest::newRow("not due") << on + "NUM_EXECUCOES=3\r\n"
                             << QList<std::optional<QString>>() << 4 << false << QString();
    QTest::newRow("period 0") << QByteArray("[BACKUP]\r\nAUTO_BACKUP=1\r\nAUTO_BACKUP_CADA=0\r\nNUM_EXECUCOES=2\r\n")
                              << QList<std::optional<QString>>() << 3 << false << QString();
    QTest::newRow("wraps") << on + "NUM_EXECUCOES=2100100101\r\n"
                           << QList<std::optional<QString>>() << 1 << false << QString();
    // The name is asked for; "Bk falha" is in the way, so the copy fails and the run still ends.
    QTest::newRow("failed automatic backup") << on + "NUM_EXECUCOES=5\r\nAUTO_BACKUP_TROCA=1\r\n"
                                             << QList<std::optional<QString>> { QStringLiteral("falha") } << 6 << false
                                             << QStringLiteral("Problemas ao efetuar a copia dos arquivos.");
}

void TestBackupWindows::exitSequence()
{
    QFETCH(QByteArray, ini);
    QFETCH(QList<std::optional<QString>>, names);
    QFETCH(int, count);
    QFETCH(bool, backup);
    QFETCH(QString, messages);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.home().write(QStringLiteral("colloqua.ini"), ini);
    make(a.home(), L({ "Dados/usuarios.dbt=ANA", "Dados/canais.dbt=NETWORK", "Bk falha/usuarios.dbt/" }));
    for (const std::optional<QString>& name : names)
        a.queued().queueText(name);
    if (!names.isEmpty())
        a.queued().queueConfirm(true);
    a.setting(QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_ARQHIST"), SettingInteger, 2);
    const HistoryFiles& history = a.tools().history();
    for (int i = 1; i <= 5; ++i) {
        history.AppendReceived(QStringLiteral("recebida %1").arg(i));
        history.AppendSent(QStringLiteral("enviada %1").arg(i));
    }
    a.com().Conectar(QStringLiteral("ANA"), QStringLiteral("NETWORK"), QStringLiteral("ON"));
    QVERIFY(a.com().EstaConectado());
    const QStringList before = entries(a.home().path());

    QSignalSpy ended(&a.station(), &Station::endRequested);
    QAction* fechar = menuEntry(a.station().FormMain().oPopUpMenu(), QStringLiteral(" Fechar Aplicativo"));
    QVERIFY(fechar);
    fechar->trigger();

    QCOMPARE(ended.count(), 1);
    QVERIFY(!a.com().EstaConectado());
    QCOMPARE(a.readSetting(Backup, QStringLiteral("NUM_EXECUCOES"), SettingInteger).toInt(), count);
    // Both histories are trimmed before the backup is made.
    QCOMPARE(HistoryFiles::ReadHistoryRecords(history.receivedPath()).size(), 2);
    QCOMPARE(HistoryFiles::ReadHistoryRecords(history.sentPath()).size(), 2);
    QStringList made = entries(a.home().path());
    for (const QString& entry : before)
        made.removeOne(entry);
    QCOMPARE(made.size(), backup ? 1 : 0);
    if (backup) {
        QVERIFY(made.first().startsWith(QStringLiteral("Bk ")));
        QCOMPARE(BackupStore::ListBackups(a.tools().ProgramDir()).count(made.first()), 1);
        QCOMPARE(entries(a.home().file(made.first())), entries(a.home().home().dataDir()));
        QCOMPARE(a.home().read(made.first() + QStringLiteral("/usuarios.dbt")), QByteArray("ANA"));
        for (const QString& file : { QStringLiteral("hist_recv.dbt"), QStringLiteral("hist_send.dbt") })
            QCOMPARE(
                a.home().read(made.first() + QLatin1Char('/') + file), a.home().read(QStringLiteral("Dados/") + file));
    }
    QStringList shown;
    for (const QueuedPrompter::Asked& asked : a.queued().asked()) {
        if (asked.what == QLatin1String("message"))
            shown << asked.text;
    }
    QCOMPARE(shown.join(QLatin1Char('|')), messages);
}

QTEST_MAIN(TestBackupWindows)
#include "tst_backupwindows.moc"
