#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;
class Station;

// The restore dialog: the backups of the data directory, to restore, delete or rename.
class TFormRestore final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormRestore)

public:
    explicit TFormRestore(Station& station, QWidget* parent = nullptr);
    ~TFormRestore() override;

private:
    [[maybe_unused]] Station& m_station;
    QListWidget* m_listBox = nullptr;
    QPushButton* m_butCancela = nullptr;
};
