#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class Station;

// The credits window: the application's title and version and the credits text.
class TFormCredito final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormCredito)

public:
    explicit TFormCredito(Station& station, QWidget* parent = nullptr);
    ~TFormCredito() override;

    // Shows the window with the application's title.
    void MostraCreditos();

private:
    [[maybe_unused]] Station& m_station;
    QLabel* m_lbTitulo = nullptr;
    QLabel* m_lbVer = nullptr;
    QPlainTextEdit* m_memoTXT = nullptr;
};
