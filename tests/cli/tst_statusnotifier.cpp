#include "settings.h"
#include "stationprocess.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// A running station read over the session bus the way a StatusNotifierItem host reads it.
// GNOME's AppIndicator extension shows an item only when its Id is set and its Menu names a
// real menu (not /NO_DBUSMENU); the status submenu must tick the station's status. Runs under
// dbus-run-session (tests/CMakeLists.txt); the station draws on an Xvfb screen of its own.
namespace
{
constexpr int Patience = StationProcess::Patience;

// The watcher a panel provides, with a host registered: Qt then shows the icon as an item.
class Watcher final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }
    // The item's bus name and object path.
    QString service;
    QString path;

public slots:
    void RegisterStatusNotifierItem(const QString& item, const QDBusMessage& message)
    {
        service = message.service();
        path = item.startsWith(QLatin1Char('/')) ? item : QStringLiteral("/StatusNotifierItem");
        m_items.append(service + path);
    }
    void RegisterStatusNotifierHost(const QString&) { }

private:
    QStringList m_items;
};

// The station may ask the watcher meanwhile (whether there is a tray): a blocking call
// from here would leave both waiting.
QDBusMessage callAnswering(const QDBusMessage& message)
{
    QDBusPendingCallWatcher pending(QDBusConnection::sessionBus().asyncCall(message));
    QEventLoop loop;
    QObject::connect(&pending, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished())
        loop.exec();
    return pending.reply();
}

QVariant itemProperty(const Watcher& watcher, const char* name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcher.service, watcher.path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({ QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(name) });
    const QDBusMessage reply = callAnswering(get);
    return reply.arguments().isEmpty() ? QVariant() : reply.arguments().constFirst().value<QDBusVariant>().variant();
}

struct MenuNode
{
    QVariantMap properties;
    QList<MenuNode> children;
    QString label() const { return properties.value(QStringLiteral("label")).toString(); }
};

MenuNode readNode(const QDBusArgument& argument)
{
    MenuNode node;
    int id = 0;
    argument.beginStructure();
    argument >> id >> node.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        node.children.append(readNode(child.variant().value<QDBusArgument>()));
    }
    argument.endArray();
    argument.endStructure();
    return node;
}

// The label of the one ticked entry of the submenu holding the status entries, or why not.
QString tickedStatus(const MenuNode& menu)
{
    for (const MenuNode& entry : menu.children) {
        const auto holds = [&](const char* label) {
            return std::any_of(entry.children.begin(), entry.children.end(),
                [&](const MenuNode& child) { return child.label() == QLatin1String(label); });
        };
        if (!holds("CONECTADO") || !holds("DESCONECTADO"))
            continue;
        QStringList ticked;
        for (const MenuNode& child : entry.children) {
            if (child.properties.value(QStringLiteral("toggle-state")).toInt() == 1)
                ticked.append(child.label());
        }
        return ticked.size() == 1 ? ticked.constFirst() : QStringLiteral("ticked: ") + ticked.join(QLatin1Char(','));
    }
    return QStringLiteral("no status submenu");
}
} // namespace

class TestStatusNotifier final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void appIndicatorRule_data();
    void appIndicatorRule();

private:
    QTemporaryDir m_runtimeDir;
    QProcess m_xvfb;
    QString m_display;
    Watcher m_watcher;
};

void TestStatusNotifier::initTestCase()
{
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir.path()));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        QSKIP("no session bus; ctest runs this test under dbus-run-session");
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        QSKIP("Xvfb is not installed (package xvfb)");
    QVERIFY(bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &m_watcher,
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
    QVERIFY(bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
    // Xvfb picks a free display and writes its number once it takes clients.
    m_xvfb.start(QStringLiteral("Xvfb"),
        { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
            QStringLiteral("800x600x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp") });
    QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine(), Patience);
    m_display = QLatin1Char(':') + QString::fromLatin1(m_xvfb.readLine().trimmed());
}

void TestStatusNotifier::cleanupTestCase()
{
    m_xvfb.terminate();
    m_xvfb.waitForFinished();
}

void TestStatusNotifier::appIndicatorRule_data()
{
    QTest::addColumn<QString>("defaultStatus");
    QTest::addColumn<QString>("ticked");
    QTest::newRow("logged off") << "OF"
                                << "DESCONECTADO";
    QTest::newRow("online") << "ON"
                            << "CONECTADO";
    QTest::newRow("away") << "AU"
                          << "AUSENTE";
}

void TestStatusNotifier::appIndicatorRule()
{
    QFETCH(QString, defaultStatus);
    QFETCH(QString, ticked);
    StationProcess station(QStringLiteral("pc-a"), QStringLiteral("ANA"));
    Settings(station.home().home())
        .WriteSetting(QStringLiteral("SETUP"), QStringLiteral("DEFAULT_STATUS"), SettingString, defaultStatus);
    // As on a desktop: an X display, and the platform left to the program.
    station.setEnvironment(QStringLiteral("DISPLAY"), m_display);
    station.setEnvironment(QStringLiteral("QT_QPA_PLATFORM"), QString());
    m_watcher.service.clear();
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(!m_watcher.service.isEmpty(), Patience);

    QVERIFY(!itemProperty(m_watcher, "Id").toString().isEmpty());
    const QString menuPath = itemProperty(m_watcher, "Menu").value<QDBusObjectPath>().path();
    QVERIFY2(!menuPath.isEmpty() && menuPath != QLatin1String("/NO_DBUSMENU"), qPrintable(menuPath));
    const auto layout = [&] {
        QDBusMessage get = QDBusMessage::createMethodCall(
            m_watcher.service, menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
        get.setArguments({ 0, -1, QStringList() });
        const QDBusMessage reply = callAnswering(get);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
            return reply.errorMessage();
        return tickedStatus(readNode(reply.arguments().at(1).value<QDBusArgument>()));
    };
    // The automatic logon follows the splash, after the icon is up.
    QTRY_COMPARE_WITH_TIMEOUT(layout(), ticked, Patience);
    ::kill(pid_t(station.process().processId()), SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(station.process().state(), QProcess::NotRunning, Patience);
    QCOMPARE(station.process().exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestStatusNotifier)
#include "tst_statusnotifier.moc"
