#include "tformcomtools.h"

#include "documentopener.h"
#include "prompter.h"
#include "station.h"
#include "tformhistmsg.h"

#include <QDir>

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
