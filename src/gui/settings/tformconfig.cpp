#include "tformconfig.h"

#include "station.h"

#include <QTabWidget>
#include <QVBoxLayout>

TFormConfig::TFormConfig(Station& station, QWidget* parent)
    : QDialog(parent)
    , m_station(station)
{
    setWindowTitle(tr("Configurações"));
    resize(441, 425);
    m_pageControl = new QTabWidget(this);
    m_pageControl->addTab(new QWidget(m_pageControl), tr("Principal"));
    m_pageControl->addTab(new QWidget(m_pageControl), tr("Gerais"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pageControl);
}

TFormConfig::~TFormConfig() = default;

void TFormConfig::Exibir()
{
    show();
    raise();
    activateWindow();
}
