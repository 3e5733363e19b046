#pragma once

#include "tdados.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <set>

// What the history window lists, without the widgets: which records a page shows, in which
// order, how many, and how a message text is cut into lines.

// The pages of the history window.
namespace HistoryPage
{
inline constexpr int Recebidas = 0;
inline constexpr int Enviadas = 1;
inline constexpr int Todas = 2;
} // namespace HistoryPage

// The order key of a record: (3000-01-01 - SentAt) in days, times 100000, integer part. Later
// stamps give smaller keys, all of 11 digits for the years 2000 to 2099, so that ordering the
// entries as text puts the newest first. A frame without a valid stamp counts as day 0
// (1899-12-30), after every real one.
QString ChaveOrdem(const QDateTime& sentAt);

// Whether `page` shows the record: received ones are addressed to `user` or to nobody, sent
// ones come from `user` ("Todas" takes either). Names compare exactly. System frames (a
// command in the S section) only with `systemFrames`; frames that do not parse never.
bool MostrarRegistro(const TDados& frame, int page, const QString& user, bool systemFrames);

// The stamp as the entries show it: day/month hour:minute:second, no year.
QString FormatarData(const QDateTime& sentAt);

// The record line of a list entry ("key|record").
QString RegistroDaEntrada(const QString& entry);

// The entries of the history window, "key|record", sorted as text. A full list (`maximum`
// entries, 0 meaning no limit) drops its last entry, the oldest, before taking a new one:
// reading a file in stamp order leaves its newest records.
class HistoryList final
{
public:
    explicit HistoryList(int maximum);

    void Adicionar(const QString& record, const TDados& frame);
    // Reads the history file at `path` (nothing when it is missing) and adds every record
    // that `page` shows. Throws FileError when the file cannot be read.
    void CarregarArquivo(const QString& path, int page, const QString& user, bool systemFrames);

    int count() const { return int(m_entries.size()); }
    QStringList entries() const;

private:
    struct EntryOrder
    {
        bool operator()(const QString& a, const QString& b) const;
    };

    int m_maximum;
    std::multiset<QString, EntryOrder> m_entries;
};

// Cuts `text` into lines character by character: before a character is added, a line wider
// than `limit` pixels (as `width` measures it) is closed and a new one begun. A line always
// takes at least one character, so the first character that crosses the limit stays on it.
// Only the first `maxLines` lines are made (0: all). Characters are whole graphemes, so a
// surrogate pair or a combining mark is never split between lines.
QStringList QuebrarTexto(QStringView text, int limit, const std::function<int(QStringView)>& width, int maxLines);
