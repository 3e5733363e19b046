#pragma once

#include <QDialog>

class QTabWidget;
class Station;

// The settings dialog, opened without blocking from the communicator's "Configurações".
class TFormConfig final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormConfig)

public:
    explicit TFormConfig(Station& station, QWidget* parent = nullptr);
    ~TFormConfig() override;

    void Exibir();

private:
    [[maybe_unused]] Station& m_station;
    QTabWidget* m_pageControl = nullptr;
};
