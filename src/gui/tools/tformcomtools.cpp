#include "tformcomtools.h"

#include "documentopener.h"
#include "prompter.h"
#include "station.h"
#include "tformhistmsg.h"

#include <QDir>
#include <QEvent>
#include <QWidget>

namespace
{
// Opens the DialogoAberto bracket when its dialog shows and closes it when the dialog hides.
class DialogoAbertoWhileShown final : public QObject
{
public:
    DialogoAbertoWhileShown(TFormComTools& tools, QWidget& dialog)
        : QObject(&dialog)
        , m_tools(tools)
    {
        dialog.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !m_open) {
            m_wasOpen = m_tools.DialogoAberto();
            m_open = true;
            m_tools.setDialogoAberto(true);
        } else if (event->type() == QEvent::Hide && m_open) {
            m_open = false;
            m_tools.setDialogoAberto(m_wasOpen);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TFormComTools& m_tools;
    bool m_open = false;
    bool m_wasOpen = false;
};
} // namespace

TFormComTools::TFormComTools(Station& station, QObject* parent)
    : QObject(parent)
    , m_station(station)
    , m_home(station.homeDir())
    , m_settings(m_home)
    , m_history(m_home, m_settings)
    , m_names(m_home)
    , m_sound(m_settings, station.soundPlayer())
{
    m_findFile.setFiltros(QStringLiteral("*.*"));
}

TFormComTools::~TFormComTools() = default;

QString TFormComTools::HelpDir() const
{
    return m_station.installDir() + QStringLiteral("help/");
}

void TFormComTools::ListSubdirectories(const QString& directory, QStringList& list)
{
    ::ListSubdirectories(directory, list);
}

void TFormComTools::OpenDocument(const QString& path) const
{
    m_station.documentOpener().open(path);
}

void TFormComTools::MostrarErro(const QString& message)
{
    const DialogoAbertoScope dialogo(*this);
    m_station.prompter().message(Prompter::Kind::Error, QStringLiteral("Colloqua"), message);
}

void TFormComTools::setDialogoAberto(bool open)
{
    m_dialogoAberto = open;
    if (open)
        m_station.FormHistMSG().setTopmost(false);
}

void TFormComTools::keepDialogoAbertoWhileShown(QWidget& dialog)
{
    new DialogoAbertoWhileShown(*this, dialog);
}
