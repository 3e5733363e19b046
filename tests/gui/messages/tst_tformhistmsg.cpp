#include "fakeclock.h"
#include "frame.h"
#include "historyentrydelegate.h"
#include "historyfiles.h"
#include "historylist.h"
#include "menus.h"
#include "teststation.h"
#include "tformhistmsg.h"
#include "tformsendmsg.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTabBar>
#include <QTest>

#include <algorithm>

namespace
{
const QString Channel = QStringLiteral("NETWORK");
const QString Me = QStringLiteral("ANA");

QStringList strings(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

// 1 Jan 2026 at 10:<minute>:00.
QString atMinute(int minute)
{
    return QStringLiteral("010126")
        + QStringLiteral("%1%2")
              .arg(10 + minute / 60, 2, 10, QLatin1Char('0'))
              .arg(minute % 60, 2, 10, QLatin1Char('0'))
        + QStringLiteral("00");
}

QString received(int minute, const QString& text, const QString& from = QStringLiteral("BRUNO"))
{
    return BuildTextFrame(from, Me, atMinute(minute), 3, text);
}

QString sent(int minute, const QString& text, const QString& to = QStringLiteral("BRUNO"))
{
    return BuildTextFrame(Me, to, atMinute(minute), 4, text);
}

// The message text of each entry, top to bottom.
QStringList shownTexts(const TFormHistMSG& hist)
{
    QStringList texts;
    const FakeClock clock;
    for (int row = 0; row < hist.ListBoxMsg()->count(); ++row) {
        TDados frame;
        ParseFrame(RegistroDaEntrada(hist.ListBoxMsg()->item(row)->text()), frame, clock);
        texts.append(frame.MessageText);
    }
    return texts;
}

int selectedRow(const TFormHistMSG& hist)
{
    const QList<QListWidgetItem*> selected = hist.ListBoxMsg()->selectedItems();
    return selected.isEmpty() ? -1 : hist.ListBoxMsg()->row(selected.first());
}

// How entry `row` is drawn at the list's current width.
HistoryEntryDelegate::Desenho drawn(const TFormHistMSG& hist, int row, bool selected = false)
{
    const QListWidget* list = hist.ListBoxMsg();
    const QRect rect(0, 0, list->viewport()->width(), HistoryEntryDelegate::EntryHeight);
    return hist.EntryDelegate()->desenho(list->item(row)->text(), rect, selected, list->font());
}

HistoryEntryDelegate::Columns columnsOf(const TFormHistMSG& hist)
{
    return HistoryEntryDelegate::columnsFor(hist.ListBoxMsg()->font());
}

const HistoryEntryDelegate::Texto* textAt(const HistoryEntryDelegate::Desenho& entry, const QPoint& pos)
{
    for (const HistoryEntryDelegate::Texto& texto : entry.textos) {
        if (texto.pos == pos)
            return &texto;
    }
    return nullptr;
}

class Fixture
{
public:
    Fixture()
        : station(QStringLiteral("pc-a"), network)
    {
        station.com().Conectar(Me, Channel, QStringLiteral("ON"));
        // The own logon announcement comes back into the received history: start without it.
        const bool echoed
            = QTest::qWaitFor([this] { return !HistoryFiles::ReadHistoryRecords(history().receivedPath()).isEmpty(); });
        Q_UNUSED(echoed);
        HistoryFiles::CreateEmptyFile(history().receivedPath());
        HistoryFiles::CreateEmptyFile(history().sentPath());
    }
    TFormHistMSG& hist() const { return station.station().FormHistMSG(); }
    const HistoryFiles& history() const { return station.tools().history(); }
    void show(int page)
    {
        hist().show();
        QVERIFY(QTest::qWaitForWindowExposed(&hist()));
        hist().DefinirAba(page);
        hist().AtualizarLista();
    }

    FakeMailslotNetwork network;
    TestStation station;
};
} // namespace

class TestTFormHistMSG : public QObject
{
    Q_OBJECT

private slots:
    void newestFirstByStamp_data();
    void newestFirstByStamp();
    void limitWithEviction_data();
    void limitWithEviction();
    void systemFrames_data();
    void systemFrames();
    void entryLayout_data();
    void entryLayout();
    void textsNeverRunIntoEachOther_data();
    void textsNeverRunIntoEachOther();
    void longNamesAndTextsStayInTheEntry();
    void answer_data();
    void answer();
    void copyPutsTheMessageText_data();
    void copyPutsTheMessageText();
    void deleteOneReselects_data();
    void deleteOneReselects();
    void deleteAllRemovesOnlyWhatIsShown();
    void wrapFollowsTheWidth();
    void altArrowsCycle_data();
    void altArrowsCycle();
    void menusAndKeys();
    void resizeReloads();
    void positionSavedOnClose();
};

void TestTFormHistMSG::newestFirstByStamp_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("Recebidas") << 0 << strings({ "10:05", "10:00" });
    QTest::newRow("Enviadas") << 1 << strings({ "s10:07", "s10:01" });
    QTest::newRow("Todas") << 2 << strings({ "s10:07", "10:05", "s10:01", "10:00" });
}

