#pragma once

#include "fileerror.h"
#include "historyfiles.h"
#include "imagesets.h"
#include "namelists.h"
#include "notificationsound.h"
#include "preferences.h"
#include "settings.h"
#include "stationhome.h"
#include "torbfindfile.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <utility>

class QWidget;
class Station;

// The shared tools of a station, never shown: the program directory, the settings and data
// files, the image sets, the notification sound, the file search and the DialogoAberto flag.
class TFormComTools final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormComTools)

public:
    explicit TFormComTools(Station& station, QObject* parent = nullptr);
    ~TFormComTools() override;

    Station& station() const { return m_station; }

    // The station home with exactly one trailing "/".
    const QString& ProgramDir() const { return m_home.ProgramDir(); }
    const StationHome& home() const { return m_home; }
    // Where the manual and the version pages are installed, with one trailing "/".
    QString HelpDir() const;

    Settings& settings() { return m_settings; }
    // Every setting a window reads or writes goes through here.
    Preferences preferences() const { return Preferences(m_settings); }

    HistoryFiles& history() { return m_history; }
    NameLists& names() { return m_names; }
    const ImageSets& images() const { return m_images; }
    void PlayNotificationSound(int kind) const { m_sound.PlayNotificationSound(kind); }

    TOrbFindFile& OrbFindFile1() { return m_findFile; }
    // Names of the entries of `directory` without an extension.
    static void ListSubdirectories(const QString& directory, QStringList& list);
    // Opens a document with the desktop's handler; the result is not checked.
    void OpenDocument(const QString& path) const;

    // Set around every prompt and modal dialog opened from the communicator, the tray menu,
    // the settings dialog and the history window: the history window leaves the
    // always-on-top layer, and an arriving message does not lift it above the dialog.
    bool DialogoAberto() const { return m_dialogoAberto; }
    void setDialogoAberto(bool open);
    // Keeps the bracket open while `dialog` shows: the dialogs shown without waiting for them
    // (logon, settings, credits) would otherwise open under a pinned history window.
    void keepDialogoAbertoWhileShown(QWidget& dialog);

    // Runs a user action. A file error aborts the action and is shown to the user, as the
    // shared file routines expect of whoever calls them. False when it failed.
    template<typename F> bool guarded(F&& action)
    {
        try {
            std::forward<F>(action)();
            return true;
        } catch (const FileError& error) {
            MostrarErro(error.message());
            return false;
        }
    }
    void MostrarErro(const QString& message);

private:
    Station& m_station;
    StationHome m_home;
    Settings m_settings;
    HistoryFiles m_history;
    NameLists m_names;
    ImageSets m_images;
    NotificationSound m_sound;
    TOrbFindFile m_findFile;
    bool m_dialogoAberto = false;
};

// Opens the DialogoAberto bracket for the lifetime of the object. An inner bracket (an error
// shown during a dialog) leaves the outer one open when it closes.
class DialogoAbertoScope final
{
public:
    explicit DialogoAbertoScope(TFormComTools& tools)
        : m_tools(tools)
        , m_wasOpen(tools.DialogoAberto())
    {
        m_tools.setDialogoAberto(true);
    }
    ~DialogoAbertoScope() { m_tools.setDialogoAberto(m_wasOpen); }
    DialogoAbertoScope(const DialogoAbertoScope&) = delete;
    DialogoAbertoScope& operator=(const DialogoAbertoScope&) = delete;

private:
    TFormComTools& m_tools;
    const bool m_wasOpen;
};
