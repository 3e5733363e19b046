#include "tformcopy.h"

#include "station.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

TFormCopy::TFormCopy(Station& station, QWidget* parent)
    : QDialog(parent)
    , m_station(station)
{
    setWindowTitle(tr("Copiando..."));
    resize(414, 136);
    m_lbNomeArq = new QLabel(this);
    m_lbNomeArq->setTextFormat(Qt::PlainText);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedHeight(10);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_lbNomeArq);
    layout->addWidget(m_progressBar);
}

TFormCopy::~TFormCopy() = default;
