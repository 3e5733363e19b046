#pragma once

#include <QWidget>

class QLabel;
class QListWidget;
class QTabBar;
class Station;

// The history window: the received and sent messages of the history files, on three pages
// ("Recebidas", "Enviadas", "Todas"). Created once and only hidden when closed; it reads the
// files afresh at every reload.
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

    void Fechar();

    // The records shown, newest first, as plain text.
    QStringList Linhas() const;
    QListWidget* ListBoxMsg() const { return m_listBoxMsg; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CarregarLista();

    Station& m_station;
    QListWidget* m_listBoxMsg = nullptr;
    QTabBar* m_tabSet1 = nullptr;
    int m_abaAtual = Recebidas;
    // Re-showing after a change of the window flags is not a new showing.
    bool m_changingFlags = false;
};
