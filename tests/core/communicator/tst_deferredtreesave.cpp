#include "deferredtreesave.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
constexpr int Never = 3600000;
constexpr int Soon = 30;
} // namespace

// When presence changes reach the tree file. The steps, apart by blanks, are "<what>=<log>":
// what the session does ("more": a presence with datagrams still waiting, "last": one that ends
// the burst, "finish", "reset"; "wait": until the log reads so; "idle": a while, after which it
// must still read so), and the writes ("w") and flushes ("f") made so far.
class TestDeferredTreeSave : public QObject
{
    Q_OBJECT

private slots:
    void saves_data()
    {
        QTest::addColumn<int>("burstMs");
        QTest::addColumn<int>("quietMs");
        QTest::addColumn<QString>("steps");
        QTest::newRow("a burst is written once it has been handled") << Never << Never << u"more= more= more= last=w"_s;
        QTest::newRow("a burst that keeps the queue full is written on time")
            << Soon << Never << u"more= wait=w more=w wait=ww"_s;
        QTest::newRow("a burst right after a write waits its turn") << Never << Never << u"last=w last=w finish=wwf"_s;
        QTest::newRow("flushed once quiet") << Never << Soon << u"last=w wait=wf idle=wf"_s;
        QTest::newRow("finish writes and flushes once") << Never << Never << u"more= finish=wf finish=wf"_s;
        QTest::newRow("reset drops what is pending") << Soon << Soon << u"more= reset= idle="_s;
        QTest::newRow("a user's save leaves nothing to flush") << Never << Soon << u"last=w reset=w idle=w"_s;
    }
    void saves()
    {
        QFETCH(int, burstMs);
        QFETCH(int, quietMs);
        QFETCH(QString, steps);
        QString log;
        DeferredTreeSave saves([&] { log += u'w'; }, [&] { log += u'f'; }, burstMs, quietMs);
        const QStringList list = steps.split(u' ');
        for (const QString& step : list) {
            const QString what = step.section(u'=', 0, 0);
            const QString expected = step.section(u'=', 1);
            if (what == u"more" || what == u"last")
                saves.changed(what == u"more");
            else if (what == u"finish")
                saves.finish();
            else if (what == u"reset")
                saves.reset();
            else if (what == u"wait")
                QTRY_COMPARE(log, expected);
            else
                QTest::qWait(4 * Soon);
            QVERIFY2(log == expected, qPrintable(step + QStringLiteral(" gave ") + log));
        }
    }
};

QTEST_GUILESS_MAIN(TestDeferredTreeSave)
#include "tst_deferredtreesave.moc"
