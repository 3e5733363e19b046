#include "deliverymarks.h"

#include "frame.h"
#include "historyfiles.h"
#include "preferences.h"

#include <QCoreApplication>

bool DeliveryMarks::Ativas(const Settings& settings)
{
    return Preferences(settings).confirmDelivery();
}

QString DeliveryMarks::Texto(Marca marca)
{
    switch (marca) {
    case Marca::Entregue:
        return QCoreApplication::translate("DeliveryMarks", "entregue");
    case Marca::NaoConfirmada:
        return QCoreApplication::translate("DeliveryMarks", "não confirmada");
    case Marca::Nenhuma:
        break;
    }
    return {};
}

DeliveryMarks DeliveryMarks::FromFile(const QString& receivedPath)
{
    DeliveryMarks marks;
    const StoppedClock clock;
    TDados frame;
    for (const QString& record : HistoryFiles::ReadHistoryRecords(receivedPath)) {
        // Most records are no receipt; the parse is left for those that may be.
        if (!record.contains(QLatin1String("ACK_MSG_")))
            continue;
        ParseFrame(record, frame, clock);
        marks.AdicionarRecebido(frame);
    }
    return marks;
}

QString DeliveryMarks::pairKey(const QString& sender, const QString& recipient)
{
    return sender + QLatin1Char('|') + recipient;
}

void DeliveryMarks::AdicionarRecebido(const TDados& frame)
{
    if (!frame.Valid || !frame.MessageText.isEmpty())
        return;
    const QString stamp = ReceiptStamp(frame.Command);
    if (stamp.isEmpty() || frame.FromUser.isEmpty() || frame.ToUser.isEmpty())
        return;
    // A receipt goes from the recipient back to the sender of the message.
    const QString pair = pairKey(frame.ToUser, frame.FromUser);
    m_confirmed.insert(pair + QLatin1Char('|') + stamp);
    const QDateTime confirmed = StampDateTime(stamp);
    const auto first = m_firstConfirmed.constFind(pair);
    if (first == m_firstConfirmed.cend() || confirmed < *first)
        m_firstConfirmed.insert(pair, confirmed);
}

DeliveryMarks::Marca DeliveryMarks::MarcaDe(const TDados& sent, const QDateTime& now) const
{
    if (!sent.Valid || !sent.Command.isEmpty() || sent.MessageText.isEmpty())
        return Marca::Nenhuma;
    return MarcaDe(sent.FromUser, sent.ToUser, sent.SentAt, now);
}

DeliveryMarks::Marca DeliveryMarks::MarcaDe(
    const QString& sender, const QString& recipient, const QDateTime& sentAt, const QDateTime& now) const
{
    if (!sentAt.isValid())
        return Marca::Nenhuma;
    const QString pair = pairKey(sender, recipient);
    if (m_confirmed.contains(pair + QLatin1Char('|') + FrameStamp(sentAt)))
        return Marca::Entregue;
    // A recipient that has never confirmed runs a program without receipts, or has them off.
    const auto first = m_firstConfirmed.constFind(pair);
    if (first == m_firstConfirmed.cend() || *first > sentAt)
        return Marca::Nenhuma;
    if (now < sentAt.addSecs(ConfirmationSeconds))
        return Marca::Nenhuma;
    return Marca::NaoConfirmada;
}