void TestTFormHistMSG::newestFirstByStamp()
{
    QFETCH(int, page);
    QFETCH(QStringList, texts);
    Fixture f;
    // Arrival order is not stamp order: the sender's stamp decides.
    f.history().AppendReceived(received(5, QStringLiteral("10:05")));
    f.history().AppendReceived(received(0, QStringLiteral("10:00")));
    f.history().AppendSent(sent(7, QStringLiteral("s10:07")));
    f.history().AppendSent(sent(1, QStringLiteral("s10:01")));
    f.show(page);
    QCOMPARE(shownTexts(f.hist()), texts);
}

void TestTFormHistMSG::limitWithEviction_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QStringList>("texts");
    // Ten received "r0".."r9" at minutes 0..9, four sent "s0".."s3" at minutes 20..23.
    QTest::newRow("Recebidas, 3") << 0 << 3 << strings({ "r9", "r8", "r7" });
    QTest::newRow("Enviadas, 2") << 1 << 2 << strings({ "s3", "s2" });
    QTest::newRow("Todas, 3") << 2 << 3 << strings({ "s3", "s2", "s1" });
    QTest::newRow("Todas, 12") << 2 << 12
                               << strings({ "s3", "s2", "s1", "s0", "r9", "r8", "r7", "r6", "r5", "r4", "r3", "r2" });
    QTest::newRow("Recebidas, 0 is no limit")
        << 0 << 0 << strings({ "r9", "r8", "r7", "r6", "r5", "r4", "r3", "r2", "r1", "r0" });
}

void TestTFormHistMSG::limitWithEviction()
{
    QFETCH(int, page);
    QFETCH(int, maximum);
    QFETCH(QStringList, texts);
    Fixture f;
    f.station.setting(QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_JANHIST"), SettingInteger, maximum);
    for (int i = 0; i < 10; ++i)
        f.history().AppendReceived(received(i, QStringLiteral("r%1").arg(i)));
    for (int i = 0; i < 4; ++i)
        f.history().AppendSent(sent(20 + i, QStringLiteral("s%1").arg(i)));
    f.show(page);
    QCOMPARE(shownTexts(f.hist()), texts);
}

void TestTFormHistMSG::systemFrames_data()
{
    QTest::addColumn<bool>("showSystem");
    QTest::addColumn<bool>("selected");
    QTest::newRow("hidden") << false << false;
    QTest::newRow("silver") << true << false;
    QTest::newRow("silver when selected") << true << true;
}

void TestTFormHistMSG::systemFrames()
{
    QFETCH(bool, showSystem);
    QFETCH(bool, selected);
    Fixture f;
    f.station.setting(QStringLiteral("SETUP"), QStringLiteral("EXIBIR_MSG_SISTEMA"), SettingBoolean, showSystem);
    // A broadcast announcement: no ToUser, a command.
    f.history().AppendReceived(BuildPresenceFrame(QStringLiteral("BRUNO"), atMinute(3), QStringLiteral("ON")));
    f.history().AppendReceived(received(1, QStringLiteral("texto")));
    f.show(0);
    QCOMPARE(f.hist().ListBoxMsg()->count(), showSystem ? 2 : 1);
    if (!showSystem)
        return;
    const HistoryEntryDelegate::Desenho entry = drawn(f.hist(), 0, selected);
    QVERIFY(entry.valid);
    QCOMPARE(entry.face, 9);
    QVERIFY(!entry.textos.isEmpty());
    for (const HistoryEntryDelegate::Texto& texto : entry.textos)
        QCOMPARE(texto.color, HistoryEntryDelegate::Silver);
    // The text message beside it keeps its colours.
    QCOMPARE(drawn(f.hist(), 1).textos.first().color, QColor(Qt::black));
}

void TestTFormHistMSG::entryLayout_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QStringList>("labels"); // in the label column, top to bottom
    QTest::addColumn<QStringList>("names"); // in the name column
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("dateColour");
    const QColor white(Qt::white);
    QTest::newRow("Recebidas") << 0 << false << strings({ "   de:", "data:01/01 10:02:00" }) << strings({ "BRUNO" })
                               << true << HistoryEntryDelegate::Navy;
    QTest::newRow("Enviadas") << 1 << false << strings({ "para:", "data:01/01 10:02:00" }) << strings({ "BRUNO" })
                              << true << HistoryEntryDelegate::Green;
    QTest::newRow("Todas") << 2 << false << strings({ "   de:", "para:", "data:01/01 10:02:00" })
                           << strings({ "BRUNO", "ANA" }) << false << HistoryEntryDelegate::Silver;
    QTest::newRow("Recebidas selected") << 0 << true << strings({ "   de:", "data:01/01 10:02:00" })
                                        << strings({ "BRUNO" }) << true << white;
}

