#include "tformcredito.h"

#include "station.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TFormCredito::TFormCredito(Station& station, QWidget* parent)
    : QDialog(parent, Qt::Tool)
    , m_station(station)
{
    setWindowTitle(QStringLiteral("Colloqua"));
    resize(393, 382);
    setStyleSheet(QStringLiteral("TFormCredito { background: white; }"));

    m_lbVer = new QLabel(QStringLiteral(COLLOQUA_VERSION), this);
    m_lbVer->setAlignment(Qt::AlignRight);
    m_lbTitulo = new QLabel(this);
    m_lbTitulo->setTextFormat(Qt::PlainText);
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(27);
    title.setBold(true);
    m_lbTitulo->setFont(title);
    m_memoTXT = new QPlainTextEdit(this);
    m_memoTXT->setReadOnly(true);
    m_memoTXT->setPlainText(tr("Colloqua, mensageiro de escritório sem servidor.\n\n"
                               "Feito pela equipe do Colloqua."));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lbVer);
    layout->addWidget(m_lbTitulo);
    layout->addWidget(m_memoTXT, 1);
}

TFormCredito::~TFormCredito() = default;

void TFormCredito::MostraCreditos()
{
    m_lbTitulo->setText(QStringLiteral("Colloqua"));
    show();
    raise();
    activateWindow();
}
