#pragma once

// A colloqua process on its own loopback address and temporary home, started offscreen,
// logging on by itself as `user` to the channel CANAL (no user: it waits logged off).

#include "loopback.h"
#include "settings.h"
#include "temphome.h"

#include <QHostAddress>
#include <QMap>
#include <QProcess>

#include <csignal>

class StationProcess
{
public:
    static inline const QString Channel = QStringLiteral("CANAL");
    static constexpr int Patience = 15000;

    StationProcess(const QString& computer, const QString& user)
        : m_computer(computer)
        , m_address(Loopback::nextAddress())
    {
        m_home.home().ensureDataDir();
        Settings settings(m_home.home());
        const quint16 port = Loopback::testPort();
        const QString setup = QStringLiteral("SETUP");
        const QString rede = QStringLiteral("REDE");
        settings.WriteSetting(setup, QStringLiteral("DEFAULT_USER"), SettingString, user);
        settings.WriteSetting(setup, QStringLiteral("DEFAULT_CHANNEL"), SettingString, Channel);
        settings.WriteSetting(setup, QStringLiteral("DEFAULT_STATUS"), SettingString, QStringLiteral("ON"));
        settings.WriteSetting(rede, QStringLiteral("PORTA"), SettingInteger, int(port));
        settings.WriteSetting(rede, QStringLiteral("ENDERECO"), SettingString, m_address.toString());
        settings.WriteSetting(
            rede, QStringLiteral("DIFUSAO"), SettingString, QStringLiteral("127.255.255.255:%1").arg(port));
    }

    ~StationProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    void start()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        startOn(m_process, m_computer);
    }

    // A variable for the program, over the offscreen default; an empty value unsets it.
    void setEnvironment(const QString& name, const QString& value) { m_environment.insert(name, value); }

    // Starts another program on this station's home, as a user starting it twice would.
    void startOn(QProcess& process, const QString& computer) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (auto it = m_environment.cbegin(); it != m_environment.cend(); ++it) {
            if (it.value().isEmpty())
                environment.remove(it.key());
            else
                environment.insert(it.key(), it.value());
        }
        process.setProcessEnvironment(environment);
        QStringList arguments { QStringLiteral("--home"), m_home.path() };
        // Without one, the station takes COMPUTADOR of its settings, else the host name.
        if (!computer.isEmpty())
            arguments << QStringLiteral("--computer") << computer;
        process.start(QStringLiteral(COLLOQUA_APP_PATH), arguments);
    }

    // Sends `signalNumber` and waits for a clean end.
    bool stop(int signalNumber = SIGTERM)
    {
        ::kill(static_cast<pid_t>(m_process.processId()), signalNumber);
        return m_process.waitForFinished(Patience) && m_process.exitStatus() == QProcess::NormalExit
            && m_process.exitCode() == 0;
    }
    bool terminate() { return stop(SIGTERM); }

    QProcess& process() { return m_process; }
    const TempHome& home() const { return m_home; }

    QStringList treeFile() const
    {
        return QString::fromLatin1(m_home.read(QStringLiteral("Dados/ArvUsuarios.tv")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    QString lastChannel() const
    {
        return Settings(m_home.home()).readString(QStringLiteral("SETUP"), QStringLiteral("LAST_CHANNEL"), {}, {});
    }

private:
    TempHome m_home;
    QString m_computer;
    QHostAddress m_address;
    QMap<QString, QString> m_environment;
    QProcess m_process;
};
