#include "fuzzentries.h"

#include <QDir>
#include <QFile>
#include <QTest>

// Every seed of the fuzz corpora and every input that once broke a reader, fed through the same
// entry points as the fuzz targets. A broken rule aborts the test.
class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private:
    static void addInputs(const QString& root, const char* kind)
    {
        for (const FuzzEntries::Target& target : FuzzEntries::targets()) {
            const QDir dir(root + QLatin1Char('/') + QLatin1String(target.name));
            const QStringList files = dir.entryList(QDir::Files, QDir::Name);
            for (const QString& file : files) {
                QTest::addRow("%s %s/%s", kind, target.name, qPrintable(file))
                    << QString::fromLatin1(target.name) << dir.filePath(file);
            }
        }
    }

private slots:
    void everyTargetHasSeeds_data()
    {
        QTest::addColumn<QString>("target");
        for (const FuzzEntries::Target& target : FuzzEntries::targets())
            QTest::newRow(target.name) << QString::fromLatin1(target.name);
    }
    void everyTargetHasSeeds()
    {
        QFETCH(QString, target);
        const QDir dir(QStringLiteral(COLLOQUA_FUZZ_CORPUS_DIR) + QLatin1Char('/') + target);
        QVERIFY2(!dir.entryList(QDir::Files).isEmpty(), qPrintable(dir.path()));
    }

    void replay_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("path");
        addInputs(QStringLiteral(COLLOQUA_FUZZ_CORPUS_DIR), "seed");
        addInputs(QStringLiteral(COLLOQUA_TEST_DATA_DIR "/fuzz-regressions"), "regression");
    }
    void replay()
    {
        QFETCH(QString, target);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray bytes = file.readAll();
        for (const FuzzEntries::Target& candidate : FuzzEntries::targets()) {
            if (target == QLatin1String(candidate.name)) {
                candidate.entry(bytes);
                return;
            }
        }
        QFAIL("unknown fuzz target");
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
