#include "clock.h"
#include "command.h"
#include "duplicatename.h"
#include "frame.h"
#include "interfaceaddresses.h"
#include "machineidentity.h"
#include "netbiosdatagram.h"
#include "netoptions.h"
#include "networkdiagnosis.h"
#include "preferences.h"
#include "presence.h"
#include "settings.h"
#include "stationhome.h"
#include "talmailslot.h"
#include "terminaltext.h"
#include "udpmailslotbackend.h"
#include "usertree.h"
#include "usertreefile.h"

#include <QEventLoop>
#include <QFile>
#include <QHostInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace
{
const QString Prefix = QStringLiteral("colloqua-cli doctor: ");
const QString AckPrefix = QStringLiteral("ACK_USR_");
constexpr double DefaultTimeout = 3.0;
constexpr int CheckIntervalMs = 50;
constexpr int FirewallWaitMs = 5000;

// What the run found, printed as it goes: "ok", "note" (nothing to change) or "PROBLEM" with
// what to change. Findings carry names heard on the network, so every line is escaped here.
class Report
{
public:
    explicit Report(QTextStream& out)
        : m_out(out)
    { }

    void section(const QString& title)
    {
        m_out << '\n' << title << '\n';
        m_out.flush();
    }
    void line(const QString& text) { m_out << "  " << escapeForTerminal(text) << '\n'; }
    void ok(const QString& text) { m_out << "  ok: " << escapeForTerminal(text) << '\n'; }
    void note(const QString& text) { m_out << "  note: " << escapeForTerminal(text) << '\n'; }
    void problem(const QString& text, const QString& change)
    {
        ++m_problems;
        m_out << "  PROBLEM: " << escapeForTerminal(text) << '\n';
        if (!change.isEmpty())
            m_out << "    change: " << escapeForTerminal(change) << '\n';
    }
    int problems() const { return m_problems; }

private:
    QTextStream& m_out;
    int m_problems = 0;
};

QString ip(quint32 address)
{
    return InterfaceAddresses::text(address);
}

QString kib(qint64 bytes)
{
    return QStringLiteral("%1 KiB").arg((bytes + 1023) / 1024);
}

void waitMs(int msecs)
{
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    loop.exec();
}

// One station that answered an announcement of ours.
struct Answer
{
    QString code;
    QString address;
    bool directOnly = false; // answered only the directed announcement
};

// The user entries of the tree file, read without touching the file.
QList<UserEntryParts> treeEntries(const StationHome& home, bool& found)
{
    QFile file(UserTreeFile::path(home));
    found = file.open(QIODevice::ReadOnly);
    QList<UserEntryParts> entries;
    if (!found)
        return entries;
    const UserTreeFile::ParseResult parsed = UserTreeFile::fromBytes(file.readAll());
    const QList<UserTreeNode*> nodes = parsed.tree.nodes();
    for (const UserTreeNode* node : nodes) {
        if (!node->isUserEntry())
            continue;
        UserEntryParts entry = SepararUsuario(*node);
        entry.computer = entry.computer.toLower();
        entries.append(entry);
    }
    return entries;
}

void reportInterfaces(Report& report, const NetworkConfig& config)
{
    report.section(QStringLiteral("Interfaces and addresses"));
    const QList<InterfaceAddress> interfaces = InterfaceAddresses::current();
    bool networkUp = false;
    for (const InterfaceAddress& a : interfaces) {
        report.line(QStringLiteral("%1 %2/%3%4%5")
                        .arg(a.interface, ip(a.ip))
                        .arg(a.prefixLength)
                        .arg(a.broadcast ? QStringLiteral(" broadcast ") + ip(*a.broadcast) : QString(),
                            a.up ? QString() : QStringLiteral(" (down)")));
        networkUp = networkUp || (a.up && a.running && !a.loopback);
    }
    report.line(config.address.isEmpty()
            ? QStringLiteral("bound: every interface, UDP port %1 (ENDERECO empty)").arg(config.port)
            : QStringLiteral("bound: %1, UDP port %2 (ENDERECO)").arg(config.address).arg(config.port));
    QStringList destinations;
    if (config.broadcast.isEmpty()) {
        const QList<quint32> targets = InterfaceAddresses::broadcastTargets(interfaces);
        for (const quint32 target : targets)
            destinations.append(QStringLiteral("%1:%2").arg(ip(target)).arg(config.port));
        report.line(QStringLiteral("broadcasts go to: %1 (DIFUSAO empty: every interface)")
                        .arg(destinations.join(QStringLiteral(", "))));
    } else {
        for (const NetworkEndpoint& endpoint : config.broadcast)
            destinations.append(QStringLiteral("%1:%2").arg(endpoint.host).arg(endpoint.port));
        report.line(QStringLiteral("broadcasts go to: %1 (DIFUSAO)").arg(destinations.join(QStringLiteral(", "))));
    }
    if (config.address.isEmpty() && !networkUp) {
        report.problem(QStringLiteral("no network interface besides loopback is up: no other machine hears this one"),
            QStringLiteral("connect the network, then log on again"));
    }
    for (const NetworkEndpoint& endpoint : config.broadcast) {
        QHostAddress literal;
        if (literal.setAddress(endpoint.host))
            continue;
        const QList<QHostAddress> found = QHostInfo::fromName(endpoint.host).addresses();
        if (std::none_of(found.cbegin(), found.cend(),
                [](const QHostAddress& a) { return a.protocol() == QAbstractSocket::IPv4Protocol; })) {
            report.problem(
                QStringLiteral("the broadcast destination %1 has no address: nothing is sent there").arg(endpoint.host),
                QStringLiteral("correct DIFUSAO in section REDE of colloqua.ini"));
        }
    }
}

void reportPortTaken(Report& report, const MailslotOpenError& error)
{
    const QString where = error.address.isEmpty()
        ? QStringLiteral("UDP port %1").arg(error.port)
        : QStringLiteral("UDP port %1 of %2").arg(error.port).arg(error.address);
    switch (error.kind) {
    case MailslotOpenError::Kind::PortInUse: {
        const QList<NetworkDiagnosis::SocketHolder> holders = NetworkDiagnosis::portHolders(error.port);
        QStringList names;
        bool station = false;
        for (const NetworkDiagnosis::SocketHolder& holder : holders) {
            names.append(QStringLiteral("%1 (pid %2)").arg(holder.program).arg(holder.pid));
            station = station || holder.program.startsWith(QLatin1String("colloqua"));
        }
        const QString who = names.isEmpty() ? QStringLiteral("a process this user cannot see (try as root)")
                                            : names.join(QStringLiteral(", "));
        report.problem(QStringLiteral("%1 is taken by %2: the network checks cannot run").arg(where, who),
            station ? QStringLiteral("log the station off (DESCONECTADO) while the doctor runs, or run it with "
                                     "--address set to another address of this machine")
                    : QStringLiteral("close that program, or set another PORTA in section REDE on every station"));
        return;
    }
    case MailslotOpenError::Kind::AddressNotLocal:
        report.problem(QStringLiteral("%1 is not an address of this machine").arg(error.address),
            QStringLiteral("correct ENDERECO in section REDE of colloqua.ini, or leave it empty"));
        return;
    case MailslotOpenError::Kind::Refused:
    case MailslotOpenError::Kind::None:
        report.problem(QStringLiteral("the system refused to open %1").arg(where),
            QStringLiteral("check ENDERECO and PORTA in section REDE of colloqua.ini"));
        return;
    }
}

void reportReceiveBuffer(Report& report, int granted, int treeSize)
{
    QFile file(QStringLiteral("/proc/sys/net/core/rmem_max"));
    const QString rmemMax
        = file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed() : QStringLiteral("unknown");
    const qint64 burst = qint64(std::max(treeSize, 1)) * NetworkDiagnosis::BufferBytesPerDatagram;
    const qint64 room = granted / NetworkDiagnosis::BufferBytesPerDatagram;
    const QString reading = QStringLiteral("the socket's receive buffer is %1 (net.core.rmem_max %2), room for about "
                                           "%3 answers at once; the tree holds %4 entries")
                                .arg(kib(granted), rmemMax)
                                .arg(room)
                                .arg(treeSize);
    // The station asks for ReceiveBufferBytes; the system grants twice what it allows.
    if (granted < std::min<qint64>(burst, 2 * qint64(UdpMailslotBackend::ReceiveBufferBytes))) {
        report.problem(reading + QStringLiteral(": a burst of answers at logon may overflow it"),
            QStringLiteral("sysctl -w net.core.rmem_max=%1 (and the same line in a file under /etc/sysctl.d/)")
                .arg(UdpMailslotBackend::ReceiveBufferBytes));
    } else {
        report.ok(reading);
    }
}

void reportFirewall(Report& report, quint16 port)
{
    report.section(QStringLiteral("Firewall"));
    const QList<QStringList> tools = { { QStringLiteral("nft"), QStringLiteral("list"), QStringLiteral("ruleset") },
        { QStringLiteral("iptables-save") } };
    for (QStringList command : tools) {
        const QString program = command.takeFirst();
        QProcess process;
        process.start(program, command);
        if (!process.waitForStarted(FirewallWaitMs)) {
            report.note(QStringLiteral("%1 is not installed: its rules were not read").arg(program));
            continue;
        }
        if (!process.waitForFinished(FirewallWaitMs) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0) {
            report.note(QStringLiteral("%1 could not be read (it needs root): run the doctor as root to check it")
                            .arg(program));
            continue;
        }
        const QStringList rules
            = NetworkDiagnosis::blockingRules(QString::fromLocal8Bit(process.readAllStandardOutput()), port);
        for (const QString& rule : rules) {
            report.problem(QStringLiteral("%1 drops UDP port %2: \"%3\"").arg(program).arg(port).arg(rule),
                QStringLiteral("accept UDP port %1 in the firewall of every station").arg(port));
        }
        if (rules.isEmpty())
            report.ok(QStringLiteral("no %1 rule drops UDP port %2").arg(program).arg(port));
    }
}

void reportOverheard(Report& report, const UdpMailslotBackend& udp, const NetOptions& net)
{
    report.section(QStringLiteral("Heard on the port, not for this station"));
    const QList<UdpMailslotBackend::Overheard> heard = udp.overheard();
    for (const UdpMailslotBackend::Overheard& h : heard) {
        const QString sender = QStringLiteral("%1 (%2)").arg(h.sender.toLower(), ip(h.from));
        switch (h.why) {
        case UdpMailslotBackend::Overheard::Why::OtherChannel:
            report.problem(QStringLiteral("%1 speaks on channel %2, not %3").arg(sender, h.mailBox, net.channel),
                QStringLiteral("log on to the same channel on both stations"));
            break;
        case UdpMailslotBackend::Overheard::Why::OtherGroup:
            report.problem(QStringLiteral("%1 broadcasts to workgroup %2, not %3 (GRUPO)")
                               .arg(sender, h.destination, net.config.group),
                QStringLiteral("set the same GRUPO in section REDE on both stations"));
            break;
        case UdpMailslotBackend::Overheard::Why::OtherComputer:
            report.problem(QStringLiteral("%1 sent datagrams for the computer %2 to this address")
                               .arg(sender, h.destination.toLower()),
                QStringLiteral("%1 still holds an old address for %2 (it moved, or two machines share the "
                               "name); it learns the right one when %2 speaks again")
                    .arg(h.sender.toLower(), h.destination.toLower()));
            break;
        }
    }
    if (heard.isEmpty())
        report.ok(QStringLiteral("nothing for another channel, workgroup or computer"));
}

void reportTables(Report& report, const UdpMailslotBackend& udp)
{
    report.section(QStringLiteral("Transport tables of this run"));
    const UdpMailslotBackend::Usage usage = udp.usage();
    report.line(QStringLiteral("peer table: %1 of %2 entries, about %3 (at most %4)")
                    .arg(usage.peers)
                    .arg(PeerDirectory::MaxPeers)
                    .arg(kib(usage.peerBytes), kib(qint64(PeerDirectory::MaxPeers) * PeerDirectory::BytesPerEntry)));
    report.line(
        QStringLiteral("duplicate table: %1 of %2 entries, about %3 (at most %4)")
            .arg(usage.seen)
            .arg(DuplicateFilter::MaxEntries)
            .arg(kib(usage.seenBytes), kib(qint64(DuplicateFilter::MaxEntries) * DuplicateFilter::BytesPerEntry)));
    report.line(
        QStringLiteral("receive queue: %1 of %2 messages, about %3 (at most %4)")
            .arg(usage.queued)
            .arg(ReceiveQueue::DefaultMessages)
            .arg(kib(usage.queueBytes),
                kib(ReceiveQueue::DefaultBytes + qint64(ReceiveQueue::DefaultMessages) * ReceiveQueue::BytesPerItem)));
    report.line(QStringLiteral("dropped: %1 for a full queue or share, %2 for another computer name, %3 not mailslot "
                               "writes, %4 lost in the socket buffer")
                    .arg(udp.droppedCount())
                    .arg(udp.misaddressedCount())
                    .arg(udp.rejectedCount())
                    .arg(udp.lostCount()));
    const QHash<quint32, quint64> bySource = udp.droppedBySource();
    for (auto it = bySource.cbegin(); it != bySource.cend(); ++it)
        report.line(QStringLiteral("  dropped from %1: %2").arg(ip(it.key())).arg(it.value()));
}

int runDoctor(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(arguments,
        QList<CliArguments::Option> { { QStringLiteral("--home") } } + NetOptions::options()
            + AnnounceOptions::options(),
        CliArguments::InDeclaredOrder);
    if (args.missing() == QLatin1String("--home")) {
        io.err << Prefix << "--home needs a value\n";
        return ExitUsage;
    }
    const std::optional<QString> homeText = args.value(QStringLiteral("--home"));
    const StationHome home(homeText.value_or(QString()));
    const Settings settings(home);

    // The station's own settings stand for every flag not given.
    NetOptions defaults;
    defaults.config = NetworkConfig::fromSettings(settings);
    defaults.computer = NetworkConfig::computerName(settings);
    defaults.channel = Preferences(settings).lastChannel();
    if (defaults.channel.isEmpty())
        defaults.channel = QStringLiteral("NETWORK");
    const std::optional<NetOptions> net = NetOptions::parse(args, io.err, Prefix, defaults);
    if (!net)
        return ExitUsage;
    const std::optional<AnnounceOptions> announce = AnnounceOptions::parse(args, io.err, Prefix, DefaultTimeout);
    if (!announce)
        return ExitUsage;
    const double timeout = announce->timeout;
    const QString& user = announce->user;
    const int waitTime = static_cast<int>(std::lround(timeout * 1000));
    const QString computer = net->computer.toLower();
    const NetworkConfig config = net->config;

    Report report(io.out);
    io.out << "Colloqua doctor: channel " << escapeForTerminal(net->channel) << ", computer "
           << escapeForTerminal(net->computer) << ", announcing as " << escapeForTerminal(user) << ", home "
           << escapeForTerminal(home.ProgramDir()) << '\n';
    bool treeFound = false;
    const QList<UserEntryParts> entries = treeEntries(home, treeFound);
    reportInterfaces(report, config);

    auto backend = std::make_unique<UdpMailslotBackend>(net->computer, [config] { return config; });
    UdpMailslotBackend& udp = *backend;
    udp.recordOverheard(true);
    QList<DuplicateName> duplicates;
    udp.setDuplicateNameHandler([&](const DuplicateName& d) { duplicates.append(d); });
    TALMailSlot transport(std::move(backend), nullptr, net->computer, MachineIdentity::userName());
    transport.setCheckInterval(CheckIntervalMs);
    transport.setMailBox(net->channel);
    transport.setActive(true);

    report.section(QStringLiteral("Port"));
    if (!transport.Active()) {
        reportPortTaken(report, transport.OpenError());
        reportFirewall(report, config.port);
        io.out << '\n' << report.problems() << " problem(s) found.\n";
        return ExitFailure;
    }
    report.ok(QStringLiteral("UDP port %1 is free and now bound by the doctor").arg(config.port));
    reportReceiveBuffer(report, udp.receiveBufferBytes(), int(entries.size()));
    reportFirewall(report, config.port);

    const SystemClock clock;
    bool echo = false;
    QMap<QString, Answer> answers; // by "USER (computer)"
    bool directPhase = false;
    QObject context;
    QObject::connect(&transport, &TALMailSlot::OnNewMessage, &context,
        [&](const QString& from, const QString&, const QString& text) {
            TDados frame;
            ParseFrame(text, frame, clock);
            const QString sender = from.toLower();
            if (!frame.Valid)
                return;
            if (frame.FromUser == user && sender == computer && frame.Command.startsWith(QLatin1String("USR_"))) {
                echo = true;
                return;
            }
            if (frame.ToUser != user || !frame.Command.startsWith(AckPrefix) || !IsAcceptableName(frame.FromUser)
                || !IsAcceptableName(sender))
                return;
            const QString entry = UserEntryText(frame.FromUser, sender);
            if (answers.contains(entry))
                return;
            const std::optional<QHostAddress> address = udp.learntAddress(sender);
            answers.insert(
                entry, { frame.Command.mid(AckPrefix.size()), address ? address->toString() : QString(), directPhase });
        });

    report.section(QStringLiteral("Announcement on channel %1").arg(net->channel));
    report.line(QStringLiteral("listening for %1 s after an invisible announcement...").arg(timeout));
    io.out.flush();
    transport.Broadcast(BuildPresenceFrame(user, FrameTimestamp(clock), PresenceCode(Presence::Invisible)));
    transport.WaitForSent(UdpMailslotBackend::ResolveWaitMs);
    waitMs(waitTime);
    if (echo) {
        report.ok(QStringLiteral("the own broadcast came back"));
    } else {
        report.problem(QStringLiteral("the own broadcast did not come back: the broadcast destinations do not reach "
                                      "this machine"),
            QStringLiteral("leave DIFUSAO empty, or list the broadcast address of this machine's subnet in it"));
    }
    for (auto it = answers.cbegin(); it != answers.cend(); ++it)
        report.line(QStringLiteral("answered: %1 %2 from %3").arg(it.key(), it->code, it->address));
    if (answers.isEmpty())
        report.problem(QStringLiteral("no station answered on channel %1").arg(net->channel),
            QStringLiteral("check that the others log on to channel %1, with the same PORTA and GRUPO")
                .arg(net->channel));

    // Entries of the tree that did not answer, tried one by one.
    report.section(QStringLiteral("Entries of the user tree"));
    if (!treeFound)
        report.note(QStringLiteral("no tree file in %1").arg(home.ProgramDir()));
    // A computer heard on the port but not answering (another workgroup, say) is tried where
    // it was heard: its name may not resolve.
    QHash<QString, QString> heardAt;
    for (const UdpMailslotBackend::Overheard& h : udp.overheard())
        heardAt.insert(h.sender, ip(h.from));
    QStringList tried;
    for (const UserEntryParts& entry : entries) {
        if (entry.computer == computer || answers.contains(UserEntryText(entry.user, entry.computer))
            || tried.contains(entry.computer))
            continue;
        tried.append(entry.computer);
        const QString target = heardAt.value(NetbiosDatagram::wireName(entry.computer), entry.computer);
        transport.SendTo(
            target, BuildStatusFrame(user, entry.user, FrameTimestamp(clock), PresenceCode(Presence::Invisible)));
    }
    if (!tried.isEmpty()) {
        directPhase = true;
        report.line(QStringLiteral("trying %1 silent computer(s) with a directed announcement...").arg(tried.size()));
        io.out.flush();
        transport.WaitForSent(UdpMailslotBackend::ResolveWaitMs);
        waitMs(waitTime);
    }
    QSet<QString> foreignGroup;
    for (const UdpMailslotBackend::Overheard& h : udp.overheard()) {
        if (h.why == UdpMailslotBackend::Overheard::Why::OtherGroup)
            foreignGroup.insert(h.sender);
    }
    for (const UserEntryParts& entry : entries) {
        const QString text = UserEntryText(entry.user, entry.computer);
        if (entry.computer == computer)
            continue;
        const auto answer = answers.constFind(text);
        if (answer != answers.cend() && !answer->directOnly) {
            report.ok(QStringLiteral("%1 answered").arg(text));
        } else if (answer != answers.cend()) {
            if (foreignGroup.contains(NetbiosDatagram::wireName(entry.computer))) {
                report.problem(QStringLiteral("%1 answers from %2 when addressed, but its workgroup (GRUPO) is not %3")
                                   .arg(text, answer->address, config.group),
                    QStringLiteral("set the same GRUPO in section REDE on both stations"));
            } else {
                const QString subnet = answer->address.section(QLatin1Char('.'), 0, 2) + QStringLiteral(".255");
                report.problem(
                    QStringLiteral("%1 answers from %2 when addressed, but not the broadcast: the broadcast does not "
                                   "reach it")
                        .arg(text, answer->address),
                    QStringLiteral("add its subnet's broadcast address to DIFUSAO in section REDE (for a /24 network: "
                                   "DIFUSAO=%1)")
                        .arg(subnet));
            }
        } else {
            QStringList others;
            for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
                if (it.key().endsWith(QStringLiteral(" (") + entry.computer + QLatin1Char(')')))
                    others.append(it.key().section(QLatin1Char(' '), 0, 0));
            }
            if (!others.isEmpty()) {
                report.note(QStringLiteral("%1 did not answer: %2 is logged on there")
                                .arg(text, others.join(QStringLiteral(", "))));
                continue;
            }
            const std::optional<QHostAddress> address = udp.destinationOf(entry.computer);
            report.problem(address ? QStringLiteral("%1 did not answer at %2").arg(text, address->toString())
                                   : QStringLiteral("%1 did not answer, and %2 has no address (not heard, not known to "
                                                    "the resolver)")
                                         .arg(text, entry.computer),
                QStringLiteral("it is not running or not logged on to %1, or a firewall there drops UDP port %2")
                    .arg(net->channel)
                    .arg(config.port));
        }
    }
    if (entries.isEmpty() && treeFound)
        report.note(QStringLiteral("the tree holds no user entry"));

    // Leaving: every station that heard us shows us offline.
    transport.Broadcast(BuildLogoffFrame(user, FrameTimestamp(clock)));
    for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
        if (it->directOnly)
            transport.SendTo(
                it.key().section(QLatin1Char('('), 1).chopped(1), BuildLogoffFrame(user, FrameTimestamp(clock)));
    }
    transport.WaitForSent(UdpMailslotBackend::ResolveWaitMs);

    report.section(QStringLiteral("Computer names"));
    for (const DuplicateName& d : duplicates) {
        QStringList addresses;
        for (const QHostAddress& a : d.addresses)
            addresses.append(a.toString());
        report.problem(QStringLiteral("two machines speak as %1: %2")
                           .arg(d.name.toLower(), addresses.join(QStringLiteral(" and "))),
            QStringLiteral("give one of them another name: COMPUTADOR in section REDE of its colloqua.ini"));
    }
    if (duplicates.isEmpty())
        report.ok(QStringLiteral("no computer name heard from two machines"));

    reportOverheard(report, udp, *net);
    reportTables(report, udp);
    transport.setActive(false);

    io.out << '\n'
           << (report.problems() == 0 ? QStringLiteral("Nothing wrong found.")
                                      : QStringLiteral("%1 problem(s) found.").arg(report.problems()))
           << '\n';
    return report.problems() == 0 ? ExitOk : ExitFailure;
}

