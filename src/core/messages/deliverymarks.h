#pragma once

#include "tdados.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class Settings;

// Whether a sent text message arrived, read from the two history files alone: the receipts
// ("ACK_MSG_" + the message's stamp) that the received history holds, set against the sent
// record. The files keep no computer names, so a recipient is known by its user name.
class DeliveryMarks final
{
public:
    // How long a computer that confirms has to confirm a message.
    static constexpr int ConfirmationSeconds = 10;

    enum class Marca
    {
        Nenhuma, // the recipient has never confirmed a message of this sender, or time is not up
        Entregue,
        NaoConfirmada,
    };

    // Whether receipts are sent and marks shown: ENVIAR CONFIRMAR_ENTREGA, on when missing.
    static bool Ativas(const Settings& settings);

    // "entregue", "não confirmada", or empty.
    static QString Texto(Marca marca);

    // The receipts among the records of a received history. Throws FileError when the file
    // cannot be read; a missing file holds none.
    static DeliveryMarks FromFile(const QString& receivedPath);

    // Takes `frame` into account when it is a receipt; anything else is passed over.
    void AdicionarRecebido(const TDados& frame);

    // The mark of a sent record at `now`. Only text messages (no command, some text) have one.
    // "entregue": a receipt from the recipient to the sender names the message's stamp.
    // "não confirmada": none does, ConfirmationSeconds have passed since the stamp, and the
    // recipient has confirmed a message of this sender that is not newer than this one.
    Marca MarcaDe(const TDados& sent, const QDateTime& now) const;
    // The same for the text message stamped `sentAt` from `sender` to `recipient`.
    Marca MarcaDe(const QString& sender, const QString& recipient, const QDateTime& sentAt, const QDateTime& now) const;

private:
    // The sender and the recipient of the confirmed messages, as one key.
    static QString pairKey(const QString& sender, const QString& recipient);

    QSet<QString> m_confirmed; // pairKey + "|" + stamp
    QHash<QString, QDateTime> m_firstConfirmed; // pairKey -> stamp of the oldest confirmed message
};
