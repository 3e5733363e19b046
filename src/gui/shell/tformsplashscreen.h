#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class Station;

// The splash window shown while the start-up checks run.
class TFormSplashScreen final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormSplashScreen)

public:
    explicit TFormSplashScreen(Station& station, QWidget* parent = nullptr);
    ~TFormSplashScreen() override;

    QLabel* LbStatus() const { return m_lbStatus; }

private:
    Station& m_station;
    QLabel* m_picture = nullptr;
    QLabel* m_lbStatus = nullptr;
    QProgressBar* m_gauge = nullptr;
};