const CliRegistration registration({ QStringLiteral("doctor"),
    QStringLiteral("doctor [--home DIR] ")
        + NetOptions::usage().replace(QStringLiteral("--channel C"), QStringLiteral("[--channel C]"))
        + QStringLiteral(" [--timeout S] [--user NAME]"),
    QStringLiteral(
        "Explain why a colleague is missing. Reads colloqua.ini and the user tree of the station home DIR (default: "
        "the station home); the network flags, when given, stand for its REDE settings, and the channel defaults to "
        "its last channel. It lists the interfaces, the address bound and the broadcast destinations; checks that the "
        "port is free (or names the process that holds it), the kernel's receive buffer against a burst of the "
        "tree's size and the firewall rules (nft, iptables-save: as root); announces itself invisible (as `who` "
        "does) and lists who answers with their addresses and whether the own broadcast came back; tries every "
        "entry of the tree that did not answer with a directed announcement (an answer means the broadcast does "
        "not reach it: add its subnet to DIFUSAO; silence means it is not running or is firewalled); and names "
        "duplicate computer names and every datagram heard for another channel, workgroup or computer. Each wait "
        "lasts S seconds (3 by default); run it longer while the missing colleague logs on again or presses F5 to "
        "hear stations of another channel or workgroup. A station logged on at this address holds the port: log "
        "it off first. Exit code 0 when nothing is wrong, 1 when a problem was found."),
    runDoctor, QStringLiteral("Explain why a colleague does not show up.") });
} // namespace
