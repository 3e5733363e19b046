#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPoint>
#include <QStyledItemDelegate>

class Clock;
class ImageList;

// Draws one entry of the history window's list ("key|record"): the face picture, the name
// lines of the page, the date line and up to four lines of message text, 61 pixels high.
// Every text comes from the network and is drawn as plain text, clipped to the entry.
class HistoryEntryDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryEntryDelegate)

public:
    static constexpr int EntryHeight = 61;
    static constexpr int LineHeight = 13;
    static constexpr int MaxTextLines = 4;
    // The item data that holds an entry's delivery mark (a DeliveryMarks::Marca as int).
    static constexpr int MarcaRole = Qt::UserRole + 1;

    struct Texto
    {
        QPoint pos; // top-left corner
        QString text;
        QColor color;
        bool bold = false;
    };
    // What an entry is made of, ready to be painted.
    struct Desenho
    {
        bool valid = false;
        int face = 0;
        QList<Texto> textos;
    };

    // Where an entry's texts start, from its left edge, and how far they may run.
    struct Columns
    {
        int label = 0; // "de:", "para:", "data:…"
        int name = 0;
        int text = 0; // the message lines
        int textMargin = 0; // the message wraps this much short of the entry's width
        int nameWidth = 0;
    };
    // The classic columns suit a small font; a wider one moves them right so that the labels,
    // the names, the date and the message never run into each other.
    static Columns columnsFor(const QFont& font);

    HistoryEntryDelegate(const ImageList& faces, const Clock& clock, QObject* parent = nullptr);

    void setPage(int page) { m_page = page; }
    void setDividerLine(bool divider) { m_divider = divider; }
    bool dividerLine() const { return m_divider; }

    // The entry's texts inside `rect`, as `font` measures them; `marca` is its delivery mark.
    Desenho desenho(const QString& entry, const QRect& rect, bool selected, const QFont& font, int marca = 0) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static const QColor Navy;
    static const QColor Green;
    static const QColor Silver;
    static const QColor Red;

private:
    const ImageList& m_faces;
    const Clock& m_clock;
    int m_page = 0;
    bool m_divider = false;
};
