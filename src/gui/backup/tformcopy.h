#pragma once

#include "copyrun.h"

#include <QDialog>
#include <QString>

class CopyAnimation;
class QLabel;
class QProgressBar;
class QTimer;
class Station;

// The copy window: copies the files of one directory into another, one per timer tick, for a
// backup or a restore. Closing it through its frame ends the run after the files copied so far.
class TFormCopy final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormCopy)

public:
    explicit TFormCopy(Station& station, QWidget* parent = nullptr);
    ~TFormCopy() override;

    // Sets the inputs (directories without a trailing separator; the target must exist) and
    // runs the copy modally. True when every file was copied; false after a failure (which
    // the window reports), a close by the user, or when a run is already going on.
    bool Copiar(const QString& source, const QString& target, const QString& title);

    QLabel* LbNomeArq() const { return m_lbNomeArq; }
    QProgressBar* ProgressBar() const { return m_progressBar; }
    QTimer* TimerCopy() const { return m_timerCopy; }
    CopyAnimation* Animacao() const { return m_animacao; }

signals:
    // After each file copied, with the label and the bar already showing it.
    void fileCopied(const QString& name);

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void TimerCopyTimer();

    Station& m_station;
    QString m_source;
    QString m_target;
    CopyRun m_run;
    bool m_complete = false;
    CopyAnimation* m_animacao = nullptr;
    QLabel* m_lbNomeArq = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QTimer* m_timerCopy = nullptr;
};
