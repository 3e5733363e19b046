#include "communicatorsession.h"

#include "clock.h"
#include "deliverymarks.h"
#include "fileerror.h"
#include "frame.h"
#include "historyfiles.h"
#include "mailslotbackend.h"
#include "namelists.h"
#include "preferences.h"
#include "presence.h"
#include "talmailslot.h"
#include "usertreefile.h"

#include <utility>

namespace
{
// The announcements a station answers, with the index each puts into the tree.
struct PresenceFrame
{
    int index = -1;
    bool acknowledged = false; // an announcement ("USR_"), not an acknowledgement
};

PresenceFrame presenceOf(const QString& command)
{
    const QString announcement = PresenceCommand(QString());
    const QString ack = AckCommand(QString());
    if (command.startsWith(announcement)) {
        if (const std::optional<Presence> status = PresenceFromCode(QStringView(command).mid(announcement.size())))
            return { PresenceIndex(*status), true };
    } else if (command.startsWith(ack)) {
        // An invisible station's acknowledgement is left out: it keeps the station hidden.
        const std::optional<Presence> status = PresenceFromCode(QStringView(command).mid(ack.size()));
        if (status && status != Presence::Invisible && status != Presence::Offline)
            return { PresenceIndex(*status), false };
    }
    return {};
}
} // namespace

int CommunicatorSession::StatusIndex(const QString& code)
{
    return PresenceIndex(PresenceFromCode(code).value_or(Presence::Online));
}

Presence CommunicatorSession::StatusOf(int selector)
{
    switch (selector) {
    case 2:
        return Presence::Away;
    case 3:
        return Presence::Busy;
    case 4:
        return Presence::Invisible;
    default:
        return Presence::Online;
    }
}

QString CommunicatorSession::StatusCode(int selector)
{
    return PresenceCode(StatusOf(selector));
}

QString CommunicatorSession::MailboxProblem(const MailslotOpenError& error)
{
    const QString port = QString::number(error.port);
    switch (error.kind) {
    case MailslotOpenError::Kind::None:
        return {};
    case MailslotOpenError::Kind::PortInUse:
        if (error.address.isEmpty())
            return tr("A porta UDP %1 já está em uso neste computador, por outro programa ou por outra cópia do "
                      "Colloqua: esta estação não recebe mensagens.\r\rFeche o outro programa, ou defina ENDERECO "
                      "ou PORTA na seção REDE do arquivo colloqua.ini e conecte-se de novo.")
                .arg(port);
        return tr("A porta UDP %1 do endereço %2 já está em uso, por outro programa ou por outra cópia do Colloqua: "
                  "esta estação não recebe mensagens.\r\rFeche o outro programa, ou defina outro ENDERECO ou outra "
                  "PORTA na seção REDE do arquivo colloqua.ini e conecte-se de novo.")
            .arg(port, error.address);
    case MailslotOpenError::Kind::AddressNotLocal:
        return tr("O endereço %1 (ENDERECO na seção REDE do arquivo colloqua.ini) não é um endereço deste "
                  "computador: esta estação não recebe mensagens.\r\rCorrija ENDERECO, ou deixe-o vazio, e "
                  "conecte-se de novo.")
            .arg(error.address);
    case MailslotOpenError::Kind::Refused:
        break;
    }
    if (error.address.isEmpty())
        return tr("O sistema não deixou abrir a porta UDP %1: esta estação não recebe mensagens.\r\rVerifique "
                  "ENDERECO e PORTA na seção REDE do arquivo colloqua.ini e conecte-se de novo.")
            .arg(port);
    return tr("O sistema não deixou abrir a porta UDP %1 do endereço %2: esta estação não recebe mensagens.\r\r"
              "Verifique ENDERECO e PORTA na seção REDE do arquivo colloqua.ini e conecte-se de novo.")
        .arg(port, error.address);
}

