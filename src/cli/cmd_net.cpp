#include "ansi.h"
#include "command.h"
#include "machineidentity.h"
#include "netoptions.h"
#include "talmailslot.h"
#include "terminaltext.h"
#include "udpmailslotbackend.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
const QString ListenPrefix = QStringLiteral("colloqua-cli listen: ");
const QString SendPrefix = QStringLiteral("colloqua-cli send: ");
const QString Count = QStringLiteral("--count");
const QString To = QStringLiteral("--to");
// Scripts wait for what they sent; the default second would only slow them down.
constexpr int ListenCheckIntervalMs = 100;

// SIGINT and SIGTERM end `listen` through the event loop: the handler only writes a byte to
// a socket pair, which a notifier on the other end turns into a quit.
volatile std::sig_atomic_t g_signalFd = -1;

extern "C" void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalFd, &byte, 1);
}

class StopSignals final
{
public:
    StopSignals()
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0) {
            m_fds[0] = m_fds[1] = -1;
            return;
        }
        g_signalFd = m_fds[1];
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &m_oldInt);
        ::sigaction(SIGTERM, &action, &m_oldTerm);
        m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    }

    ~StopSignals()
    {
        if (m_fds[0] < 0)
            return;
        ::sigaction(SIGINT, &m_oldInt, nullptr);
        ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_signalFd = -1;
        m_notifier.reset();
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }

    Q_DISABLE_COPY_MOVE(StopSignals)

    // Null when the signals could not be caught; they then end the process the usual way.
    QSocketNotifier* notifier() const { return m_notifier.get(); }

private:
    int m_fds[2] = { -1, -1 };
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// One datagram per line, whatever it holds, and no terminal control sequences from the network.
QString listenLine(const QString& computer, const QString& userName, const QString& text)
{
    QString payload = text;
    if (payload.endsWith(QLatin1String(Ansi::LineEnd)))
        payload.chop(2);
    return escapeForTerminal(computer, ControlEscapes::Named) + QLatin1Char('\t')
        + escapeForTerminal(userName, ControlEscapes::Named) + QLatin1Char('\t')
        + escapeForTerminal(payload, ControlEscapes::Named);
}

std::unique_ptr<TALMailSlot> makeTransport(const NetOptions& net)
{
    const NetworkConfig config = net.config;
    auto transport
        = std::make_unique<TALMailSlot>(std::make_unique<UdpMailslotBackend>(net.computer, [config] { return config; }),
            nullptr, net.computer, MachineIdentity::userName());
    transport->setMailBox(net.channel);
    return transport;
}

QString where(const NetworkConfig& config)
{
    return (config.address.isEmpty() ? QStringLiteral("*") : config.address) + QLatin1Char(':')
        + QString::number(config.port);
}

bool rejectLeftovers(const QStringList& rest, CliStreams& io, const QString& prefix)
{
    if (rest.isEmpty())
        return false;
    io.err << prefix << (rest.first().startsWith(QLatin1String("--")) ? "unknown option \"" : "unexpected argument \"")
           << rest.first() << "\"\n";
    return true;
}

