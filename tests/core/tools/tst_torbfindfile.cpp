#include "torbfindfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using Attr = TOrbFindFile::TAttrOption;
using Attrs = TOrbFindFile::TAttrOptions;

namespace
{
constexpr Attrs AllAttrs { Attr::ffReadOnly, Attr::ffHidden, Attr::ffSystem, Attr::ffVolumeID, Attr::ffDirectory,
    Attr::ffArchive };

// Builds entries under `root`: "d/" a directory, "f" a file holding "x", "f=text" a file holding
// text, "x|ro" without write permission, "p|fifo" a fifo, "l->target" a symbolic link.
void makeTree(const QString& root, const QStringList& entries)
{
    for (QString entry : entries) {
        bool readOnly = false;
        if (entry.endsWith(QLatin1String("|ro"))) {
            readOnly = true;
            entry.chop(3);
        }
        QString path = root + QLatin1Char('/') + entry;
        if (const qsizetype arrow = entry.indexOf(QLatin1String("->")); arrow >= 0) {
            path = root + QLatin1Char('/') + entry.left(arrow);
            QVERIFY(QFile::link(entry.mid(arrow + 2), path));
        } else if (entry.endsWith(QLatin1String("|fifo"))) {
            path.chop(5);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        } else if (entry.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QByteArray content("x");
            if (const qsizetype eq = path.indexOf(QLatin1Char('=')); eq >= 0) {
                content = path.mid(eq + 1).toUtf8();
                path.truncate(eq);
            }
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        if (readOnly)
            QVERIFY(
                QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ReadOther));
    }
}

QStringList L(std::initializer_list<const char*> names)
{
    QStringList out;
    for (const char* n : names)
        out << QString::fromUtf8(n);
    return out;
}

QStringList prefixed(const QString& root, const QStringList& relative)
{
    QStringList out;
    for (const QString& r : relative)
        out << root + QLatin1Char('/') + r;
    return out;
}

// Results must stay index-aligned whatever was found.
void verifyAligned(const TOrbFindFile& f)
{
    QCOMPARE(f.InfoSize_Files().size(), f.InfoName_Files().size());
    QCOMPARE(f.InfoDate_Files().size(), f.InfoName_Files().size());
    QCOMPARE(f.InfoAttr_Files().size(), f.InfoName_Files().size());
}
} // namespace

class TestTOrbFindFile : public QObject
{
    Q_OBJECT

private slots:
    void publishedDefaults()
    {
        TOrbFindFile f;
        QCOMPARE(f.property("Recurse").toBool(), false);
        QCOMPARE(f.property("Diretorio").toString(), QString());
        QCOMPARE(f.property("Filtros").toString(), QStringLiteral("*.*"));
        QCOMPARE(f.property("Atributos").value<Attrs>().toInt(), 1 + 2 + 4 + 32);
        QVERIFY(f.setProperty("Filtros", QStringLiteral("*.dbt")));
        QCOMPARE(f.Filtros(), QStringLiteral("*.dbt"));
    }

