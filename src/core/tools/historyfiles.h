#pragma once

#include "settings.h"
#include "stationhome.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QStringView>

// The received and sent histories: one frame per line, Windows-1252 with CR LF, letters
// mirrored so that the files are not readable at a glance. The plain append also serves the
// user and channel lists.
//
// File errors throw FileError naming the file. Rewrites (trim, delete) go through the work
// file "swap.dbt" in the data directory, which then replaces the history file in one rename:
// whenever the program stops, the history file is either the old or the new one, complete.
class HistoryFiles final
{
public:
    // `settings` must outlive this object.
    HistoryFiles(const StationHome& home, const Settings& settings);

    QString receivedPath() const { return m_home.dataFile(QStringLiteral("hist_recv.dbt")); }
    QString sentPath() const { return m_home.dataFile(QStringLiteral("hist_send.dbt")); }
    QString swapPath() const { return m_home.dataFile(QStringLiteral("swap.dbt")); }

    // The frame as it arrived, already trimmed by the caller (TrimFrameText).
    void AppendReceived(const QString& frameText) const;
    void AppendSent(const QString& frameText) const;

    // Keeps the newest SETUP QTDE_MAX_REGS_ARQHIST records (1000 when colloqua.ini is missing)
    // in their order; creates the file when missing. A file holding fewer records is left
    // untouched; one holding exactly that many is rewritten unchanged. When the work file
    // cannot be created nothing happens.
    void TrimHistoryFile(const QString& path) const;
    // Removes every record equal to `frameText`; nothing happens for an empty text, a file
    // that cannot be opened or a work file that cannot be created.
    void DeleteHistoryRecord(const QString& path, const QString& frameText) const;
    // The same for several frames in one rewrite: every record equal to any of them goes.
    void DeleteHistoryRecords(const QString& path, const QStringList& frameTexts) const;

    // Swaps A..Z end for end (A<->Z, B<->Y, ...) and a..z likewise; every other byte stays.
    // Its own inverse, so it encodes and decodes.
    static QByteArray MirrorLetters(QByteArrayView bytes);
    static QString MirrorLetters(QStringView text);

    // Appends `line` (mirrored or as it is) and CR LF, creating the file when missing; with
    // `onlyIfNew`, only when no line of the file equals it exactly. A line break inside `line`
    // is stored as a blank, so one call always gives one line. If the write fails, the file is
    // cut back to its former length, so only this record is lost.
    static void AppendHistoryLine(const QString& path, const QString& line, bool mirrored, bool onlyIfNew);

    // Reads the next line of `file` (CR LF, LF or CR end a line; the last line may have no
    // end) and gives it decoded; false at the end of the file. Any bytes are accepted. Open
    // the file without QIODevice::Text, which would swallow a lone CR.
    static bool ReadHistoryLine(QIODevice& file, QString& line);
    // The same without mirroring (the name lists).
    static bool ReadPlainLine(QIODevice& file, QString& line);
    // Writes the mirrored text and CR LF.
    static void WriteHistoryLine(QIODevice& file, const QString& frameText);

    // Creates `path`, or empties it when it exists.
    static void CreateEmptyFile(const QString& path);

    // Every record of a history file, decoded, oldest first; empty when the file is missing.
    static QStringList ReadHistoryRecords(const QString& path);

private:
    // Writes `lines` (stored form) to the work file and puts it in place of `path`.
    // False when the work file cannot be created.
    bool replaceWithLines(const QString& path, const QList<QByteArray>& lines) const;

    StationHome m_home;
    const Settings& m_settings;
};