void TestTFormHistMSG::entryLayout()
{
    QFETCH(int, page);
    QFETCH(bool, selected);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, names);
    QFETCH(bool, bold);
    QFETCH(QColor, dateColour);
    Fixture f;
    if (page == 1)
        f.history().AppendSent(sent(2, QStringLiteral("oi")));
    else
        f.history().AppendReceived(received(2, QStringLiteral("oi")));
    f.show(page);
    const HistoryEntryDelegate::Desenho entry = drawn(f.hist(), 0, selected);
    QVERIFY(entry.valid);

    const HistoryEntryDelegate::Columns columns = columnsOf(f.hist());
    QStringList labelTexts;
    QStringList nameTexts;
    for (int line = 0; line < 3; ++line) {
        if (const auto* label = textAt(entry, QPoint(columns.label, 13 * line)))
            labelTexts.append(label->text);
        if (const auto* name = textAt(entry, QPoint(columns.name, 13 * line))) {
            nameTexts.append(name->text);
            QCOMPARE(name->bold, bold);
            QCOMPARE(name->color, selected ? QColor(Qt::white) : QColor(Qt::black));
        }
    }
    QCOMPARE(labelTexts, labels);
    QCOMPARE(nameTexts, names);
    QCOMPARE(textAt(entry, QPoint(columns.label, 13 * (labels.size() - 1)))->color, dateColour);
    const auto* text = textAt(entry, QPoint(columns.text, 0));
    QVERIFY(text);
    QCOMPARE(text->text, QStringLiteral("oi"));
}

void TestTFormHistMSG::textsNeverRunIntoEachOther_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("pointSize");
    for (const int page : { 0, 1, 2 }) {
        for (const int size : { 7, 9, 12, 16 })
            QTest::addRow("page %d, %d pt", page, size) << page << size;
    }
}

void TestTFormHistMSG::textsNeverRunIntoEachOther()
{
    QFETCH(int, page);
    QFETCH(int, pointSize);
    Fixture f;
    const QString name = QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWW");
    if (page == 1)
        f.history().AppendSent(BuildTextFrame(Me, name, atMinute(1), 2, QStringLiteral("oi")));
    else
        f.history().AppendReceived(BuildTextFrame(name, Me, atMinute(1), 2, QStringLiteral("oi")));
    f.show(page);
    QFont font = f.hist().ListBoxMsg()->font();
    font.setPointSize(pointSize);
    const QListWidget* list = f.hist().ListBoxMsg();
    const QRect rect(0, 0, 600, HistoryEntryDelegate::EntryHeight);
    const HistoryEntryDelegate::Desenho entry
        = f.hist().EntryDelegate()->desenho(list->item(0)->text(), rect, false, font);
    QVERIFY(entry.valid);
    const HistoryEntryDelegate::Columns columns = HistoryEntryDelegate::columnsFor(font);
    QFont bold = font;
    bold.setBold(true);
    // Every text ends before the next column of its line begins.
    for (const HistoryEntryDelegate::Texto& texto : entry.textos) {
        const int right = texto.pos.x() + QFontMetrics(texto.bold ? bold : font).horizontalAdvance(texto.text);
        if (texto.pos.x() == columns.text)
            continue;
        const bool nameLine = std::any_of(entry.textos.cbegin(), entry.textos.cend(),
            [&](const auto& other) { return other.pos.y() == texto.pos.y() && other.pos.x() == columns.name; });
        const int next = texto.pos.x() == columns.label && nameLine ? columns.name : columns.text;
        QVERIFY2(right < next,
            qPrintable(QStringLiteral("\"%1\" ends at %2, past %3").arg(texto.text).arg(right).arg(next)));
    }
}

