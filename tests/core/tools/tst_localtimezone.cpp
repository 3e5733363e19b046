#include "fakeclock.h"
#include "frame.h"
#include "localtimezone.h"
#include "tdados.h"

#include <QTest>
#include <QTimeZone>

#include <optional>

// TZ is process-wide: every case puts back what the test run started with.
class TestLocalTimeZone : public QObject
{
    Q_OBJECT

private:
    std::optional<QByteArray> m_saved;

    static void setZone(const std::optional<QByteArray>& zone)
    {
        if (zone)
            qputenv("TZ", *zone);
        else
            qunsetenv("TZ");
    }

    struct Reading
    {
        bool valid = false;
        qint64 msecs = 0;
        int offset = 0;
        QString shown;
    };

    static Reading read(const QString& stamp)
    {
        TDados frame;
        ParseFrame(BuildTextFrame(QStringLiteral("ANA"), QStringLiteral("BIA"), stamp, 1, QStringLiteral("oi")), frame,
            FakeClock());
        if (!frame.SentAt.isValid())
            return {};
        return { true, frame.SentAt.toMSecsSinceEpoch(), frame.SentAt.offsetFromUtc(),
            frame.SentAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) };
    }

private slots:
    void init() { m_saved = qEnvironmentVariableIsSet("TZ") ? std::optional(qgetenv("TZ")) : std::nullopt; }
    void cleanup() { setZone(m_saved); }

    void pinSetsOnlyAnUnsetZone_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("pinned");
        QTest::newRow("unset") << std::optional<QByteArray>() << QByteArray(LocalTimeZone::SystemZone) << true;
        QTest::newRow("empty means UTC") << std::optional(QByteArray()) << QByteArray() << false;
        QTest::newRow("named zone") << std::optional(QByteArray("America/Sao_Paulo")) << QByteArray("America/Sao_Paulo")
                                    << false;
        QTest::newRow("POSIX rule") << std::optional(QByteArray("BRT3")) << QByteArray("BRT3") << false;
        QTest::newRow("already pinned") << std::optional(QByteArray(LocalTimeZone::SystemZone))
                                        << QByteArray(LocalTimeZone::SystemZone) << false;
    }
    void pinSetsOnlyAnUnsetZone()
    {
        QFETCH(std::optional<QByteArray>, before);
        QFETCH(QByteArray, after);
        QFETCH(bool, pinned);
        setZone(before);
        QCOMPARE(LocalTimeZone::pin(), pinned);
        QVERIFY(qEnvironmentVariableIsSet("TZ"));
        QCOMPARE(qgetenv("TZ"), after);
        // A second call changes nothing.
        QVERIFY(!LocalTimeZone::pin());
        QCOMPARE(qgetenv("TZ"), after);
    }

    // The pinned zone is the system's own: stamps mean the same instants as without TZ.
    void stampsReadAlikePinnedOrNot_data()
    {
        QTest::addColumn<QString>("stamp");
        QTest::newRow("ordinary") << QStringLiteral("070512143005");
        QTest::newRow("new year") << QStringLiteral("010126000000");
        QTest::newRow("leap day") << QStringLiteral("290224235959");
        QTest::newRow("southern summer time began") << QStringLiteral("041118003000");
        QTest::newRow("southern summer time ended") << QStringLiteral("170219233000");
        QTest::newRow("northern summer time began") << QStringLiteral("290326023000");
        QTest::newRow("northern summer time ended") << QStringLiteral("251026023000");
        QTest::newRow("no such day") << QStringLiteral("310426120000");
    }
    void stampsReadAlikePinnedOrNot()
    {
        QFETCH(QString, stamp);
        qunsetenv("TZ");
        const Reading system = read(stamp);
        QVERIFY(LocalTimeZone::pin());
        const Reading pinned = read(stamp);
        QCOMPARE(pinned.valid, system.valid);
        QCOMPARE(pinned.msecs, system.msecs);
        QCOMPARE(pinned.offset, system.offset);
        QCOMPARE(pinned.shown, system.shown);
    }

    // Qt names the zone alike too (the file name is not taken for a zone name).
    void systemZoneNamedAlike()
    {
        qunsetenv("TZ");
        const QByteArray system = QTimeZone::systemTimeZoneId();
        QVERIFY(LocalTimeZone::pin());
        QCOMPARE(QTimeZone::systemTimeZoneId(), system);
        QVERIFY(QTimeZone::systemTimeZone().isValid());
    }
};

QTEST_GUILESS_MAIN(TestLocalTimeZone)
#include "tst_localtimezone.moc"
