#include "tformrestore.h"

#include "station.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFormRestore::TFormRestore(Station& station, QWidget* parent)
    : QDialog(parent)
    , m_station(station)
{
    setWindowTitle(tr("Restaurar backup"));
    resize(404, 352);
    m_listBox = new QListWidget(this);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(13);
    m_listBox->setFont(courier);
    m_butCancela = new QPushButton(tr("&Cancelar"), this);
    connect(m_butCancela, &QPushButton::clicked, this, &TFormRestore::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_butCancela);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_listBox, 1);
    layout->addLayout(buttons);
}

TFormRestore::~TFormRestore() = default;
