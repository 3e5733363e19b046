#include "historyentrydelegate.h"

#include "deliverymarks.h"
#include "frame.h"
#include "historylist.h"
#include "imagelist.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace
{
// The columns of an entry for a small font, from its left edge.
constexpr int LabelColumn = 32;
constexpr int NameColumn = 58;
constexpr int TextColumn = 137;
// The message text wraps this much short of the entry's width.
constexpr int TextMargin = 147;
// Space left between a label and what follows it.
constexpr int Gap = 4;
// Longer names are cut before they are measured: the entry shows a few dozen characters.
constexpr qsizetype LongestNameMeasured = 256;
} // namespace

const QColor HistoryEntryDelegate::Navy(0, 0, 128);
const QColor HistoryEntryDelegate::Green(0, 128, 0);
const QColor HistoryEntryDelegate::Silver(192, 192, 192);
const QColor HistoryEntryDelegate::Red(192, 0, 0);

HistoryEntryDelegate::Columns HistoryEntryDelegate::columnsFor(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int labels = std::max(metrics.horizontalAdvance(tr("   de:")), metrics.horizontalAdvance(tr("para:")));
    // Every date has the same digits' width.
    const int date
        = metrics.horizontalAdvance(tr("data:%1").arg(FormatarData(QDateTime(QDate(2000, 12, 28), QTime(20, 58, 58)))));
    Columns columns;
    columns.label = LabelColumn;
    columns.name = std::max(NameColumn, LabelColumn + labels + Gap);
    columns.text = std::max({ TextColumn, LabelColumn + date + 2 * Gap, columns.name + (TextColumn - NameColumn) / 2 });
    columns.textMargin = TextMargin + (columns.text - TextColumn);
    // A name ends before the message column, however long it is.
    columns.nameWidth = columns.text - columns.name - Gap;
    return columns;
}

HistoryEntryDelegate::HistoryEntryDelegate(const ImageList& faces, const Clock& clock, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_faces(faces)
    , m_clock(clock)
{ }

HistoryEntryDelegate::Desenho HistoryEntryDelegate::desenho(
    const QString& entry, const QRect& rect, bool selected, const QFont& font, int marca) const
{
    Desenho result;
    TDados frame;
    ParseFrame(RegistroDaEntrada(entry), frame, m_clock);
    if (!frame.Valid)
        return result;
    result.valid = true;
    result.face = frame.FaceIndex;

    const bool system = !frame.Command.isEmpty();
    const auto colour = [&](const QColor& normal) {
        if (system)
            return Silver;
        return selected ? QColor(Qt::white) : normal;
    };
    QFont bold = font;
    bold.setBold(true);
    const Columns columns = columnsFor(font);
    const auto name = [&](const QString& text, bool isBold) {
        const QFontMetrics metrics(isBold ? bold : font);
        return metrics.elidedText(text.left(LongestNameMeasured), Qt::ElideRight, columns.nameWidth);
    };

    const int x = rect.left();
    const int y = rect.top();
    const int d = m_page == HistoryPage::Todas ? LineHeight : 0;
    const QColor black(Qt::black);
    if (m_page == HistoryPage::Recebidas || m_page == HistoryPage::Todas) {
        const bool isBold = m_page == HistoryPage::Recebidas;
        result.textos.append({ QPoint(x + columns.label, y), tr("   de:"), colour(black), false });
        result.textos.append({ QPoint(x + columns.name, y), name(frame.FromUser, isBold), colour(black), isBold });
    }
    if (m_page == HistoryPage::Enviadas || m_page == HistoryPage::Todas) {
        const bool isBold = m_page == HistoryPage::Enviadas;
        result.textos.append({ QPoint(x + columns.label, y + d), tr("para:"), colour(black), false });
        result.textos.append({ QPoint(x + columns.name, y + d), name(frame.ToUser, isBold), colour(black), isBold });
    }
    const QColor dateColour = m_page == HistoryPage::Enviadas ? Green : m_page == HistoryPage::Todas ? Silver : Navy;
    result.textos.append({ QPoint(x + columns.label, y + d + LineHeight), tr("data:%1").arg(FormatarData(frame.SentAt)),
        colour(dateColour), false });
    // The delivery mark of a sent message, under its date.
    const auto mark = DeliveryMarks::Marca(marca);
    if (const QString text = DeliveryMarks::Texto(mark); !text.isEmpty())
        result.textos.append({ QPoint(x + columns.label, y + d + 2 * LineHeight), text,
            colour(mark == DeliveryMarks::Marca::Entregue ? Green : Red), false });

    const QFontMetrics metrics(font);
    const QStringList lines = QuebrarTexto(
        frame.MessageText, rect.width() - columns.textMargin,
        [&](QStringView line) { return metrics.horizontalAdvance(line.toString()); }, MaxTextLines);
    for (qsizetype n = 0; n < lines.size(); ++n)
        result.textos.append({ QPoint(x + columns.text, y + LineHeight * int(n)), lines.at(n), colour(black), false });
    return result;
}

void HistoryEntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect rect = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->save();
    painter->setClipRect(rect);
    painter->fillRect(rect, selected ? option.palette.highlight() : option.palette.base());

    const Desenho entry
        = desenho(index.data(Qt::DisplayRole).toString(), rect, selected, option.font, index.data(MarcaRole).toInt());
    if (entry.valid) {
        // The pictures are transparent where they are white, so the background shows through.
        painter->drawPixmap(rect.topLeft(), m_faces.pixmap(entry.face, painter->device()->devicePixelRatioF()));
        QFont bold = option.font;
        bold.setBold(true);
        for (const Texto& texto : entry.textos) {
            painter->setFont(texto.bold ? bold : option.font);
            painter->setPen(texto.color);
            const QRect line(texto.pos, QPoint(rect.right(), texto.pos.y() + LineHeight - 1));
            painter->drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, texto.text);
        }
        if (m_divider) {
            painter->setPen(QPen(Qt::black, 1, Qt::SolidLine));
            painter->drawLine(rect.left() + 2, rect.top() + 60, rect.left() + rect.width() - 2, rect.top() + 60);
        }
    }
    painter->restore();
}

QSize HistoryEntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    Q_UNUSED(index);
    return QSize(option.rect.width(), EntryHeight);
}