CommunicatorSession::CommunicatorSession(Services services, const QLocale& collation, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_collation(collation)
    , m_presenceSaves(
          [this] {
              fileStep([&] {
                  UserTreeFile::saveWithoutFlush(m_master, m_treePath);
                  emit treeSaved();
              });
              reportFileErrors();
          },
          [this] {
              fileStep([&] { UserTreeFile::flush(m_treePath); });
              reportFileErrors();
          })
{
    m_visible.sortBy(m_collation);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(RefreshDelayMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CommunicatorSession::onRefreshTimeout);
}

CommunicatorSession::~CommunicatorSession()
{
    // Gone without a logoff (a logoff leaves nothing pending): what presence left goes to the
    // disk. Nobody is left to be told of a failure, and the services may be gone already.
    try {
        if (m_presenceSaves.unwritten())
            UserTreeFile::save(m_master, m_treePath);
        else if (m_presenceSaves.unflushed())
            UserTreeFile::flush(m_treePath);
    } catch (const FileError&) { }
    m_presenceSaves.reset();
}

bool CommunicatorSession::EstaConectado() const
{
    return m_services.transport.Active();
}

template<typename Step> void CommunicatorSession::fileStep(Step&& step)
{
    try {
        step();
    } catch (const FileError& error) {
        m_pendingErrors.append(error.message());
    }
}

void CommunicatorSession::reportFileErrors()
{
    const QStringList errors = std::exchange(m_pendingErrors, {});
    for (const QString& message : errors) {
        if (m_reportedErrors.contains(message))
            continue;
        m_reportedErrors.insert(message);
        emit fileError(message);
    }
}

void CommunicatorSession::Conectar(const QString& user, const QString& channel, const QString& code)
{
    // A second logon is a logoff first, so the channel of the first hears that it ended.
    if (m_announced)
        Desconectar();
    m_reportedErrors.clear();
    TALMailSlot& transport = m_services.transport;
    // A refused name keeps the previous mailbox, which then opens and carries the announcement.
    transport.setMailBox(channel);
    transport.setActive(true);
    QString mailboxProblem;
    if (!transport.Active())
        mailboxProblem = MailboxProblem(transport.OpenError());

    CarregarArvore();

    m_usuario = user;
    m_computador = transport.computerName().toLower();
    m_status = code;
    m_canal = channel;

    fileStep([&] { Preferences(m_services.settings).setLastLogon(user, channel); });
    fileStep([&] { m_services.names.AddUserName(user); });
    fileStep([&] { m_services.names.AddChannelName(channel); });

    emit trayIconChanged(StatusIndex(m_status), false);
    broadcastAnnouncement();
    m_announced = true;
    emit loggedOn();

    if (!mailboxProblem.isEmpty())
        emit mailboxUnavailable(mailboxProblem);
    if (!m_pendingTreeProblem.isEmpty())
        emit treeFileProblem(std::exchange(m_pendingTreeProblem, {}));
    reportFileErrors();
}

void CommunicatorSession::Desconectar()
{
    TALMailSlot& transport = m_services.transport;
    // A mailbox that could not be opened still carried the announcement: peers list this
    // station until it says it is gone.
    if (!transport.Active() && !m_announced)
        return;
    m_status = PresenceCode(Presence::Offline);
    // Sent while the mailbox is still open, as the last word of this session, on the mailbox
    // of the announcement: only Conectar changes it, and it logs off first.
    transport.Broadcast(BuildLogoffFrame(m_usuario, FrameTimestamp(m_services.clock)));
    m_announced = false;
    transport.setActive(false);
    DescarregarArvore();
    emit trayIconChanged(StatusIndex(m_status), false);
    m_usuario.clear();
    m_computador.clear();
    m_canal.clear();
    emit loggedOff();
    reportFileErrors();
}

void CommunicatorSession::AlterarStatus(int selector)
{
    const QString code = StatusCode(selector);
    if (EstaConectado()) {
        m_status = code;
        emit trayIconChanged(StatusIndex(m_status), false);
        EnviarStatusUsuarios();
        return;
    }
    const Preferences preferences(m_services.settings);
    const QString channel = preferences.lastChannel();
    const QString user = preferences.lastUser();
    if (!user.isEmpty() && !channel.isEmpty())
        Conectar(user, channel, code);
}

void CommunicatorSession::Refresh()
{
    if (!EstaConectado())
        return;
    DescarregarArvore();
    CarregarArvore();
    broadcastAnnouncement();
    // The file was just written whole, so it cannot be malformed; should it be anyway, say so.
    if (!m_pendingTreeProblem.isEmpty())
        emit treeFileProblem(std::exchange(m_pendingTreeProblem, {}));
    reportFileErrors();
}

void CommunicatorSession::EnviarStatusUsuarios()
{
    const QList<UserTreeNode*> nodes = m_visible.nodes();
    for (const UserTreeNode* node : nodes) {
        if (!node->isUserEntry())
            continue;
        const UserEntryParts entry = SepararUsuario(*node);
        const QString frame = BuildStatusFrame(m_usuario, entry.user, FrameTimestamp(m_services.clock), m_status);
        m_services.transport.SendTo(entry.computer, frame);
        fileStep([&] { m_services.history.AppendSent(frame); });
    }
    reportFileErrors();
}

void CommunicatorSession::ALMailSlot1NewMessage(const QString& computer, const QString& userName, const QString& text)
{
    Q_UNUSED(userName)
    // Whatever arrives is kept, unparsable text and own echoes included.
    fileStep([&] { m_services.history.AppendReceived(TrimFrameText(text)); });

    TDados frame;
    ParseFrame(text, frame, m_services.clock);
    if (!frame.Valid) {
        reportFileErrors();
        return;
    }
    frame.SenderComputer = computer.toLower();

    const bool ownEcho = frame.FromUser == m_usuario && frame.SenderComputer == m_computador;
    // Names from the network become tree entries and file lines: a forged one changes nothing
    // and is not answered.
    const bool trusted = IsAcceptableName(frame.FromUser) && IsAcceptableName(frame.SenderComputer);
    if (!frame.Command.isEmpty() && !ownEcho && trusted) {
        const PresenceFrame presence = presenceOf(frame.Command);
        if (presence.index >= 0) {
            AtualizarUsuario(frame.FromUser, frame.SenderComputer, presence.index);
            if (presence.acknowledged && presence.index == TreeIcon::Offline) {
                m_services.transport.ForgetComputer(frame.SenderComputer);
                emit recipientDisconnected(UserEntryText(frame.FromUser, frame.SenderComputer));
            } else if (presence.acknowledged)
                sendAck(frame);
        }
    }

    // A receipt is not a text message, whatever its D section holds: it neither alerts the
    // user nor is answered, so two stations can never confirm each other's receipts.
    if (IsReceiptCommand(frame.Command)) {
        const QString stamp = ReceiptStamp(frame.Command);
        if (!ownEcho && trusted && !stamp.isEmpty() && frame.ToUser == m_usuario)
            emit receiptArrived(frame.SenderComputer, frame.FromUser, stamp);
    } else if (!frame.MessageText.isEmpty()) {
        if (!ownEcho && trusted)
            sendReceipt(frame);
        alertTextMessage();
    }
    reportFileErrors();
}

void CommunicatorSession::MontarArvore()
{
    const bool keepGroupsOpen = Preferences(m_services.settings).keepGroupsOpen();
    m_visible = UserTree::MontarArvore(m_master, m_visible.openGroups(), m_collation, keepGroupsOpen);
    emit visibleTreeRebuilt();
}

void CommunicatorSession::saveTree()
{
    UserTreeFile::save(m_master, treeFilePath());
    // Presence changes not written yet are in this save too.
    m_presenceSaves.reset();
    emit treeSaved();
}

QString CommunicatorSession::treeFilePath() const
{
    return UserTreeFile::path(m_services.settings.home());
}

void CommunicatorSession::CarregarArvore()
{
    m_refreshTimer.stop();
    // A logoff leaves nothing pending; a logon over a logon finishes what the last one left.
    m_presenceSaves.finish();
    m_presenceSaves.reset();
    m_treePath = treeFilePath();
    UserTreeFile::LoadResult loaded = UserTreeFile::CarregarArvore(m_treePath, m_services.clock);
    m_master = std::move(loaded.tree);
    if (!loaded.ok())
        m_pendingTreeProblem = loaded.error;
    MontarArvore();
}

void CommunicatorSession::DescarregarArvore()
{
    m_refreshTimer.stop();
    // This save holds whatever presence left pending; and once the trees are empty nothing may
    // write them over the file.
    m_presenceSaves.reset();
    // The trees are emptied even when the save fails.
    fileStep([&] {
        UserTreeFile::DescarregarArvore(m_master, treeFilePath());
        emit treeSaved();
    });
    m_master.clear();
    m_visible.clear();
}

void CommunicatorSession::AtualizarUsuario(const QString& user, const QString& computer, int index)
{
    m_master.AtualizarUsuario(user, computer, index);
    // Every presence frame counts, changed or not, so that the file ends up with the last word;
    // but a burst is written once it has been handled, not once per frame.
    m_presenceSaves.changed(m_services.transport.WaitingCount() > 0);
    // A running timer is not restarted: one rebuild per burst, after its first frame.
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void CommunicatorSession::broadcastAnnouncement()
{
    m_services.transport.Broadcast(BuildPresenceFrame(m_usuario, FrameTimestamp(m_services.clock), m_status));
}

void CommunicatorSession::sendAck(const TDados& frame)
{
    // A datagram served while the mailbox closes finds the own status already "OF", which
    // has no acknowledgement.
    if (PresenceFromCode(m_status) == Presence::Offline)
        return;
    const QString ack = BuildAckFrame(m_usuario, frame.FromUser, FrameTimestamp(m_services.clock), m_status);
    m_services.transport.SendTo(frame.SenderComputer, ack);
    fileStep([&] { m_services.history.AppendSent(ack); });
}

void CommunicatorSession::sendReceipt(const TDados& frame)
{
    // Invisible, the user is not to be seen; offline, the mailbox is closing. A frame without
    // a stamp names no message to confirm.
    const std::optional<Presence> status = PresenceFromCode(m_status);
    if (status == Presence::Offline || status == Presence::Invisible || !frame.SentAt.isValid())
        return;
    if (!DeliveryMarks::Ativas(m_services.settings))
        return;
    const QString receipt
        = BuildReceiptFrame(m_usuario, frame.FromUser, FrameTimestamp(m_services.clock), FrameStamp(frame.SentAt));
    m_services.transport.SendTo(frame.SenderComputer, receipt);
    fileStep([&] { m_services.history.AppendSent(receipt); });
}

void CommunicatorSession::alertTextMessage()
{
    // Read at the moment of use; a missing file or key means yes.
    const Preferences preferences(m_services.settings);
    const bool show = preferences.showHistoryOnReceive();
    const bool animate = preferences.animateIconOnReceive();
    const bool sound = preferences.soundOnReceive();
    const int status = StatusIndex(m_status);
    if (animate)
        emit trayIconChanged(status, true);
    emit textMessageArrived(show, animate, sound);
    // Once the history is up, the message-arrived icon has done its job.
    if (show)
        emit trayIconChanged(status, false);
}

void CommunicatorSession::onRefreshTimeout()
{
    MontarArvore();
}
