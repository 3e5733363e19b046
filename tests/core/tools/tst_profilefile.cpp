#include "fileerror.h"
#include "profilefile.h"
#include "temphome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <thread>
#include <vector>

using Entries = QList<ProfileFile::Entry>;
Q_DECLARE_METATYPE(ProfileFile::Entry)

namespace
{
ProfileFile::Entry entry(const char* section, const char* key, const QString& value)
{
    return { QString::fromLatin1(section), QString::fromLatin1(key), value };
}
} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");

        const QString s = QStringLiteral("SETUP");
        const QString a = QStringLiteral("A");
        QTest::newRow("plain") << QByteArray("[SETUP]\r\nA=1\r\n") << s << a << true << QStringLiteral("1");
        QTest::newRow("names ignore case") << QByteArray("[setup]\r\nlast_user=x\r\n") << s
                                           << QStringLiteral("Last_User") << true << QStringLiteral("x");
        QTest::newRow("names and value trimmed")
            << QByteArray("  [ SETUP ]  \r\n \t A  =  v w \t\r\n") << s << a << true << QStringLiteral("v w");
        QTest::newRow("caller's names trimmed") << QByteArray("[SETUP]\r\nA=1\r\n") << QStringLiteral(" SETUP ")
                                                << QStringLiteral(" A ") << true << QStringLiteral("1");
        QTest::newRow("LF line ends") << QByteArray("[SETUP]\nB=2\nA=1\n") << s << a << true << QStringLiteral("1");
        QTest::newRow("CR line ends") << QByteArray("[SETUP]\rA=1") << s << a << true << QStringLiteral("1");
        QTest::newRow("double quotes taken off")
            << QByteArray("[SETUP]\r\nA=\"  x  \"\r\n") << s << a << true << QStringLiteral("  x  ");
        QTest::newRow("single quotes taken off")
            << QByteArray("[SETUP]\r\nA='y'\r\n") << s << a << true << QStringLiteral("y");
        QTest::newRow("only one pair") << QByteArray("[SETUP]\r\nA=\"\"x\"\"\r\n") << s << a << true
                                       << QStringLiteral("\"x\"");
        QTest::newRow("unmatched quote kept")
            << QByteArray("[SETUP]\r\nA=\"y'\r\n") << s << a << true << QStringLiteral("\"y'");
        QTest::newRow("lone quote kept") << QByteArray("[SETUP]\r\nA=\"\r\n") << s << a << true << QStringLiteral("\"");
        QTest::newRow("empty value") << QByteArray("[SETUP]\r\nA=\r\n") << s << a << true << QString();
        QTest::newRow("value holds =") << QByteArray("[SETUP]\r\nA=b=c\r\n") << s << a << true << QStringLiteral("b=c");
        QTest::newRow("windows-1252") << QByteArray("[SETUP]\r\nA=S\xE3o \x80\r\n") << s << a << true
                                      << QStringLiteral("S\u00E3o \u20AC");
        QTest::newRow("first key counts")
            << QByteArray("[SETUP]\r\nA=1\r\nA=2\r\n") << s << a << true << QStringLiteral("1");
        QTest::newRow("first section counts")
            << QByteArray("[SETUP]\r\nB=1\r\n[SETUP]\r\nA=2\r\n") << s << a << false << QString();
        QTest::newRow("line without = hides the key")
            << QByteArray("[SETUP]\r\nA\r\nA=2\r\n") << s << a << false << QString();
        QTest::newRow("key of another section")
            << QByteArray("[OTHER]\r\nA=1\r\n[SETUP]\r\nB=2\r\n") << s << a << false << QString();
        QTest::newRow("key before every section") << QByteArray("A=1\r\n[SETUP]\r\n") << s << a << false << QString();
        QTest::newRow("section prefix is not the section")
            << QByteArray("[SETUPX]\r\nA=1\r\n") << s << a << false << QString();
        QTest::newRow("header without ] is no section")
            << QByteArray("[SETUP\r\nA=1\r\n") << s << a << false << QString();
        QTest::newRow("text after the header")
            << QByteArray("[SETUP] ; main\r\nA=1\r\n") << s << a << true << QStringLiteral("1");
        QTest::newRow("empty content") << QByteArray() << s << a << false << QString();
    }
    void lookup()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(bool, found);
        QFETCH(QString, value);
        const std::optional<QString> result = ProfileFile::lookup(content, section, key);
        QCOMPARE(result.has_value(), found);
        if (found)
            QCOMPARE(*result, value);
    }

    void update_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QByteArray>("after");

        const QString one = QStringLiteral("1");
        QTest::newRow("empty file") << QByteArray() << Entries { entry("S", "A", one) } << QByteArray("[S]\r\nA=1\r\n");
        QTest::newRow("in place, other lines kept")
            << QByteArray("; note\r\n[S]\r\nA=0\r\nB=2\r\n") << Entries { entry("S", "A", QStringLiteral("9")) }
            << QByteArray("; note\r\n[S]\r\nA=9\r\nB=2\r\n");
        QTest::newRow("key keeps its spelling")
            << QByteArray("[setup]\r\n  last_user = x\r\n")
            << Entries { entry("SETUP", "LAST_USER", QStringLiteral("y")) } << QByteArray("[setup]\r\nlast_user=y\r\n");
        QTest::newRow("new key ends its section")
            << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n") << Entries { entry("S", "C", QStringLiteral("3")) }
            << QByteArray("[S]\r\nA=1\r\nC=3\r\n\r\n[T]\r\nB=2\r\n");
        QTest::newRow("new key in an empty section")
            << QByteArray("[S]\r\n\r\n[T]\r\n") << Entries { entry("S", "A", one) }
            << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\n");
        QTest::newRow("new section at the end")
            << QByteArray("[S]\r\nA=1\r\n") << Entries { entry("T", "B", QStringLiteral("2")) }
            << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n");
        QTest::newRow("first of two sections")
            << QByteArray("[S]\r\nA=1\r\n[S]\r\nB=2\r\n") << Entries { entry("S", "B", QStringLiteral("3")) }
            << QByteArray("[S]\r\nA=1\r\nB=3\r\n[S]\r\nB=2\r\n");
        QTest::newRow("line without = gets a value")
            << QByteArray("[S]\r\nA\r\n") << Entries { entry("S", "A", one) } << QByteArray("[S]\r\nA=1\r\n");
        QTest::newRow("LF and no final line end")
            << QByteArray("[S]\nA=0\nB=2") << Entries { entry("S", "A", one) } << QByteArray("[S]\r\nA=1\r\nB=2\r\n");
        QTest::newRow("other bytes untouched")
            << QByteArray("[S]\r\nN=S\xE3o\x81\r\n") << Entries { entry("S", "A", QStringLiteral("\u00E9")) }
            << QByteArray("[S]\r\nN=S\xE3o\x81\r\nA=\xE9\r\n");
        QTest::newRow("leading blank quoted")
            << QByteArray() << Entries { entry("S", "A", QStringLiteral(" x")) } << QByteArray("[S]\r\nA=\" x\"\r\n");
        QTest::newRow("enclosing quotes quoted")
            << QByteArray() << Entries { entry("S", "A", QStringLiteral("'q'")) } << QByteArray("[S]\r\nA=\"'q'\"\r\n");
        QTest::newRow("lone quote verbatim")
            << QByteArray() << Entries { entry("S", "A", QStringLiteral("\"x")) } << QByteArray("[S]\r\nA=\"x\r\n");
        QTest::newRow("several keys in order")
            << QByteArray() << Entries { entry("S", "A", one), entry("T", "B", one), entry("S", "C", one) }
            << QByteArray("[S]\r\nA=1\r\nC=1\r\n\r\n[T]\r\nB=1\r\n");
    }
    void update()
    {
        QFETCH(QByteArray, before);
        QFETCH(Entries, entries);
        QFETCH(QByteArray, after);
        QCOMPARE(ProfileFile::update(before, entries), after);
    }

    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("plain") << QStringLiteral("NETWORK");
        QTest::newRow("leading blank") << QStringLiteral("  x");
        QTest::newRow("trailing tab") << QStringLiteral("x\t");
        QTest::newRow("only blanks") << QStringLiteral("   ");
        QTest::newRow("double-quoted") << QStringLiteral("\"q\"");
        QTest::newRow("single-quoted") << QStringLiteral("'q'");
        QTest::newRow("two quotes") << QStringLiteral("\"\"");
        QTest::newRow("lone quote") << QStringLiteral("'");
        QTest::newRow("section-like") << QStringLiteral("[SETUP]");
        QTest::newRow("equals signs") << QStringLiteral("a=b=c");
        QTest::newRow("windows-1252") << QStringLiteral("/home/jo\u00E3o/Dados/\u20AC.wav");
    }
    void valuesRoundTrip()
    {
        QFETCH(QString, value);
        QVERIFY(ProfileFile::canStore(value));
        const QByteArray content
            = ProfileFile::update("[S]\r\nA=old\r\n", { { QStringLiteral("S"), QStringLiteral("A"), value } });
        QCOMPARE(ProfileFile::lookup(content, u"S", u"A"), std::optional<QString>(value));
        QCOMPARE(ProfileFile::entries(content), Entries { entry("S", "A", value) });
    }

    void unstorableTextIsRefused_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QString s = QStringLiteral("S");
        const QString a = QStringLiteral("A");
        QTest::newRow("value with LF") << s << a << QStringLiteral("x\n[SETUP]\nDEFAULT_USER=EVE");
        QTest::newRow("value with CR") << s << a << QStringLiteral("x\ry");
        QTest::newRow("value with NUL") << s << a << QString(QChar(u'\0'));
        QTest::newRow("value outside windows-1252") << s << a << QStringLiteral("\u65E5\u672C");
        QTest::newRow("empty section") << QStringLiteral(" ") << a << QString();
        QTest::newRow("section with ]") << QStringLiteral("A]B") << a << QString();
        QTest::newRow("section with [") << QStringLiteral("[A") << a << QString();
        QTest::newRow("empty key") << s << QString() << QString();
        QTest::newRow("key with =") << s << QStringLiteral("A=B") << QString();
        QTest::newRow("key like a header") << s << QStringLiteral("[A]") << QString();
        QTest::newRow("key with LF") << s << QStringLiteral("A\nB") << QString();
    }
    void unstorableTextIsRefused()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        TempHome home;
        const QByteArray before("[S]\r\nA=1\r\n");
        home.write(QStringLiteral("colloqua.ini"), before);
        ProfileFile file(home.file(QStringLiteral("colloqua.ini")));
        QVERIFY_THROWS_EXCEPTION(FileError, file.write(section, key, value));
        QCOMPARE(home.read(QStringLiteral("colloqua.ini")), before);
    }

    // Whatever bytes the file holds, reading never fails and a write keeps every other key.
    void anyBytesReadAndUpdateSafely()
    {
        static const char alphabet[] = "[]=;\"' \t\r\nSETUPKEYsetupkey0x1\x00\x80\xe3\xff";
        QRandomGenerator random(1234);
        int roundsWithKeys = 0;
        for (int round = 0; round < 3000; ++round) {
            // Lines of sections, keys and junk, so that real sections and keys occur often.
            const auto junk = [&](int most) {
                QByteArray bytes;
                for (int i = random.bounded(most); i > 0; --i)
                    bytes.append(alphabet[random.bounded(int(sizeof(alphabet) - 1))]);
                return bytes;
            };
            static const char* const names[] = { "SETUP", "setup", "KEY", "key", "A", " B ", "" };
            static const char* const ends[] = { "\r\n", "\n", "\r", "" };
            QByteArray content;
            for (int line = random.bounded(8); line > 0; --line) {
                const char* name = names[random.bounded(7)];
                switch (random.bounded(3)) {
                case 0:
                    content += '[' + QByteArray(name) + ']';
                    break;
                case 1:
                    content += QByteArray(name) + '=' + junk(6);
                    break;
                default:
                    content += junk(12);
                    break;
                }
                content += ends[random.bounded(4)];
            }
            const Entries before = ProfileFile::entries(content);
            roundsWithKeys += before.isEmpty() ? 0 : 1;
            const QByteArray after = ProfileFile::update(content, { entry("SETUP", "KEY", QStringLiteral("valor")) });
            QCOMPARE(ProfileFile::lookup(after, u"setup", u"key"), std::optional<QString>(QStringLiteral("valor")));
            for (const ProfileFile::Entry& e : before) {
                if (e.section.compare(QLatin1String("SETUP"), Qt::CaseInsensitive) == 0
                    && e.key.compare(QLatin1String("KEY"), Qt::CaseInsensitive) == 0)
                    continue;
                QCOMPARE(ProfileFile::lookup(after, e.section, e.key), std::optional<QString>(e.value));
            }
        }
        QVERIFY2(roundsWithKeys > 300, "the generator must produce files with keys");
    }

    void entriesSeeWhatLookupSees()
    {
        const QByteArray content("X=0\r\n[S]\r\nA=1\r\na=2\r\nB\r\n; note\r\n[T]\r\nC=\"3\"\r\n[s]\r\nD=4\r\n");
        QCOMPARE(ProfileFile::entries(content),
            (Entries { entry("S", "A", QStringLiteral("1")), entry("T", "C", QStringLiteral("3")) }));
    }

    void writeCreatesTheFileAndLeavesNothingElse()
    {
        TempHome home;
        ProfileFile file(home.file(QStringLiteral("colloqua.ini")));
        QVERIFY(!file.exists());
        QCOMPARE(file.read(u"S", u"A"), std::nullopt);
        file.write(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"));
        file.write(QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("2"));
        QVERIFY(file.exists());
        QCOMPARE(home.read(QStringLiteral("colloqua.ini")), QByteArray("[S]\r\nA=1\r\nB=2\r\n"));
        // No temporary or lock file is left behind.
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { QStringLiteral("colloqua.ini") });
    }

    void writingTheSameValueLeavesTheFileAlone()
    {
        TempHome home;
        home.write(QStringLiteral("colloqua.ini"), "[S]\nA=1\n");
        const QString path = home.file(QStringLiteral("colloqua.ini"));
        ProfileFile(path).write(QStringLiteral("s"), QStringLiteral("a"), QStringLiteral("1"));
        QCOMPARE(home.read(QStringLiteral("colloqua.ini")), QByteArray("[S]\nA=1\n"));
    }

    void aDirectoryInPlaceOfTheFile()
    {
        TempHome home;
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("colloqua.ini")));
        ProfileFile file(home.file(QStringLiteral("colloqua.ini")));
        QVERIFY(!file.exists());
        QCOMPARE(file.read(u"S", u"A"), std::nullopt);
        try {
            file.write(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"));
            QFAIL("the write did not fail");
        } catch (const FileError& error) {
            QCOMPARE(error.message(), QStringLiteral("Unable to write to ") + file.path());
        }
    }

    void aHomeThatCannotExist()
    {
        TempHome home;
        home.write(QStringLiteral("plain"), "x");
        ProfileFile file(home.file(QStringLiteral("plain/colloqua.ini")));
        QVERIFY_THROWS_EXCEPTION(FileError, file.write(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1")));
    }

    // Writers that overlap (the program and the terminal companion) lose no update.
    void overlappingWritersLoseNothing()
    {
        TempHome home;
        const QString path = home.file(QStringLiteral("colloqua.ini"));
        constexpr int Writers = 4;
        constexpr int KeysEach = 15;
        std::vector<std::thread> writers;
        for (int w = 0; w < Writers; ++w) {
            writers.emplace_back([path, w] {
                ProfileFile file(path);
                for (int k = 0; k < KeysEach; ++k)
                    file.write(
                        QStringLiteral("S%1").arg(k % 3), QStringLiteral("K%1_%2").arg(w).arg(k), QString::number(k));
            });
        }
        for (std::thread& writer : writers)
            writer.join();
        QCOMPARE(ProfileFile(path).readAll().size(), Writers * KeysEach);
    }

    void aLinkedFileStaysALink()
    {
        TempHome home;
        home.write(QStringLiteral("real.ini"), "[S]\r\nA=1\r\n");
        const QString link = home.file(QStringLiteral("colloqua.ini"));
        QVERIFY(QFile::link(home.file(QStringLiteral("real.ini")), link));
        ProfileFile(link).write(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("2"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(home.read(QStringLiteral("real.ini")), QByteArray("[S]\r\nA=2\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
