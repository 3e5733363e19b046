#pragma once

#include "settingkeys.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class Station;

// The settings dialog, opened without blocking from the communicator's "Configurações": a thin
// editor over colloqua.ini. It reads every key it shows each time it becomes visible and
// writes them all on "&Aplicar" and "&Ok"; it keeps nothing itself, since every other window
// reads a setting at the moment it needs it.
class TFormConfig final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormConfig)

public:
    // Which side a sound path belongs to.
    enum class Lado
    {
        Receber,
        Enviar,
    };

    explicit TFormConfig(Station& station, QWidget* parent = nullptr);
    ~TFormConfig() override;

    void Exibir();

    // Writes every control to its key in one replacement of the file. False, with an error
    // shown and nothing written, when the file could not be written or could not hold a text.
    bool SalvarAlteracoes();
    // Writes the factory value of every key of SETUP, RECEBER, ENVIAR and BACKUP in the order
    // of the first start; uses no control. False when the file could not be written.
    bool SalvaConfiguracoes();

    // Buttons and handlers.
    void ButOkClick();
    void ButAplicarClick();
    void ButCancelarClick();
    void SBDefaultUserClick();
    void ComboDefaultUserSelect(int index);
    void SButUsuarioClick();
    void SButCanalClick();
    // Asks for a wave file and copies it into the data directory for that side's sound.
    void CopiarArquivo(Lado lado);

    // Controls, for the tests. Every control that maps to a key also carries its name as its
    // object name.
    QTabWidget* PageControl() const { return m_pageControl; }
    QComboBox* ComboCanal() const { return m_comboCanal; }
    QComboBox* ComboDefaultUser() const { return m_comboDefaultUser; }
    QLineEdit* EdDefaultUser() const { return m_edDefaultUser; }
    QToolButton* SBDefaultUser() const { return m_sbDefaultUser; }
    QLineEdit* EdSomReceber() const { return m_edSomReceber; }
    QLineEdit* EdSomEnviar() const { return m_edSomEnviar; }
    QLabel* ImgAvisoReceber() const { return m_imgAvisoReceber; }
    QLabel* ImgAvisoEnviar() const { return m_imgAvisoEnviar; }
    QCheckBox* ChBoxEmitirSomReceber() const { return m_chBoxEmitirSomReceber; }
    QCheckBox* ChBoxEmitirSomEnviar() const { return m_chBoxEmitirSomEnviar; }
    QList<QRadioButton*> RdButStatus() const { return m_rdButStatus; }
    QPushButton* ButOk() const { return m_butOk; }
    QPushButton* ButCancelar() const { return m_butCancelar; }
    QPushButton* ButAplicar() const { return m_butAplicar; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A check box, number box or read-only path text and the key it shows.
    struct Binding
    {
        const SettingKey* key = nullptr;
        QWidget* control = nullptr;
        // What the control shows when colloqua.ini is missing, where it differs from the key's
        // default.
        std::optional<SettingValue> fallback;
    };

    void FormShow();
    void buildPagePrincipal(QWidget* page);
    void buildPageGerais(QWidget* page);

    // False, naming each text and the characters colloqua.ini cannot hold, when there are any.
    bool TextosGravaveis();
    void CarregarUsuarios();
    void CarregarCanais();
    QString statusCode() const;
    void setStatusCode(const QString& code);
    void showSoundPath(QLineEdit* edit, const QString& path);
    QLineEdit* soundPath(Lado lado) const;

    Station& m_station;
    // In the order the keys are read and written.
    QList<Binding> m_bindings;

    QTabWidget* m_pageControl = nullptr;
    QComboBox* m_comboCanal = nullptr;
    QToolButton* m_sButCanal = nullptr;
    QCheckBox* m_chBoxEmitirSomReceber = nullptr;
    QCheckBox* m_chBoxEmitirSomEnviar = nullptr;
    QLineEdit* m_edSomReceber = nullptr;
    QLineEdit* m_edSomEnviar = nullptr;
    QLabel* m_imgAvisoReceber = nullptr;
    QLabel* m_imgAvisoEnviar = nullptr;

    QToolButton* m_sbDefaultUser = nullptr;
    QComboBox* m_comboDefaultUser = nullptr;
    QLineEdit* m_edDefaultUser = nullptr;
    QToolButton* m_sButUsuario = nullptr;
    QButtonGroup* m_statusGroup = nullptr;
    QList<QRadioButton*> m_rdButStatus;

    QPushButton* m_butOk = nullptr;
    QPushButton* m_butCancelar = nullptr;
    QPushButton* m_butAplicar = nullptr;
};