int runListen(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(
        arguments, NetOptions::options() + QList<CliArguments::Option> { { Count } }, CliArguments::InDeclaredOrder);
    const std::optional<NetOptions> net = NetOptions::parse(args, io.err, ListenPrefix);
    if (!net)
        return ExitUsage;
    if (args.missing() == Count) {
        io.err << ListenPrefix << "--count needs a value\n";
        return ExitUsage;
    }
    const std::optional<QString> countText = args.value(Count);
    qint64 count = 0;
    if (countText) {
        bool ok = false;
        count = countText->toLongLong(&ok);
        if (!ok || count < 1) {
            io.err << ListenPrefix << "\"" << *countText << "\" is not a count (1 or more)\n";
            return ExitUsage;
        }
    }
    if (rejectLeftovers(args.rest(), io, ListenPrefix))
        return ExitUsage;

    const std::unique_ptr<TALMailSlot> transport = makeTransport(*net);
    transport->setCheckInterval(ListenCheckIntervalMs);

    QEventLoop loop;
    qint64 printed = 0;
    QObject::connect(transport.get(), &TALMailSlot::OnNewMessage, &loop,
        [&](const QString& computer, const QString& userName, const QString& text) {
            // Whatever is handed over after the last one counted is dropped.
            if (count > 0 && printed >= count)
                return;
            io.out << listenLine(computer, userName, text) << '\n';
            io.out.flush();
            if (count > 0 && ++printed >= count)
                loop.quit();
        });

    const StopSignals stopSignals;
    if (stopSignals.notifier())
        QObject::connect(stopSignals.notifier(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);

    transport->setActive(true);
    if (!transport->Active()) {
        io.err << ListenPrefix << "cannot open the mailbox " << net->channel << " at " << where(net->config)
               << " (taken by a station, or not an address of this machine)\n";
        return ExitFailure;
    }
    // Scripts wait for this line before they send.
    io.err << ListenPrefix << "listening on " << where(net->config) << ", channel " << net->channel << ", as "
           << net->computer << "\n";
    io.err.flush();
    loop.exec();
    transport->setActive(false);
    return ExitOk;
}

// A directed write to a name nobody can find goes nowhere; say so instead of succeeding.
bool canReach(const QString& computer)
{
    QHostAddress literal;
    if (literal.setAddress(computer))
        return literal.protocol() == QAbstractSocket::IPv4Protocol;
    const QList<QHostAddress> addresses = QHostInfo::fromName(computer).addresses();
    return std::any_of(addresses.cbegin(), addresses.cend(),
        [](const QHostAddress& a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
}

int runSend(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(
        arguments, NetOptions::options() + QList<CliArguments::Option> { { To } }, CliArguments::InDeclaredOrder);
    const std::optional<NetOptions> net = NetOptions::parse(args, io.err, SendPrefix);
    if (!net)
        return ExitUsage;
    const std::optional<QString> to = args.value(To);
    if (args.missing() == To || !to || to->isEmpty()) {
        io.err << SendPrefix << "--to COMPUTER (or \"*\" for every station) is required\n";
        return ExitUsage;
    }
    // "--" lets the text start with "--".
    if (!args.unknown().isEmpty()) {
        io.err << SendPrefix << "unknown option \"" << args.unknown() << "\"\n";
        return ExitUsage;
    }
    const QStringList& texts = args.positional();
    if (texts.size() != 1) {
        io.err << SendPrefix << "give the text as one argument (quote it)\n";
        return ExitUsage;
    }

    const bool broadcast = *to == QLatin1String("*");
    if (!broadcast && !canReach(*to)) {
        io.err << SendPrefix << "no address for the computer \"" << *to << "\": nothing sent\n";
        return ExitFailure;
    }
    const std::unique_ptr<TALMailSlot> transport = makeTransport(*net);
    if (broadcast)
        transport->Broadcast(texts.first());
    else
        transport->SendTo(*to, texts.first());
    // A name goes out once looked up, which must happen before the program ends.
    transport->WaitForSent(UdpMailslotBackend::ResolveWaitMs);
    return ExitOk;
}

const CliRegistration listenRegistration({ QStringLiteral("listen"),
    QStringLiteral("listen ") + NetOptions::usage() + QStringLiteral(" [--count N]"),
    QStringLiteral("Print every datagram of the channel, one line each: COMPUTER<TAB>USER<TAB>TEXT (the text without "
                   "its last line end; \\\\, \\t, \\r, \\n and \\xHH stand for a backslash and control characters). "
                   "Runs until interrupted (exit 0) or, with --count, until N datagrams have arrived."),
    runListen, QStringLiteral("Print every datagram delivered to a channel.") });

const CliRegistration sendRegistration({ QStringLiteral("send"),
    QStringLiteral("send ") + NetOptions::usage() + QStringLiteral(" --to COMPUTER|* [--] TEXT"),
    QStringLiteral("Send one datagram with TEXT as its payload to one computer (a name or an address) or, with "
                   "\"*\", to every station of the channel. Like any mailslot write, there is no delivery report."),
    runSend, QStringLiteral("Send one datagram to a computer or to every station.") });
} // namespace
