#include "tformcopy.h"

#include "copyanimation.h"
#include "prompter.h"
#include "station.h"
#include "tformcomtools.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

TFormCopy::TFormCopy(Station& station, QWidget* parent)
    : QDialog(parent)
    , m_station(station)
{
    setWindowTitle(tr("Copiando..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(414, 136);
    m_animacao = new CopyAnimation(this);
    m_lbNomeArq = new QLabel(this);
    m_lbNomeArq->setTextFormat(Qt::PlainText);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedSize(369, 10);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_animacao, 0, Qt::AlignHCenter);
    layout->addWidget(m_lbNomeArq);
    layout->addWidget(m_progressBar, 0, Qt::AlignHCenter);
    layout->addStretch();

    m_timerCopy = new QTimer(this);
    m_timerCopy->setInterval(50);
    connect(m_timerCopy, &QTimer::timeout, this, &TFormCopy::TimerCopyTimer);
}

TFormCopy::~TFormCopy() = default;

bool TFormCopy::Copiar(const QString& source, const QString& target, const QString& title)
{
    // A second run would share the file list with the first.
    if (isVisible())
        return false;
    m_source = source;
    m_target = target;
    m_complete = false;
    setWindowTitle(title);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    exec();
    return m_complete;
}

void TFormCopy::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormCopy::FormShow()
{
    m_animacao->start();
    m_lbNomeArq->clear();
    m_run.Start(m_station.FormComTools().OrbFindFile1(), m_source, m_target);
    m_progressBar->setRange(0, std::max(0, m_run.count() - 1));
    if (const std::optional<int> delay = m_station.FormComTools().preferences().backupDelay())
        // 0 would spin the event loop; a negative value is no interval at all.
        m_timerCopy->setInterval(std::max(1, *delay));
    m_progressBar->setValue(0);
    m_timerCopy->start();
}

void TFormCopy::TimerCopyTimer()
{
    m_timerCopy->stop();
    if (m_run.atEnd()) {
        m_complete = true;
        accept();
        return;
    }
    const QString name = m_run.nextName();
    m_lbNomeArq->setText(name);
    if (!m_run.CopyNext()) {
        m_station.prompter().message(
            Prompter::Kind::Warning, QStringLiteral("Colloqua"), tr("Problemas ao efetuar a copia dos arquivos."));
        reject();
        return;
    }
    m_progressBar->setValue(m_run.position());
    emit fileCopied(name);
    // The window may have been closed while the signal was handled.
    if (isVisible())
        m_timerCopy->start();
}

void TFormCopy::done(int result)
{
    m_timerCopy->stop();
    m_animacao->stop();
    QDialog::done(result);
}