void TestTFormHistMSG::longNamesAndTextsStayInTheEntry()
{
    Fixture f;
    const QString longName = QString(5000, QLatin1Char('W'));
    const QString longText = QStringLiteral("<b>negrito</b> &amp; ") + QString(20000, QLatin1Char('x'));
    f.history().AppendReceived(BuildTextFrame(longName, Me, atMinute(1), 2, longText));
    f.show(0);
    QCOMPARE(f.hist().ListBoxMsg()->count(), 1);
    const HistoryEntryDelegate::Desenho entry = drawn(f.hist(), 0);
    const QFontMetrics metrics(f.hist().ListBoxMsg()->font());
    QFont bold = f.hist().ListBoxMsg()->font();
    bold.setBold(true);
    const HistoryEntryDelegate::Columns columns = columnsOf(f.hist());
    const auto* name = textAt(entry, QPoint(columns.name, 0));
    QVERIFY(name);
    QVERIFY(QFontMetrics(bold).horizontalAdvance(name->text) < columns.text - columns.name);
    int textLines = 0;
    for (const HistoryEntryDelegate::Texto& texto : entry.textos) {
        if (texto.pos.x() != columns.text)
            continue;
        ++textLines;
        QVERIFY(texto.pos.y() + 13 <= HistoryEntryDelegate::EntryHeight);
    }
    QCOMPARE(textLines, 4);
    // Markup is text like any other.
    QVERIFY(textAt(entry, QPoint(columns.text, 0))->text.startsWith(QStringLiteral("<b>negrito")));
    // Painting it all stays inside the list.
    const QImage image = f.hist().ListBoxMsg()->viewport()->grab().toImage();
    QVERIFY(!image.isNull());
}

void TestTFormHistMSG::answer_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("select");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QStringList>("recipients");
    QTest::newRow("nothing selected") << 0 << false << received(1, QStringLiteral("oi"))
                                      << QStringLiteral("Favor selecionar uma mensagem.") << QStringList();
    QTest::newRow("sender not in the tree")
        << 0 << true << received(1, QStringLiteral("oi"), QStringLiteral("DIANA"))
        << QStringLiteral("Usuário não está conectado no momento.") << QStringList();
    QTest::newRow("sender in the tree, with his other computer")
        << 0 << true << received(1, QStringLiteral("oi")) << QString() << strings({ "BRUNO (pc-b)", "BRUNO (pc-c)" });
    QTest::newRow("Enviadas answers the addressee")
        << 1 << true << sent(1, QStringLiteral("oi"), QStringLiteral("CARLA")) << QString()
        << strings({ "CARLA (pc-d)" });
    QTest::newRow("names compare with case")
        << 0 << true << received(1, QStringLiteral("oi"), QStringLiteral("bruno"))
        << QStringLiteral("Usuário não está conectado no momento.") << QStringList();
}

