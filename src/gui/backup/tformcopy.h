#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class Station;

// The copy window: copies the files of one directory into another, one per timer tick, for a
// backup or a restore.
class TFormCopy final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormCopy)

public:
    explicit TFormCopy(Station& station, QWidget* parent = nullptr);
    ~TFormCopy() override;

private:
    [[maybe_unused]] Station& m_station;
    QLabel* m_lbNomeArq = nullptr;
    QProgressBar* m_progressBar = nullptr;
};
