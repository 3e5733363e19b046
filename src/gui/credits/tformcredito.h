#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QTabBar;
class Station;

// The credits window: the application's title and file version, the credits text, and the
// version information read from the executable's file.
class TFormCredito final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormCredito)

public:
    explicit TFormCredito(Station& station, QWidget* parent = nullptr);
    ~TFormCredito() override;

    // Shows the window modally with the title, the version information of the file and the text.
    void MostraCreditos(const QString& title, const QString& fileName, const QString& creditsText);
    // Remembers the file for the next showing; the credits page holds the text once.
    void SendVars(const QString& fileName, const QString& creditsText);

    // Shows the page of the chosen tab.
    void TabSet1Change(int index);
    // Opens the maker's web page.
    void Label2Click();

    static const QString& MakerWebPage();

    QLabel* LbVer() const { return m_lbVer; }
    QLabel* LbTitiShadow() const { return m_lbTitiShadow; }
    QLabel* LbTitiOver() const { return m_lbTitiOver; }
    QTabBar* TabSet1() const { return m_tabSet1; }
    QPlainTextEdit* MemoTXT() const { return m_memoTXT; }
    QPlainTextEdit* Memo() const { return m_memo; }
    QLabel* Label2() const { return m_label2; }
    QWidget* currentPage() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    QWidget* buildTitle();

    Station& m_station;
    QString m_fileName;
    QLabel* m_lbVer = nullptr;
    QLabel* m_lbTitiShadow = nullptr;
    QLabel* m_lbTitiOver = nullptr;
    QTabBar* m_tabSet1 = nullptr;
    QStackedWidget* m_pages = nullptr;
    QPlainTextEdit* m_memoTXT = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QLabel* m_label2 = nullptr;
};
