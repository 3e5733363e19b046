#pragma once

#include <QWidget>

#include <memory>

class DeliveryWatch;
class HistoryEntryDelegate;
class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QMenuBar;
class QTabBar;
class Station;

// The history window: the received and sent messages of the history files, on three pages
// ("Recebidas", "Enviadas", "Todas"), newest first by the sender's stamp. Created once and only
// hidden when closed; it reads the files afresh at every reload and keeps no copy of them.
class TFormHistMSG final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormHistMSG)

public:
    enum Aba : int
    {
        Recebidas = 0,
        Enviadas = 1,
        Todas = 2,
    };

    static constexpr int WarningHeight = 50;
    static constexpr int HiddenWarningHeight = 4;

    explicit TFormHistMSG(Station& station, QWidget* parent = nullptr);
    ~TFormHistMSG() override;

    // Sets the page without reloading.
    void DefinirAba(int page);
    int AbaAtual() const { return m_abaAtual; }
    // Selects the page's tab (any page but 1 and 2 is 0) and reloads the list.
    void AtualizarLista();

    // Pinned above other windows, or not; position and size stay.
    void setTopmost(bool topmost);
    bool isTopmost() const;

    // The warning strip: 50 pixels high with the text, 4 pixels and empty without.
    void MostrarAviso(const QString& text);
    void OcultarAviso();

    // The receipts of the messages sent from this station: what is awaited, and the warning of
    // a message a confirming computer did not confirm.
    DeliveryWatch& Entregas() const { return *m_entregas; }
    // A receipt arrived: the marks of the sent messages shown are brought up to date.
    void ConfirmacaoRecebida(const QString& computer, const QString& user, const QString& stamp);
    // Reads the delivery marks of the entries shown again ("entregue", "não confirmada").
    void AtualizarMarcas();

    // Menu commands.
    void MenuEnviarMensagemClick();
    void MenuCopiarClick();
    void MenuDeletarMensagemClick();
    void MenuDeletarTodasClick();
    void Fechar();

    // What each entry shows, newest first, as plain text: the name lines, the date line, the
    // delivery mark and the whole message text, joined by two blanks.
    QStringList Linhas() const;

    QListWidget* ListBoxMsg() const { return m_listBoxMsg; }
    QTabBar* TabSet1() const { return m_tabSet1; }
    QLabel* LbWarning() const { return m_lbWarning; }
    QWidget* PanWarning() const { return m_panWarning; }
    QMenuBar* MenuBar() const { return m_menuBar; }
    QMenu* PopupMenuMsg() const { return m_popupMenuMsg; }
    HistoryEntryDelegate* EntryDelegate() const { return m_delegate; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    QAction* addCommand(QMenu* menu, const QString& caption, void (TFormHistMSG::*command)());
    // The window's own keys first, then the keys shared with the other windows.
    bool tratarTecla(int key, Qt::KeyboardModifiers modifiers);
    void CarregarLista();
    // Throws FileError when the received history cannot be read.
    void CarregarMarcas();
    void MostrarNaoConfirmadas(const QStringList& avisos);
    void AplicarAparencia();
    // Removes the records of `entries` from the files of the current page.
    void ExcluirRegistros(const QStringList& entries);
    QListWidgetItem* selectedEntry() const;

    Station& m_station;
    QMenuBar* m_menuBar = nullptr;
    QWidget* m_panWarning = nullptr;
    QLabel* m_imgWarning = nullptr;
    QLabel* m_lbWarning = nullptr;
    QListWidget* m_listBoxMsg = nullptr;
    HistoryEntryDelegate* m_delegate = nullptr;
    std::unique_ptr<DeliveryWatch> m_entregas;
    QMenu* m_popupMenuMsg = nullptr;
    QTabBar* m_tabSet1 = nullptr;
    int m_abaAtual = Recebidas;
    // Re-showing after a change of the window flags is not a new showing.
    bool m_changingFlags = false;
};
