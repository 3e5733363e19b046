#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class Clock;
class HistoryFiles;
class Settings;

// Waits for the receipts of the text messages this station sends, so that the user hears of a
// message that a confirming computer did not confirm: once the confirmation time is up, each
// message whose mark (DeliveryMarks, from the history files) is "não confirmada" gives one
// warning, "BRUNO (pc-bruno) não confirmou a mensagem das 14:30", and is forgotten.
// ENVIAR CONFIRMAR_ENTREGA off: nothing is watched and nothing is told.
class DeliveryWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeliveryWatch)

public:
    struct Services
    {
        const Clock& clock;
        const Settings& settings;
        const HistoryFiles& history;
    };

    explicit DeliveryWatch(Services services, QObject* parent = nullptr);
    ~DeliveryWatch() override;

    // The text message stamped `stamp` went from `from` to `user` at `computer`.
    void Aguardar(const QString& from, const QString& user, const QString& computer, const QString& stamp);
    // A receipt for `stamp` came from `user` at `computer`.
    void Confirmada(const QString& computer, const QString& user, const QString& stamp);
    // Looks at the messages whose time is up (the timer calls it). A history file that cannot
    // be read leaves them for the next look.
    void Verificar();

    int pendentes() const { return int(m_pending.size()); }
    // Set for the earliest time a message's confirmation is due.
    QTimer& timer() { return m_timer; }

signals:
    // The warnings of the messages found unconfirmed at one look, oldest first.
    void naoConfirmadas(const QStringList& avisos);

private:
    struct Pending
    {
        QString from;
        QString user;
        QString computer;
        QString stamp;
        QDateTime due;
    };

    void arm();

    Services m_services;
    QList<Pending> m_pending; // in the order sent
    QTimer m_timer;
};