void TestTFormHistMSG::answer()
{
    QFETCH(int, page);
    QFETCH(bool, select);
    QFETCH(QString, frame);
    QFETCH(QString, warning);
    QFETCH(QStringList, recipients);
    Fixture f;
    UserTree& master = f.station.session().master();
    master.AtualizarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-b"), 0);
    master.AtualizarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-c"), 0);
    master.AtualizarUsuario(QStringLiteral("CARLA"), QStringLiteral("pc-d"), 0);
    f.station.session().MontarArvore();
    if (page == 1)
        f.history().AppendSent(frame);
    else
        f.history().AppendReceived(frame);
    f.show(page);
    f.hist().setTopmost(true);
    if (select)
        f.hist().ListBoxMsg()->setCurrentRow(0);

    f.hist().MenuEnviarMensagemClick();

    QCOMPARE(f.hist().LbWarning()->text(), warning);
    QCOMPARE(f.hist().PanWarning()->height(), warning.isEmpty() ? 4 : 50);
    // Warnings live in the strip, never in a message box.
    QVERIFY(f.station.queued().asked().isEmpty());
    TFormSendMSG& send = f.station.station().FormSendMSG();
    QCOMPARE(send.isVisible(), !recipients.isEmpty());
    QCOMPARE(send.Destinatarios(), recipients);
    // Answering took the window out of the top layer; the bracket is closed again.
    QCOMPARE(f.hist().isTopmost(), recipients.isEmpty());
    QVERIFY(!f.station.tools().DialogoAberto());

    if (!warning.isEmpty()) {
        // A click on the list takes the warning away.
        QTest::mouseClick(f.hist().ListBoxMsg()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(f.hist().PanWarning()->height(), 4);
        QVERIFY(f.hist().LbWarning()->text().isEmpty());
    }
}

void TestTFormHistMSG::copyPutsTheMessageText_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("Copiar") << false;
    QTest::newRow("Ctrl+C in the list") << true;
}

void TestTFormHistMSG::copyPutsTheMessageText()
{
    QFETCH(bool, byKey);
    Fixture f;
    const QString text = QStringLiteral("Olá, <b>tudo</b> bem? ação € 100%");
    f.history().AppendReceived(received(1, text));
    f.show(0);
    const auto copy = [&] {
        if (byKey)
            QTest::keyClick(f.hist().ListBoxMsg(), Qt::Key_C, Qt::ControlModifier);
        else
            f.hist().MenuCopiarClick();
    };
    QGuiApplication::clipboard()->setText(QStringLiteral("antes"));
    copy();
    QCOMPARE(f.hist().LbWarning()->text(), QStringLiteral("Favor selecionar uma mensagem."));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("antes"));

    f.hist().ListBoxMsg()->setCurrentRow(0);
    copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
}

void TestTFormHistMSG::deleteOneReselects_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("selectedAfter");
    QTest::addColumn<QString>("warning");
    QTest::newRow("last of five") << 5 << 4 << 3 << QString();
    QTest::newRow("middle of five") << 5 << 2 << 2 << QString();
    QTest::newRow("first of five") << 5 << 0 << 0 << QString();
    QTest::newRow("only one") << 1 << 0 << -1 << QString();
    QTest::newRow("nothing selected") << 5 << -1 << -1 << QStringLiteral("Favor selecionar uma mensagem.");
    QTest::newRow("empty list") << 0 << -1 << -1 << QString();
}

void TestTFormHistMSG::deleteOneReselects()
{
    QFETCH(int, entries);
    QFETCH(int, selected);
    QFETCH(int, selectedAfter);
    QFETCH(QString, warning);
    Fixture f;
    for (int i = 0; i < entries; ++i)
        f.history().AppendReceived(received(i, QStringLiteral("m%1").arg(i)));
    f.show(0);
    const QStringList before = shownTexts(f.hist());
    if (selected >= 0)
        f.hist().ListBoxMsg()->setCurrentRow(selected);

    f.hist().MenuDeletarMensagemClick();
    QStringList expected = before;
    if (selected >= 0)
        expected.removeAt(selected);
    QCOMPARE(shownTexts(f.hist()), expected);
    QCOMPARE(selectedRow(f.hist()), selectedAfter);
    QCOMPARE(f.hist().LbWarning()->text(), warning);
    QCOMPARE(HistoryFiles::ReadHistoryRecords(f.history().receivedPath()).size(), expected.size());
}

