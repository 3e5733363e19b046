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
    static constexpr int MaxChannelLength = 8;
    static constexpr int MaxUserLength = 15;

    explicit TFormLogon(Station& station, QWidget* parent = nullptr);
    ~TFormLogon() override;

    // Fills the fields and shows the dialog, modal but without waiting for it; while it is
    // open, only raises it.
    void Exibir();
    // "OK": logs on (or switches) with the two fields, asking first when a session would be
    // replaced by a name the user changed; closes the dialog in every case.
    void ButOKClick();

    QComboBox* ComboCanal() const { return m_comboCanal; }
    QComboBox* ComboUsuario() const { return m_comboUsuario; }
    QPushButton* ButOK() const { return m_butOK; }
    QPushButton* ButCancela() const { return m_butCancela; }
    // Whether the user edited or picked anything since the dialog was shown.
    bool Alterado() const { return m_alterado; }

    // The question asked before a session is switched to `user` on `channel`.
    static QString PerguntaAlteracao(const QString& user, const QString& channel);

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Preparar();
    bool DeveProsseguir(const QString& user, const QString& channel);
    bool TratarTecla(QComboBox* box, const QKeyEvent* key);

    Station& m_station;
    QComboBox* m_comboCanal = nullptr;
    QComboBox* m_comboUsuario = nullptr;
    QPushButton* m_butOK = nullptr;
    QPushButton* m_butCancela = nullptr;
    bool m_alterado = false;
};