    void matchesPattern_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        const auto row = [](const char* p, const char* n, bool m) {
            QTest::addRow("%s ~ %s", p, n) << QString::fromUtf8(p) << QString::fromUtf8(n) << m;
        };
        row("*.*", "a.b", true);
        row("*.*", "LEIAME", true);
        row("*.*", ".oculto", true);
        row("*.*", "a.b.c", true);
        row("*", "a.b", true);
        row("*.dbt", "x.dbt", true);
        row("*.dbt", "X.DBT", true);
        row("*.dbt", "a.b.dbt", true);
        row("*.dbt", "x.dbt.bak", false);
        row("*.dbt", "x.dbtx", false);
        row("*.dbt", "dbt", false);
        row("*.", "LEIAME", true);
        row("*.", "a.b", false);
        row("foo.*", "foo", true);
        row("foo.*", "FOO.txt", true);
        row("foo.*", "foobar", false);
        row("a?c", "abc", true);
        row("a?c", "ac", false);
        row("a?c", "a.c", false);
        row("ab?", "ab", true);
        row("???.txt", "ab.txt", true);
        row("Bk *", "bk 1", true);
        row("Bk *", "Old Bk 1", false);
        row("[a].txt", "[a].txt", true);
        row("[a].txt", "a.txt", false);
        row("ação.*", "AÇÃO.TXT", true);
        row("", "a", false);
        row("*", "", true);
        row("sub/*", "sub", false);
    }
    void matchesPattern()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(TOrbFindFile::MatchesPattern(name, pattern), matches);
    }

    void execute_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("dir"); // appended to the temporary directory
        QTest::addColumn<QString>("filtros");
        QTest::addColumn<bool>("recurse");
        QTest::addColumn<Attrs>("atributos");
        QTest::addColumn<QStringList>("expected"); // relative to the temporary directory

        const Attrs def = TOrbFindFile::DefaultAtributos;
        const QString all = QStringLiteral("*.*");
        const QStringList threeAndSub { QStringLiteral("a.txt"), QStringLiteral("b.dbt"), QStringLiteral("c.tv"),
            QStringLiteral("sub/"), QStringLiteral("sub/d.txt") };
        const QStringList tree { QStringLiteral("x.txt"), QStringLiteral("a/"), QStringLiteral("a/a1.txt"),
            QStringLiteral("a/deep/"), QStringLiteral("a/deep/d.txt"), QStringLiteral("b/"),
            QStringLiteral("b/b1.txt") };

        QTest::newRow("three files and a subdirectory")
            << threeAndSub << QString() << all << false << def << L({ "a.txt", "b.dbt", "c.tv" });
        QTest::newRow("same, recursive") << threeAndSub << QString() << all << true << def
                                         << L({ "a.txt", "b.dbt", "c.tv", "sub/d.txt" });
        QTest::newRow("recursion is breadth-first")
            << tree << QString() << all << true << def << L({ "x.txt", "a/a1.txt", "b/b1.txt", "a/deep/d.txt" });
        QTest::newRow("start below the top")
            << tree << QStringLiteral("/a") << all << true << def << L({ "a/a1.txt", "a/deep/d.txt" });
        QTest::newRow("trailing slash is not doubled")
            << threeAndSub << QStringLiteral("/sub/") << all << false << def << L({ "sub/d.txt" });
        QTest::newRow("two patterns matching one file list it once")
            << threeAndSub << QString() << QStringLiteral("*.dbt;b*") << false << def << L({ "b.dbt" });
        QTest::newRow("patterns in their order") << threeAndSub << QString() << QStringLiteral("*.tv;*.*") << false
                                                 << def << L({ "c.tv", "a.txt", "b.dbt" });
        QTest::newRow("tree walked once per pattern") << threeAndSub << QString() << QStringLiteral("*.dbt;*.txt")
                                                      << true << def << L({ "b.dbt", "a.txt", "sub/d.txt" });
        QTest::newRow("empty patterns match nothing")
            << threeAndSub << QString() << QStringLiteral(";*.dbt;;") << false << def << L({ "b.dbt" });
        QTest::newRow("empty Filtros") << threeAndSub << QString() << QString() << false << def << QStringList();
        QTest::newRow("patterns ignore case") << L({ "b.dbt", "C.Dbt", "d.tv" }) << QString() << QStringLiteral("*.DBT")
                                              << false << def << L({ "b.dbt", "C.Dbt" });
        QTest::newRow("names sorted, case second") << L({ "b.txt", "C.txt", "a.txt", "A.txt" }) << QString() << all
                                                   << false << def << L({ "A.txt", "a.txt", "b.txt", "C.txt" });
        QTest::newRow("hidden file listed by default")
            << L({ ".oculto", "a.txt" }) << QString() << all << false << def << L({ ".oculto", "a.txt" });
        QTest::newRow("hidden file left out without ffHidden") << L({ ".oculto", "a.txt" }) << QString() << all << false
                                                               << (def & ~Attrs(Attr::ffHidden)) << L({ "a.txt" });
        QTest::newRow("read-only file listed")
            << L({ "ro.txt|ro" }) << QString() << all << false << def << L({ "ro.txt" });
        QTest::newRow("read-only never excludes") << L({ "ro.txt|ro", "a.txt" }) << QString() << all << false
                                                  << Attrs(Attr::ffArchive) << L({ "a.txt", "ro.txt" });
        QTest::newRow("fifo is a system entry")
            << L({ "fila|fifo", "a.txt" }) << QString() << all << false << def << L({ "a.txt", "fila" });
        QTest::newRow("fifo left out without ffSystem") << L({ "fila|fifo", "a.txt" }) << QString() << all << false
                                                        << (def & ~Attrs(Attr::ffSystem)) << L({ "a.txt" });
        QTest::newRow("dangling link is a system entry")
            << L({ "morto->nada", "a.txt" }) << QString() << all << false << def << L({ "a.txt", "morto" });
        QTest::newRow("link to a file counts as the file")
            << L({ "a.txt", "b->a.txt" }) << QString() << all << false << Attrs(Attr::ffArchive) << L({ "a.txt", "b" });
        QTest::newRow("ffDirectory lists directories") << L({ "sub/", ".git/", "a.txt" }) << QString() << all << false
                                                       << (def | Attr::ffDirectory) << L({ ".git", "a.txt", "sub" });
        QTest::newRow("hidden directory needs ffHidden")
            << L({ "sub/", ".git/", "a.txt" }) << QString() << all << false
            << Attrs { Attr::ffDirectory, Attr::ffArchive } << L({ "a.txt", "sub" });
        QTest::newRow("recursion enters hidden directories")
            << L({ ".git/", ".git/c.txt", "a.txt" }) << QString() << all << true << Attrs { Attr::ffArchive }
            << L({ "a.txt", ".git/c.txt" });
        QTest::newRow("link to a directory is not entered") << L({ "sub/", "sub/d.txt", "atalho->sub", "volta->." })
                                                            << QString() << all << true << def << L({ "sub/d.txt" });
        QTest::newRow("directory that does not exist")
            << threeAndSub << QStringLiteral("/nada") << all << true << def << QStringList();
        QTest::newRow("a file as the directory")
            << threeAndSub << QStringLiteral("/a.txt") << all << false << def << QStringList();
        QTest::newRow("*. lists names without a dot")
            << L({ "LEIAME", "a.txt" }) << QString() << QStringLiteral("*.") << false << def << L({ "LEIAME" });
    }
    void execute()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, dir);
        QFETCH(QString, filtros);
        QFETCH(bool, recurse);
        QFETCH(Attrs, atributos);
        QFETCH(QStringList, expected);

        QTemporaryDir tmp;
        makeTree(tmp.path(), entries);
        TOrbFindFile f;
        f.setDiretorio(tmp.path() + dir);
        f.setFiltros(filtros);
        f.setRecurse(recurse);
        f.setAtributos(atributos);
        f.Execute();
        QCOMPARE(f.InfoName_Files(), prefixed(tmp.path(), expected));
        verifyAligned(f);
        QCOMPARE(f.Filtros(), filtros);
        QCOMPARE(f.Diretorio(), tmp.path() + dir);
    }

    void entryDetails_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("attr");
        QTest::addColumn<QString>("size");
        QTest::newRow("file") << QStringLiteral("f.txt=12345") << QStringLiteral("f.txt") << 32 << QStringLiteral("5");
        QTest::newRow("hidden file") << QStringLiteral(".h") << QStringLiteral(".h") << 34 << QStringLiteral("1");
        QTest::newRow("read-only file") << QStringLiteral("ro|ro") << QStringLiteral("ro") << 33 << QStringLiteral("1");
        QTest::newRow("fifo") << QStringLiteral("p|fifo") << QStringLiteral("p") << 4 << QStringLiteral("0");
        QTest::newRow("directory") << QStringLiteral("d/") << QStringLiteral("d") << 16 << QStringLiteral("0");
        QTest::newRow("hidden directory") << QStringLiteral(".d/") << QStringLiteral(".d") << 18 << QStringLiteral("0");
        QTest::newRow("read-only directory")
            << QStringLiteral("r/|ro") << QStringLiteral("r") << 17 << QStringLiteral("0");
        QTest::newRow("link to a file") << QStringLiteral("l->f.txt") << QStringLiteral("l") << 32
                                        << QStringLiteral("5");
    }
    void entryDetails()
    {
        QFETCH(QString, entry);
        QFETCH(QString, name);
        QFETCH(int, attr);
        QFETCH(QString, size);

        QTemporaryDir tmp;
        makeTree(tmp.path(), { QStringLiteral("f.txt=12345"), entry });
        const QString path = tmp.path() + QLatin1Char('/') + name;
        // A fixed time far from now, so a wrong clock or zone shows.
        QFile file(path);
        if (QFileInfo(path).isFile() && !QFileInfo(path).isSymLink() && file.open(QIODevice::ReadWrite))
            QVERIFY(file.setFileTime(QDateTime(QDate(2003, 7, 1), QTime(9, 5, 3)), QFileDevice::FileModificationTime));
        file.close();

        TOrbFindFile f;
        f.setDiretorio(tmp.path());
        f.setAtributos(AllAttrs);
        f.Execute();
        verifyAligned(f);
        const qsizetype i = f.InfoName_Files().indexOf(path);
        QVERIFY(i >= 0);
        QCOMPARE(f.InfoAttr_Files().at(i), QString::number(attr));
        QCOMPARE(f.InfoSize_Files().at(i), size);
        QCOMPARE(
            f.InfoDate_Files().at(i), TOrbFindFile::DateTimeText(QFileInfo(path).lastModified(), QLocale::system()));
        if (name == QLatin1String("f.txt"))
            QCOMPARE(f.InfoDate_Files().at(i),
                TOrbFindFile::DateTimeText(QDateTime(QDate(2003, 7, 1), QTime(9, 5, 3)), QLocale::system()));
    }

    void dateTimeText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pt_BR") << QStringLiteral("pt_BR") << QStringLiteral("05/03/2024 14:07:09");
        QTest::newRow("de_DE") << QStringLiteral("de_DE") << QStringLiteral("05.03.24 14:07:09");
        QTest::newRow("en_US") << QStringLiteral("en_US") << QStringLiteral("3/5/24 2:07:09 PM");
        QTest::newRow("zone first (zh_CN)") << QStringLiteral("zh_CN") << QStringLiteral("2024/3/5 14:07:09");
        QTest::newRow("zone in parentheses (fa_IR)") << QStringLiteral("fa_IR") << QString();
    }
    void dateTimeText()
    {
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        const QLocale l(locale);
        const QString text = TOrbFindFile::DateTimeText(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), l);
        if (!expected.isEmpty())
            QCOMPARE(text, expected);
        // Never the time zone, which Windows does not show.
        const QString zone = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)).timeZoneAbbreviation();
        QVERIFY2(!text.contains(zone), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("()")), qPrintable(text));
        QCOMPARE(text, text.trimmed());
    }

    // Each pass sees its own pattern in Filtros; the old value is back afterwards.
    void filtrosDuringAndAfter_data()
    {
        QTest::addColumn<QString>("filtros");
        QTest::addColumn<bool>("recurse");
        QTest::addColumn<QStringList>("passes"); // "pattern|directory" per OnNewPath
        QTest::newRow("one pattern") << QStringLiteral("*.*") << false << L({ "*.*|" });
        QTest::newRow("two patterns") << QStringLiteral("*.dbt;*.tv") << false << L({ "*.dbt|", "*.tv|" });
        QTest::newRow("empty") << QString() << false << L({ "|" });
        QTest::newRow("only ;") << QStringLiteral(";") << false << L({ "|", "|" });
        QTest::newRow("breadth-first, per pattern")
            << QStringLiteral("*.dbt;*.tv") << true
            << L({ "*.dbt|", "*.dbt|a/", "*.dbt|b/", "*.dbt|a/deep/", "*.tv|", "*.tv|a/", "*.tv|b/", "*.tv|a/deep/" });
    }
    void filtrosDuringAndAfter()
    {
        QFETCH(QString, filtros);
        QFETCH(bool, recurse);
        QFETCH(QStringList, passes);

        QTemporaryDir tmp;
        makeTree(tmp.path(), L({ "a/deep/", "b/", "x.dbt" }));
        TOrbFindFile f;
        f.setDiretorio(tmp.path());
        f.setFiltros(filtros);
        f.setRecurse(recurse);
        QStringList seen;
        QString filtrosInAfter;
        connect(&f, &TOrbFindFile::OnNewPath, this, [&](const QString& path, bool&) {
            QVERIFY(path.startsWith(tmp.path() + QLatin1Char('/')));
            seen << f.Filtros() + QLatin1Char('|') + path.mid(tmp.path().size() + 1);
        });
        connect(&f, &TOrbFindFile::AfterExecute, this, [&] { filtrosInAfter = f.Filtros(); });
        f.Execute();
        QCOMPARE(seen, passes);
        QCOMPARE(f.Filtros(), filtros);
        QCOMPARE(filtrosInAfter, filtros);
    }

    void abort_data()
    {
        QTest::addColumn<bool>("recurse");
        QTest::addColumn<QString>("filtros");
        QTest::addColumn<int>("abortAt"); // 1-based OnNewPath call; 0 never
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("calls");
        const QStringList everything { QStringLiteral("a.txt"), QStringLiteral("b.dbt"), QStringLiteral("s/c.txt") };
        QTest::newRow("no abort") << true << QStringLiteral("*.*") << 0 << everything << 2;
        QTest::newRow("first call") << false << QStringLiteral("*.*") << 1 << QStringList() << 1;
        QTest::newRow("first call, recursive") << true << QStringLiteral("*.*") << 1 << QStringList() << 1;
        QTest::newRow("first call ends every pattern")
            << false << QStringLiteral("*.txt;*.dbt") << 1 << QStringList() << 1;
        QTest::newRow("second directory keeps the first")
            << true << QStringLiteral("*.*") << 2 << L({ "a.txt", "b.dbt" }) << 2;
        QTest::newRow("second pattern keeps the first")
            << false << QStringLiteral("*.txt;*.dbt") << 2 << L({ "a.txt" }) << 2;
    }
    void abort()
    {
        QFETCH(bool, recurse);
        QFETCH(QString, filtros);
        QFETCH(int, abortAt);
        QFETCH(QStringList, expected);
        QFETCH(int, calls);

        QTemporaryDir tmp;
        makeTree(tmp.path(), L({ "a.txt", "b.dbt", "s/", "s/c.txt" }));
        TOrbFindFile f;
        f.setDiretorio(tmp.path());
        f.setFiltros(filtros);
        f.setRecurse(recurse);
        int seen = 0;
        int after = 0;
        const auto conn = connect(&f, &TOrbFindFile::OnNewPath, this, [&](const QString&, bool& abort) {
            QVERIFY(!abort);
            if (++seen == abortAt)
                abort = true;
        });
        connect(&f, &TOrbFindFile::AfterExecute, this, [&] { ++after; });
        f.Execute();
        QCOMPARE(f.InfoName_Files(), prefixed(tmp.path(), expected));
        verifyAligned(f);
        QCOMPARE(seen, calls);
        QCOMPARE(after, 1);
        QCOMPARE(f.Filtros(), filtros);

        // An abort does not outlive its Execute.
        disconnect(conn);
        f.setFiltros(QStringLiteral("*.*"));
        f.setRecurse(true);
        f.Execute();
        QCOMPARE(f.InfoName_Files().size(), 3);
    }

    void signalsBracketTheSearch()
    {
        QTemporaryDir tmp;
        makeTree(tmp.path(), L({ "a.txt", "b.txt" }));
        TOrbFindFile f;
        f.setDiretorio(tmp.path());
        f.Execute();
        QCOMPARE(f.InfoName_Files().size(), 2);

        QStringList events;
        connect(&f, &TOrbFindFile::BeforeExecute, this,
            [&] { events << QStringLiteral("before %1").arg(f.InfoName_Files().size()); });
        connect(&f, &TOrbFindFile::OnNewPath, this, [&](const QString&, bool&) {
            events << QStringLiteral("path");
            f.Execute(); // a nested call must not disturb the running search
        });
        connect(&f, &TOrbFindFile::AfterExecute, this,
            [&] { events << QStringLiteral("after %1").arg(f.InfoName_Files().size()); });
        f.Execute();
        QCOMPARE(events, L({ "before 0", "path", "after 2" }));
        verifyAligned(f);

        // An empty Diretorio searches nothing, but the search still happens.
        events.clear();
        f.setDiretorio(QString());
        f.Execute();
        QCOMPARE(events, L({ "before 0", "after 0" }));
    }

    void listSubdirectories_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("backups and a file") << L({ "Bk 2/", "Bk 1/", "x.txt" }) << QString() << L({ "Bk 1", "Bk 2" });
        QTest::newRow("trailing slash") << L({ "Bk 1/" }) << QStringLiteral("/") << L({ "Bk 1" });
        QTest::newRow("a name with a dot is left out")
            << L({ "Bk release 1.2/", "Bk 1/", "Bk 3./" }) << QString() << L({ "Bk 1" });
        QTest::newRow("home directory") << L({ "Dados/", "colloqua.ini", "LEIAME", "Plug-Ins/", "Bk velho/|ro" })
                                        << QString() << L({ "Bk velho", "Dados", "LEIAME", "Plug-Ins" });
        QTest::newRow("special and hidden entries left out")
            << L({ "fila|fifo", ".cache/", "morto->nada", "Bk 1/" }) << QString() << L({ "Bk 1" });
        QTest::newRow("missing directory") << L({ "Bk 1/" }) << QStringLiteral("/nada") << QStringList();
    }
    void listSubdirectories()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, dir);
        QFETCH(QStringList, expected);
        QTemporaryDir tmp;
        makeTree(tmp.path(), entries);
        QStringList list { QStringLiteral("stale") };
        ListSubdirectories(tmp.path() + dir, list);
        QCOMPARE(list, expected);
    }
};

QTEST_GUILESS_MAIN(TestTOrbFindFile)
#include "tst_torbfindfile.moc"