void TestTFormHistMSG::deleteAllRemovesOnlyWhatIsShown()
{
    Fixture f;
    f.station.setting(QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_JANHIST"), SettingInteger, 2);
    const QString toOther = BuildTextFrame(
        QStringLiteral("BRUNO"), QStringLiteral("CARLA"), atMinute(9), 5, QStringLiteral("para outra"));
    const QString presence = BuildPresenceFrame(QStringLiteral("BRUNO"), atMinute(8), QStringLiteral("ON"));
    for (const QString& frame : { received(1, QStringLiteral("velha")), received(2, QStringLiteral("nova")), toOther,
             presence, received(3, QStringLiteral("mais nova")) })
        f.history().AppendReceived(frame);
    const QString mine = sent(4, QStringLiteral("enviada"));
    f.history().AppendSent(mine);
    f.show(0);
    QCOMPARE(shownTexts(f.hist()), strings({ "mais nova", "nova" }));

    f.hist().MenuDeletarTodasClick();
    // Older records come up once the newer ones are gone.
    QCOMPARE(shownTexts(f.hist()), strings({ "velha" }));
    QCOMPARE(HistoryFiles::ReadHistoryRecords(f.history().receivedPath()),
        (QStringList { received(1, QStringLiteral("velha")), toOther, presence }));
    QCOMPARE(HistoryFiles::ReadHistoryRecords(f.history().sentPath()), QStringList { mine });
    QVERIFY(!QFile::exists(f.history().swapPath()));

    // "Todas" deletes from both files.
    f.hist().DefinirAba(TFormHistMSG::Todas);
    f.hist().AtualizarLista();
    QCOMPARE(shownTexts(f.hist()), strings({ "enviada", "velha" }));
    f.hist().MenuDeletarTodasClick();
    QCOMPARE(HistoryFiles::ReadHistoryRecords(f.history().receivedPath()), (QStringList { toOther, presence }));
    QVERIFY(HistoryFiles::ReadHistoryRecords(f.history().sentPath()).isEmpty());
    QCOMPARE(f.hist().ListBoxMsg()->count(), 0);
}

void TestTFormHistMSG::wrapFollowsTheWidth()
{
    Fixture f;
    QString text;
    for (int i = 0; i < 250; ++i)
        text += QStringLiteral("palavra%1 ").arg(i);
    f.history().AppendReceived(received(1, text.trimmed()));
    f.show(0);
    f.hist().resize(400, 267);
    QTRY_COMPARE(f.hist().width(), 400);
    const auto messageLines = [&] {
        QStringList lines;
        for (const HistoryEntryDelegate::Texto& texto : drawn(f.hist(), 0).textos) {
            if (texto.pos.x() == columnsOf(f.hist()).text)
                lines.append(texto.text);
        }
        return lines;
    };
    const QStringList narrow = messageLines();
    QCOMPARE(narrow.size(), 4);
    QVERIFY(narrow.join(QString()).size() < text.size());
    QVERIFY(text.startsWith(narrow.join(QString())));

    f.hist().resize(1200, 267);
    QTRY_COMPARE(f.hist().width(), 1200);
    const QStringList wide = messageLines();
    QCOMPARE(wide.size(), 4);
    QVERIFY(wide.join(QString()).size() > narrow.join(QString()).size());
    QVERIFY(text.startsWith(wide.join(QString())));
    // Each line but the last stops at the first character past the column's width.
    const QFontMetrics metrics(f.hist().ListBoxMsg()->font());
    const int limit = f.hist().ListBoxMsg()->viewport()->width() - columnsOf(f.hist()).textMargin;
    for (const QString& line : wide) {
        QVERIFY(metrics.horizontalAdvance(line) > limit);
        QVERIFY(metrics.horizontalAdvance(line.chopped(1)) <= limit);
    }
}

void TestTFormHistMSG::altArrowsCycle_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("alt"); // without Alt the arrow goes to the tab bar itself
    QTest::addColumn<int>("to");
    QTest::newRow("Recebidas, left") << 0 << int(Qt::Key_Left) << true << 2;
    QTest::newRow("Recebidas, right") << 0 << int(Qt::Key_Right) << true << 1;
    QTest::newRow("Enviadas, left") << 1 << int(Qt::Key_Left) << true << 0;
    QTest::newRow("Todas, right") << 2 << int(Qt::Key_Right) << true << 0;
    QTest::newRow("Todas, left") << 2 << int(Qt::Key_Left) << true << 1;
    QTest::newRow("tab bar's own arrow") << 0 << int(Qt::Key_Right) << false << 1;
}

