#pragma once

#include "recipients.h"

#include <QList>
#include <QString>

class Clock;

// What one "Enviar" of the send window does, worked out before anything goes out: one text
// frame per ticked recipient, all with one stamp, or the warning that nothing can be sent.
// The window sends each frame to its computer, appends it to the sent history and hands it to
// the delivery watch, in this order, frame after frame.
struct OutgoingMessage
{
    struct Frame
    {
        QString user; // the recipient
        QString computer; // where the frame goes
        QString text; // the frame; the sent history keeps exactly this text
    };

    QString stamp; // shared by every frame; empty when nothing was typed
    QList<Frame> frames; // in list order
    // Shown when there is no frame: "Mensagem vazia!", "Não foi selecionado destinatário!" or
    // "Não foi informado destinatário!".
    QString warning;

    bool sent() const { return !frames.isEmpty(); }

    // `typed` is the text box as it stands (its lines travel joined by blanks), `list` the
    // recipient list in its order, `face` 0 to 5, `me` the user logged on. The clock is read
    // once, and only when there is a text.
    static OutgoingMessage plan(
        const QString& typed, const QList<ListedRecipient>& list, int face, const QString& me, const Clock& clock);

    // Frames and history files are Windows-1252: the warning naming what of `typed` would
    // travel as "?" (at most ten characters, then "…"), or empty when everything can go.
    static QString lostCharactersWarning(const QString& typed);
};
