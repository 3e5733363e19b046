#pragma once

#include <QStringList>
#include <QWidget>

class QAction;
class QDropEvent;
class QKeyEvent;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QSplitter;
class QStackedWidget;
class QToolButton;
class Station;
class TOrbCheckListBox;
struct ListedRecipient;

// The send-message window: a text, the face it goes with and the checked recipients, each an
// entry of the user tree ("ana (pc-02)"). Created once and only hidden when closed.
class TFormSendMSG final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormSendMSG)

public:
    // Heights of the recipients panel.
    static constexpr int AlturaContraida = 41;
    static constexpr int AlturaExpandida = 106;
    static constexpr int AlturaMinima = 28;
    static constexpr int MaxCaracteres = 300;

    explicit TFormSendMSG(Station& station, QWidget* parent = nullptr);
    ~TFormSendMSG() override;

    // Adds the entry ticked unless the list holds it already (letter case ignored); an entry
    // already there keeps its mark.
    void AdicionarDestinatario(const QString& entry);
    // The user of `entry` logged off: the entry leaves the list with a warning.
    void RemoverDesconectado(const QString& entry);
    // Every user entry of the communicator's visible tree, unless nobody is known at all.
    // False when the master tree is empty and nothing was looked at.
    bool CarregarUsuarios();

    // "de: user (computer)" while logged on, empty after a logoff.
    void setCaption(const QString& caption);
    QString caption() const { return windowTitle(); }

    // Warning hidden, focus in the text, the default face.
    void PrepararNovaMensagem();
    // One frame per ticked recipient, all with one stamp. False, with a warning, when nothing
    // was sent.
    bool EnviarMensagem();

    // Menu commands.
    void MenuCarregarUsuariosClick();
    void MenuMarcarTodosClick();
    void MenuDesmarcarTodosClick();
    void MenuRemoverClick();
    void MenuRemoverTodosClick();
    void MenuEnviarClick();
    void MenuEnviarEFecharClick();
    void Fechar();
    // A face menu entry: face 0 to 5.
    void SelecionarFace(int face);
    void SButExpandirClick();
    void SButContrairClick();

    // "Destino:" and the user names of the ticked entries, one per line.
    void AtualizarDicaDestinatarios();
    const QString& DicaDestinatarios() const { return m_dicaDestinatarios; }

    // The entries, in list order, and whether each is ticked.
    QStringList Destinatarios() const;
    bool isChecked(const QString& entry) const;
    // The warning shown; empty when hidden.
    QString Aviso() const;
    int IndiceFace() const { return m_indiceFace; }
    int AlturaPainelDest() const;

    // Widgets, for the tests.
    QPlainTextEdit* MemoMsg() const { return m_memoMsg; }
    TOrbCheckListBox* ChLBoxDestino() const { return m_chLBoxDestino; }
    QLabel* ImgFace() const { return m_imgFace; }
    QLabel* ImgWarning() const { return m_imgWarning; }
    QLabel* LbWarning() const { return m_lbWarning; }
    QMenuBar* MenuBar() const { return m_menuBar; }
    QMenu* PopMenuFaces() const { return m_popMenuFaces; }
    QMenu* PopMenuDestino() const { return m_popMenuDestino; }
    QToolButton* SButExpandir() const { return m_sButExpandir; }
    QToolButton* SButContrair() const { return m_sButContrair; }
    QToolButton* ButEnviarPara() const { return m_butEnviarPara; }
    QSplitter* Splitter() const { return m_splitter; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    QWidget* buildTextArea();
    QWidget* buildRecipientsPanel();

    // True when the key was taken here or by the communicator's shared keys.
    bool TratarTecla(QObject* watched, const QKeyEvent* key);
    // Accepts a drag only from the communicator's tree; a drop adds its selection.
    void TratarArraste(QDropEvent* event, bool drop);
    void LimitarTexto();
    void TrocarImagem(int face);
    void DefinirAlturaPainel(int height);
    void AtualizarIconesPainel();
    // The list as the recipient rules take it: every entry in list order with its mark.
    QList<ListedRecipient> listedRecipients() const;
    void MostrarAviso(const QString& text);
    void OcultarAviso();
    // Names the characters of the text that cannot travel, or takes that warning away.
    void AvisarCaracteresPerdidos();

    Station& m_station;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_popMenuFaces = nullptr;
    QMenu* m_popMenuDestino = nullptr;
    QList<QAction*> m_faceActions;
    QStackedWidget* m_topo = nullptr;
    QWidget* m_panWarning = nullptr;
    QLabel* m_imgFace = nullptr;
    QLabel* m_imgWarning = nullptr;
    QLabel* m_lbWarning = nullptr;
    QPlainTextEdit* m_memoMsg = nullptr;
    QSplitter* m_splitter = nullptr;
    QWidget* m_panelDest = nullptr;
    TOrbCheckListBox* m_chLBoxDestino = nullptr;
    QToolButton* m_butEnviarPara = nullptr;
    QToolButton* m_sButExpandir = nullptr;
    QToolButton* m_sButContrair = nullptr;
    QString m_dicaDestinatarios;
    int m_indiceFace = 5;
    bool m_limitando = false;
    // The warning shown is the one of AvisarCaracteresPerdidos.
    bool m_avisoCaracteres = false;
};
