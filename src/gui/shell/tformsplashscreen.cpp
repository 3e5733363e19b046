#include "tformsplashscreen.h"

#include "imagesets.h"
#include "station.h"
#include "tformcomtools.h"

#include <QLabel>
#include <QProgressBar>

TFormSplashScreen::TFormSplashScreen(Station& station, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_station(station)
{
    setWindowTitle(QStringLiteral("Colloqua"));
    setFixedSize(388, 109);

    m_picture = new QLabel(this);
    m_picture->setGeometry(rect());
    m_picture->setScaledContents(true);
    m_picture->setPixmap(m_station.FormComTools().images().splashPicture());

    m_lbStatus = new QLabel(tr("Iniciando ..."), this);
    m_lbStatus->setTextFormat(Qt::PlainText);
    m_lbStatus->setStyleSheet(QStringLiteral("color: white; font-size: 9px;"));
    m_lbStatus->setGeometry(12, 80, 241, 12);

    m_gauge = new QProgressBar(this);
    m_gauge->setTextVisible(false);
    m_gauge->setGeometry(12, 94, 241, 6);
}

TFormSplashScreen::~TFormSplashScreen() = default;
