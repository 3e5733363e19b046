#include "tformsplashscreen.h"

#include "imagesets.h"
#include "startupchecks.h"
#include "station.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformconfig.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace
{
constexpr int StepInterval = 250;
}

TFormSplashScreen::TFormSplashScreen(Station& station, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_station(station)
{
    static_assert(std::tuple_size_v<decltype(m_steps)> == StartupChecks::StepCount);
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
    m_gauge->setStyleSheet(QStringLiteral("QProgressBar { background: silver; border: none; }"));
    m_gauge->setGeometry(12, 94, 241, 6);

    m_checkList = new QListWidget(this);
    m_checkList->setGeometry(rect());
    m_checkList->setSelectionMode(QAbstractItemView::NoSelection);
    m_checkList->hide();

    m_stepTimer = new QTimer(this);
    m_stepTimer->setInterval(StepInterval);
    connect(m_stepTimer, &QTimer::timeout, this, &TFormSplashScreen::TimerTick);
}

TFormSplashScreen::~TFormSplashScreen() = default;

void TFormSplashScreen::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Shown once per run; the error view shows the same window again, which must not
    // start the checks over. Hidden while checking and shown again, it goes on where it was.
    if (event->spontaneous() || m_state != State::Checking || m_stepTimer->isActive())
        return;
    if (m_stepsRun > 0) {
        m_stepTimer->start();
        return;
    }
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    m_steps[0].caption = tr("Verificando subdiretórios...");
    m_steps[1].caption = tr("Verificando configurações gerais...");
    m_steps[2].caption = tr("Verificando arquivos de configuração...");
    m_gauge->setMaximum(StartupChecks::StepCount);
    m_gauge->setValue(0);
    m_stepTimer->start();
}

void TFormSplashScreen::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // The checks belong to the window on screen: a hidden splash runs none.
    if (!event->spontaneous())
        m_stepTimer->stop();
}

void TFormSplashScreen::TimerTick()
{
    m_stepTimer->stop();
    if (m_state != State::Checking)
        return;
    m_gauge->setValue(qMin(m_stepsRun + 1, m_gauge->maximum()));
    if (m_stepsRun < StartupChecks::StepCount) {
        TFormComTools& tools = m_station.FormComTools();
        StartupChecks checks(
            tools.home(), tools.settings(), [this] { return m_station.FormConfig().SalvaConfiguracoes(); });
        Step& step = m_steps.at(m_stepsRun);
        step.passed = checks.runStep(m_stepsRun);
        // The label names the step that has just run.
        m_lbStatus->setText(step.caption);
        ++m_stepsRun;
        m_stepTimer->start();
        return;
    }
    evaluate();
}

void TFormSplashScreen::evaluate()
{
    m_checkList->clear();
    bool allPassed = true;
    for (const Step& step : m_steps) {
        auto* item = new QListWidgetItem(step.caption, m_checkList);
        // A report, not a choice: the marks cannot be changed.
        item->setFlags(Qt::ItemIsEnabled);
        item->setCheckState(step.passed ? Qt::Checked : Qt::Unchecked);
        allPassed = allPassed && step.passed;
    }
    if (allPassed) {
        m_state = State::Passed;
        hide();
        handOver();
    } else {
        m_state = State::Failed;
        showErrorView();
    }
}

void TFormSplashScreen::showErrorView()
{
    m_lbStatus->hide();
    m_gauge->hide();
    m_picture->hide();
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(tr("Erro na inicialização"));
    m_checkList->show();
    show();
}

void TFormSplashScreen::handOver()
{
    TFormCom& com = m_station.FormCom();
    com.IniciarSessao();
    com.ConectarAutomatico();
    m_station.keepReachable();
}

void TFormSplashScreen::closeEvent(QCloseEvent* event)
{
    switch (m_state) {
    case State::Checking:
        // The checks run to their end; the error view or the hand-over follows.
        event->ignore();
        return;
    case State::Passed:
        event->accept();
        return;
    case State::Failed:
        event->accept();
        m_station.requestEnd();
        return;
    }
}
