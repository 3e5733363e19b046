#include "networkdiagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace
{
// Whether a port list as firewalls write it ("45138", "45000-46000", "45000:46000",
// "{ 137, 138, 45138 }", "137,138,45138") holds `port`.
bool listHolds(QStringView list, quint16 port)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,{}]+"));
    const QStringList items = list.toString().split(separators, Qt::SkipEmptyParts);
    for (const QString& item : items) {
        const qsizetype dash = std::max(item.indexOf(QLatin1Char('-')), item.indexOf(QLatin1Char(':')));
        bool okLow = false;
        bool okHigh = false;
        const int low = (dash < 0 ? item : item.left(dash)).toInt(&okLow);
        const int high = dash < 0 ? low : item.mid(dash + 1).toInt(&okHigh);
        if (okLow && (dash < 0 || okHigh) && low <= port && port <= high)
            return true;
    }
    return false;
}

enum class Verdict
{
    None,
    Accept,
    Block,
};

Verdict verdictOf(const QString& line)
{
    static const QRegularExpression block(QStringLiteral("(\\b(drop|reject)\\b|-j\\s+(DROP|REJECT)\\b)"));
    static const QRegularExpression accept(QStringLiteral("(\\baccept\\b|-j\\s+ACCEPT\\b)"));
    if (block.match(line).hasMatch())
        return Verdict::Block;
    if (accept.match(line).hasMatch())
        return Verdict::Accept;
    return Verdict::None;
}

// Whether a rule line is about UDP datagrams to `port`: its destination ports hold it, or it
// names UDP with no destination port at all. A negated port ("!= 45138", "! --dport") is not.
bool concerns(const QString& line, quint16 port)
{
    static const QRegularExpression udp(QStringLiteral("\\budp\\b"));
    static const QRegularExpression ports(
        QStringLiteral("(!=?\\s*)?(?:\\bdport\\s+(\\{[^}]*\\}|\\S+)|--dports?\\s+(\\S+))"));
    static const QRegularExpression negated(QStringLiteral("!\\s*--dports?"));
    if (!udp.match(line).hasMatch())
        return false;
    const QRegularExpressionMatch match = ports.match(line);
    if (!match.hasMatch())
        return true;
    if (!match.captured(1).isEmpty() || negated.match(line).hasMatch())
        return false;
    return listHolds(match.captured(2).isEmpty() ? match.captured(3) : match.captured(2), port);
}
} // namespace

QList<quint64> NetworkDiagnosis::socketInodes(const QByteArray& procNetUdp, quint16 port)
{
    QList<quint64> inodes;
    const QList<QByteArray> lines = procNetUdp.split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 10)
            continue;
        const QByteArray& local = fields.at(1);
        const qsizetype colon = local.indexOf(':');
        bool ok = false;
        const uint localPort = colon < 0 ? 0 : local.mid(colon + 1).toUInt(&ok, 16);
        if (!ok || localPort != port)
            continue;
        const quint64 inode = fields.at(9).toULongLong(&ok);
        if (ok && inode != 0 && !inodes.contains(inode))
            inodes.append(inode);
    }
    return inodes;
}

QList<NetworkDiagnosis::SocketHolder> NetworkDiagnosis::portHolders(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    const QList<quint64> inodes = socketInodes(table.readAll(), port);
    QStringList targets;
    for (const quint64 inode : inodes)
        targets.append(QStringLiteral("socket:[%1]").arg(inode));
    QList<SocketHolder> holders;
    if (targets.isEmpty())
        return holders;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pidText : pids) {
        bool ok = false;
        const qint64 pid = pidText.toLongLong(&ok);
        if (!ok)
            continue;
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
        const QStringList fds = QDir(fdDir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& fd : fds) {
            if (!targets.contains(
                    QFileInfo(fdDir + QLatin1Char('/') + fd).symLinkTarget().section(QLatin1Char('/'), -1)))
                continue;
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            QString program;
            if (comm.open(QIODevice::ReadOnly))
                program = QString::fromLocal8Bit(comm.readAll()).trimmed();
            holders.append({ pid, program });
            break;
        }
    }
    return holders;
}

QStringList NetworkDiagnosis::blockingRules(const QString& ruleset, quint16 port)
{
    static const QRegularExpression nftPolicy(QStringLiteral("hook\\s+input\\b.*\\bpolicy\\s+drop\\b"));
    static const QRegularExpression iptablesPolicy(QStringLiteral("^:INPUT\\s+DROP\\b"));
    QStringList blocking;
    QString dropPolicy;
    bool accepted = false;
    const QStringList lines = ruleset.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (nftPolicy.match(line).hasMatch() || iptablesPolicy.match(line).hasMatch()) {
            dropPolicy = line;
            continue;
        }
        if (!concerns(line, port))
            continue;
        const Verdict verdict = verdictOf(line);
        if (verdict == Verdict::Block && !accepted)
            blocking.append(line);
        else if (verdict == Verdict::Accept)
            accepted = true;
    }
    if (!dropPolicy.isEmpty() && !accepted)
        blocking.append(dropPolicy);
    return blocking;
}
