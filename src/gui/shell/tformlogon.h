#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;
class Station;

// The logon dialog: the channel and the user name under which the station takes part. It
// writes no settings; the communicator's logon does.
class TFormLogon final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormLogon)

public:
    explicit TFormLogon(Station& station, QWidget* parent = nullptr);
    ~TFormLogon() override;

    // Fills the fields and shows the dialog, modal but without waiting for it.
    void Exibir();
    // "OK": logs on with the two fields when they name another session than the current one.
    void ButOKClick();

    QComboBox* ComboCanal() const { return m_comboCanal; }
    QComboBox* ComboUsuario() const { return m_comboUsuario; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Preparar();

    Station& m_station;
    QComboBox* m_comboCanal = nullptr;
    QComboBox* m_comboUsuario = nullptr;
    QPushButton* m_butOK = nullptr;
    QPushButton* m_butCancela = nullptr;
};
