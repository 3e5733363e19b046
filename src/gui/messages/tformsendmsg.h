#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class Station;

// The send-message window: a text, the face it goes with and the checked recipients, each an
// entry of the user tree ("ana (pc-02)"). Created once and only hidden when closed.
class TFormSendMSG final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormSendMSG)

public:
    explicit TFormSendMSG(Station& station, QWidget* parent = nullptr);
    ~TFormSendMSG() override;

    // Adds the entry ticked unless the list holds it already (letter case ignored); an entry
    // already there keeps its mark.
    void AdicionarDestinatario(const QString& entry);
    // The user of `entry` logged off: the entry leaves the list with a warning.
    void RemoverDesconectado(const QString& entry);

    // "de: user (computer)" while logged on, empty after a logoff.
    void setCaption(const QString& caption);
    QString caption() const { return windowTitle(); }

    // Warning hidden, focus in the text, the default face.
    void PrepararNovaMensagem();
    // One frame per ticked recipient, all with one stamp. False, with a warning, when nothing
    // was sent.
    bool EnviarMensagem();
    // "Enviar" and "Enviar e Fechar".
    void MenuEnviarClick();
    void MenuEnviarEFecharClick();
    void Fechar();

    // The entries, in list order, and whether each is ticked.
    QStringList Destinatarios() const;
    bool isChecked(const QString& entry) const;
    // The warning shown; empty when hidden.
    QString Aviso() const;
    int IndiceFace() const { return m_indiceFace; }
    QPlainTextEdit* MemoMsg() const { return m_memoMsg; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidgetItem* find(const QString& entry) const;
    void MostrarAviso(const QString& text);
    void OcultarAviso();

    Station& m_station;
    QLabel* m_lbWarning = nullptr;
    QPlainTextEdit* m_memoMsg = nullptr;
    QListWidget* m_chLBoxDestino = nullptr;
    QPushButton* m_butEnviarPara = nullptr;
    int m_indiceFace = 5;
};
