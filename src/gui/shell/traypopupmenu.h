#pragma once

#include <QColor>
#include <QMenu>
#include <QPixmap>

// The tray's pop-up menu: a white header with the menu picture above the entries and, down
// the left side, a banner with the station's title written upwards. The banner takes the
// highlight colour while somebody is logged on and a grey one otherwise.
class TrayPopupMenu final : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayPopupMenu)

public:
    static constexpr int BannerWidth = 20;
    // The entries start here; the captions' own leading blank is the gap after the banner.
    static constexpr int EntriesLeft = 23;
    // Every entry is this much wider than the style would make it: the banner, and some air.
    static constexpr int ExtraWidth = 30;
    static constexpr int HeaderPictureTop = 8;

    explicit TrayPopupMenu(QWidget* parent = nullptr);
    ~TrayPopupMenu() override;

    void setHeaderPicture(const QPixmap& picture);
    void setBanner(const QString& text, bool active);

    const QString& bannerText() const { return m_bannerText; }
    bool bannerActive() const { return m_bannerActive; }
    QColor bannerColour() const;
    QColor bannerTextColour() const;
    // The white area above the entries.
    QRect headerRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintBanner(QPainter& painter) const;
    void paintHeader(QPainter& painter) const;

    QPixmap m_headerPicture;
    QString m_bannerText;
    bool m_bannerActive = false;
};
