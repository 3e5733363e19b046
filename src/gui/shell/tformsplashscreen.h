#pragma once

#include <QString>
#include <QWidget>

#include <array>

class QLabel;
class QListWidget;
class QProgressBar;
class QTimer;
class Station;

// The splash window: while it shows, its timer runs the start-up checks, one per tick. When
// all pass it hides and hands over to the communicator; otherwise it turns into an error view
// listing each check with its result, and closing that view ends the run.
class TFormSplashScreen final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormSplashScreen)

public:
    enum class State
    {
        Checking,
        Passed,
        Failed,
    };

    explicit TFormSplashScreen(Station& station, QWidget* parent = nullptr);
    ~TFormSplashScreen() override;

    // One tick of the step timer: runs the next check, or, after the last, hands over or
    // shows the error view.
    void TimerTick();

    State state() const { return m_state; }
    int stepsRun() const { return m_stepsRun; }

    QLabel* Picture() const { return m_picture; }
    QLabel* LbStatus() const { return m_lbStatus; }
    QProgressBar* Gauge() const { return m_gauge; }
    QListWidget* CheckList() const { return m_checkList; }
    QTimer* StepTimer() const { return m_stepTimer; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Step
    {
        QString caption;
        bool passed = false;
    };

    void evaluate();
    void showErrorView();
    void handOver();

    Station& m_station;
    QLabel* m_picture = nullptr;
    QLabel* m_lbStatus = nullptr;
    QProgressBar* m_gauge = nullptr;
    QListWidget* m_checkList = nullptr;
    QTimer* m_stepTimer = nullptr;
    std::array<Step, 3> m_steps;
    int m_stepsRun = 0;
    State m_state = State::Checking;
};
