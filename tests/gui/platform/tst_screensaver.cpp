#include "screensaverwatch.h"
#include "teststation.h"
#include "tformmain.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

// Runs under its own session bus (dbus-run-session, see tests/CMakeLists.txt); the screen
// savers' signals are sent with gdbus, as a desktop would send them.
class TestScreenSaver final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rule_data();
    void rule();

public slots:
    void onProbe() { ++m_probed; }

private:
    QString m_gdbus;
    int m_probed = 0;
};

void TestScreenSaver::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("no session bus; ctest runs this test under dbus-run-session");
    m_gdbus = QStandardPaths::findExecutable(QStringLiteral("gdbus"));
    if (m_gdbus.isEmpty())
        QSKIP("gdbus is not installed (package libglib2.0-bin)");
    DBusScreenSaverWatch watch;
    QVERIFY(watch.isListening());
}

void TestScreenSaver::rule_data()
{
    QTest::addColumn<QString>("interface");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("status"); // before the signal; "OF" after a logoff, "" never logged on
    QTest::addColumn<QVariant>("setting"); // MUDAR_STATUS_SCRSAVER; null: not in the file
    QTest::addColumn<QString>("expected");

    const QVariant on(true);
    const QVariant off(false);
    QTest::newRow("freedesktop, online") << "org.freedesktop.ScreenSaver" << true << "ON" << on << "AU";
    QTest::newRow("gnome, busy") << "org.gnome.ScreenSaver" << true << "OC" << on << "AU";
    QTest::newRow("mate, invisible") << "org.mate.ScreenSaver" << true << "IN" << on << "AU";
    QTest::newRow("xfce, online") << "org.xfce.ScreenSaver" << true << "ON" << on << "AU";
    QTest::newRow("screen saver ending") << "org.freedesktop.ScreenSaver" << false << "ON" << on << "ON";
    QTest::newRow("setting off") << "org.gnome.ScreenSaver" << true << "ON" << off << "ON";
    QTest::newRow("setting absent") << "org.freedesktop.ScreenSaver" << true << "ON" << QVariant() << "ON";
    QTest::newRow("logged off") << "org.freedesktop.ScreenSaver" << true << "OF" << on << "OF";
    QTest::newRow("never logged on in this run") << "org.freedesktop.ScreenSaver" << true << "" << on << "OF";
    QTest::newRow("another interface") << "org.example.ScreenSaver" << true << "ON" << on << "ON";
}

void TestScreenSaver::rule()
{
    QFETCH(QString, interface);
    QFETCH(bool, active);
    QFETCH(QString, status);
    QFETCH(QVariant, setting);
    QFETCH(QString, expected);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    if (!status.isEmpty()) {
        a.com().Conectar(QStringLiteral("ANA"), QStringLiteral("NETWORK"), QStringLiteral("ON"));
        if (status == QLatin1String("OF"))
            a.com().Desconectar();
        else if (status != QLatin1String("ON"))
            a.com().AlterarStatus(status == QLatin1String("OC") ? 3 : 4);
    } else {
        // The last pair is there: a screen saver must still not log anybody on by itself.
        a.setting(QStringLiteral("SETUP"), QStringLiteral("LAST_USER"), SettingString, QStringLiteral("ANA"));
    }
    QCOMPARE(a.com().StatusAtual(), status.isEmpty() ? QStringLiteral("OF") : status);
    if (!setting.isNull())
        a.setting(QStringLiteral("SETUP"), QStringLiteral("MUDAR_STATUS_SCRSAVER"), SettingBoolean, setting.toBool());

    // The same signal reaches this probe in the same dispatch as the station's watch.
    m_probed = 0;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.connect(QString(), QString(), interface, QStringLiteral("ActiveChanged"), this, SLOT(onProbe())));
    const int code = QProcess::execute(m_gdbus,
        { QStringLiteral("emit"), QStringLiteral("--session"), QStringLiteral("--object-path"),
            QStringLiteral("/") + QString(interface).replace(QLatin1Char('.'), QLatin1Char('/')),
            QStringLiteral("--signal"), interface + QStringLiteral(".ActiveChanged"),
            active ? QStringLiteral("true") : QStringLiteral("false") });
    QCOMPARE(code, 0);

    QTRY_COMPARE_WITH_TIMEOUT(m_probed, 1, 5000);
    QCoreApplication::processEvents();
    QCOMPARE(a.com().StatusAtual(), expected);
    bus.disconnect(QString(), QString(), interface, QStringLiteral("ActiveChanged"), this, SLOT(onProbe()));
}

QTEST_MAIN(TestScreenSaver)
#include "tst_screensaver.moc"
