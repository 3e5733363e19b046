#include "clock.h"
#include "command.h"
#include "frame.h"
#include "machineidentity.h"
#include "netoptions.h"
#include "presence.h"
#include "talmailslot.h"
#include "udpmailslotbackend.h"
#include "usertree.h"

#include <QEventLoop>
#include <QMap>
#include <QTimer>

#include <cmath>

namespace
{
const QString Prefix = QStringLiteral("colloqua-cli who: ");
const QString AckPrefix = QStringLiteral("ACK_USR_");
constexpr double DefaultTimeout = 2.0;
// Answers are handed over this often; the default second would only slow the count down.
constexpr int CheckIntervalMs = 50;

int runWho(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(
        arguments, NetOptions::options() + AnnounceOptions::options(), CliArguments::InDeclaredOrder);
    const std::optional<NetOptions> net = NetOptions::parse(args, io.err, Prefix);
    if (!net)
        return ExitUsage;
    const std::optional<AnnounceOptions> announce = AnnounceOptions::parse(args, io.err, Prefix, DefaultTimeout);
    if (!announce)
        return ExitUsage;
    const double timeout = announce->timeout;
    const QString& user = announce->user;

    const NetworkConfig config = net->config;
    TALMailSlot transport(std::make_unique<UdpMailslotBackend>(net->computer, [config] { return config; }), nullptr,
        net->computer, MachineIdentity::userName());
    transport.setCheckInterval(CheckIntervalMs);
    transport.setMailBox(net->channel);
    transport.setActive(true);
    if (!transport.Active()) {
        io.err << Prefix << "cannot open the mailbox " << net->channel << " on port " << config.port
               << (config.address.isEmpty() ? QString() : QStringLiteral(" at ") + config.address)
               << " (taken by a station, or not an address of this machine)\n";
        return ExitFailure;
    }

    const SystemClock clock;
    // One line per station that answered, in order: "USER (computer)" and its status code.
    QMap<QString, QString> answered;
    QObject context;
    QObject::connect(&transport, &TALMailSlot::OnNewMessage, &context,
        [&](const QString& computer, const QString&, const QString& text) {
            TDados frame;
            ParseFrame(text, frame, clock);
            const QString sender = computer.toLower();
            if (!frame.Valid || frame.ToUser != user || !frame.Command.startsWith(AckPrefix))
                return;
            const QString code = frame.Command.mid(AckPrefix.size());
            const std::optional<Presence> status = PresenceFromCode(code);
            // The acknowledgements of ON, AU, OC and IN; offline has none.
            if (!status || status == Presence::Offline || !IsAcceptableName(frame.FromUser)
                || !IsAcceptableName(sender))
                return;
            answered.insert(UserEntryText(frame.FromUser, sender), code);
        });

    // Invisible: the stations answer, but none shows us.
    transport.Broadcast(BuildPresenceFrame(user, FrameTimestamp(clock), PresenceCode(Presence::Invisible)));
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::lround(timeout * 1000)), &loop, &QEventLoop::quit);
    loop.exec();
    transport.Broadcast(BuildLogoffFrame(user, FrameTimestamp(clock)));
    // Broadcast destinations given by name may still be being looked up.
    transport.WaitForSent(UdpMailslotBackend::ResolveWaitMs);
    transport.setActive(false);

    for (auto it = answered.cbegin(); it != answered.cend(); ++it)
        io.out << it.key() << " " << it.value() << "\n";
    return ExitOk;
}

const CliRegistration registration({ QStringLiteral("who"),
    QStringLiteral("who ") + NetOptions::usage() + QStringLiteral(" [--timeout S] [--user NAME]"),
    QStringLiteral("Announce an invisible presence on the channel and list the stations that answer within S "
                   "seconds (2 by default), one line each: USER (computer) STATUS. It announces itself as your "
                   "login name in capitals (characters a user name cannot hold written \"-\") on this computer "
                   "(the host name, or --computer), the same at every run, so the stations' trees keep one entry "
                   "for it, shown offline once it has left; --user NAME announces another name. Give --user "
                   "when a station of this computer is logged on under your login name, or the others would "
                   "see that station go offline."),
    runWho, QStringLiteral("List the stations that answer on a channel.") });
} // namespace
