#pragma once

#include <QDialog>
#include <QString>

class QListWidget;
class QListWidgetItem;
class QPushButton;
class Station;

// The restore dialog: the backups of the data directory, to restore (through the copy
// window), delete with the Delete key or rename with a double-click.
class TFormRestore final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormRestore)

public:
    explicit TFormRestore(Station& station, QWidget* parent = nullptr);
    ~TFormRestore() override;

    // The inputs: the backup base directory (with its trailing separator) and the data
    // directory (without one).
    void setDirBase(const QString& dir) { m_dirBase = dir; }
    void setDirDados(const QString& dir) { m_dirDados = dir; }

    // Reloads the list from the base directory.
    void CarregaDirBackups();

    void ButRestaurarClick();
    // The Delete key on the selected entry.
    void ExcluirSelecionado();
    // A double-click on the selected entry.
    void RenomearSelecionado();

    QListWidget* ListBox() const { return m_listBox; }
    QPushButton* ButRestaurar() const { return m_butRestaurar; }
    QPushButton* ButCancela() const { return m_butCancela; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString selectedName() const;

    Station& m_station;
    QString m_dirBase;
    QString m_dirDados;
    QListWidget* m_listBox = nullptr;
    QPushButton* m_butRestaurar = nullptr;
    QPushButton* m_butCancela = nullptr;
};