void TestTFormHistMSG::altArrowsCycle()
{
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(bool, alt);
    QFETCH(int, to);
    Fixture f;
    f.history().AppendReceived(received(1, QStringLiteral("recebida")));
    f.history().AppendSent(sent(2, QStringLiteral("enviada")));
    f.show(from);
    if (alt)
        QTest::keyClick(f.hist().ListBoxMsg(), Qt::Key(key), Qt::AltModifier);
    else
        QTest::keyClick(f.hist().TabSet1(), Qt::Key(key));
    QCOMPARE(f.hist().AbaAtual(), to);
    QCOMPARE(f.hist().TabSet1()->currentIndex(), to);
    const QStringList expected = to == 0 ? strings({ "recebida" })
        : to == 1                        ? strings({ "enviada" })
                                         : strings({ "enviada", "recebida" });
    QCOMPARE(shownTexts(f.hist()), expected);
}

void TestTFormHistMSG::menusAndKeys()
{
    Fixture f;
    f.history().AppendReceived(received(1, QStringLiteral("um")));
    f.history().AppendReceived(received(2, QStringLiteral("dois")));
    f.show(0);
    QCOMPARE(menuCaptions(f.hist().PopupMenuMsg(), Shortcuts::Shown),
        strings({ "Enviar Mensagem", "-", "Copiar", "-", "Deletar Mensagem", "Deletar Todas" }));

    // Del deletes the selected entry, F5 reloads, Alt+H closes.
    f.hist().ListBoxMsg()->setCurrentRow(0);
    f.hist().activateWindow();
    QTRY_VERIFY(f.hist().isActiveWindow());
    f.hist().ListBoxMsg()->setFocus();
    QTest::keyClick(f.hist().ListBoxMsg(), Qt::Key_Delete);
    QCOMPARE(shownTexts(f.hist()), strings({ "um" }));
    f.history().AppendReceived(received(3, QStringLiteral("tres")));
    QTest::keyClick(f.hist().ListBoxMsg(), Qt::Key_F5);
    QCOMPARE(shownTexts(f.hist()), strings({ "tres", "um" }));
    // A click on a tab changes the page.
    const QRect tab = f.hist().TabSet1()->tabRect(1);
    QTest::mouseClick(f.hist().TabSet1(), Qt::LeftButton, {}, tab.center());
    QCOMPARE(f.hist().AbaAtual(), 1);
    QVERIFY(shownTexts(f.hist()).isEmpty());
    QTest::keyClick(f.hist().ListBoxMsg(), Qt::Key_H, Qt::AltModifier);
    QVERIFY(!f.hist().isVisible());
    QCOMPARE(f.hist().AbaAtual(), 1);
}

void TestTFormHistMSG::resizeReloads()
{
    Fixture f;
    f.history().AppendReceived(received(1, QStringLiteral("um")));
    f.show(0);
    f.hist().ListBoxMsg()->setCurrentRow(0);
    f.history().AppendReceived(received(2, QStringLiteral("dois")));
    // Un-minimising is no new showing: no reload, the selection stays.
    f.hist().showMinimized();
    f.hist().showNormal();
    QCOMPARE(shownTexts(f.hist()), strings({ "um" }));
    QCOMPARE(selectedRow(f.hist()), 0);
    f.hist().resize(f.hist().width() + 40, f.hist().height() + 10);
    QTRY_COMPARE(shownTexts(f.hist()), strings({ "dois", "um" }));
    // The selected entry stays selected.
    QCOMPARE(selectedRow(f.hist()), 1);
}

void TestTFormHistMSG::positionSavedOnClose()
{
    Fixture f;
    f.show(2);
    f.hist().setGeometry(60, 70, 600, 300);
    f.hist().Fechar();
    QVERIFY(!f.hist().isVisible());
    QCOMPARE(f.hist().AbaAtual(), 2);
    const QString posicao = QStringLiteral("POSICAO");
    QCOMPARE(f.station.readSetting(posicao, QStringLiteral("WNDHIST_WIDTH"), SettingInteger).toInt(), 600);
    QCOMPARE(f.station.readSetting(posicao, QStringLiteral("WNDHIST_HEIGHT"), SettingInteger).toInt(), 300);
    QCOMPARE(f.station.readSetting(posicao, QStringLiteral("WNDHIST_TOP"), SettingInteger).toInt(), f.hist().pos().y());
    QCOMPARE(
        f.station.readSetting(posicao, QStringLiteral("WNDHIST_LEFT"), SettingInteger).toInt(), f.hist().pos().x());
}

QTEST_MAIN(TestTFormHistMSG)
#include "tst_tformhistmsg.moc"
