#include "../communicator/treetext.h"
#include "ansi.h"
#include "fakeclock.h"
#include "frame.h"
#include "outgoingmessage.h"
#include "recipients.h"

#include <QTest>

namespace
{
const QString Me = QStringLiteral("ANA");

// The recipient list as the send window shows it; an entry written with a leading "-" is
// unticked.
QList<ListedRecipient> listOf(const QStringList& entries)
{
    QList<ListedRecipient> list;
    for (const QString& entry : entries) {
        const bool unticked = entry.startsWith(QLatin1Char('-'));
        list.append({ unticked ? entry.mid(1) : entry, !unticked });
    }
    return list;
}

// Each frame as "user computer frame".
QStringList framesOf(const OutgoingMessage& message)
{
    QStringList frames;
    for (const OutgoingMessage::Frame& frame : message.frames)
        frames.append(frame.user + QLatin1Char(' ') + frame.computer + QLatin1Char(' ') + frame.text);
    return frames;
}
} // namespace

// What "Enviar" sends, to whom, and what it says when nothing can go; worked out without a
// window or a station.
class TestOutgoingMessage final : public QObject
{
    Q_OBJECT

private slots:
    void plan_data();
    void plan();
    void sentText_data();
    void sentText();
    void recipients_data();
    void recipients();
    void tooltip_data();
    void tooltip();
};

void TestOutgoingMessage::plan_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("warning");

    const QStringList ticked { QStringLiteral("BRUNO (pc-b)") };
    const QStringList unticked { QStringLiteral("-BRUNO (pc-b)") };
    const QStringList none;
    const QString empty = QStringLiteral("Mensagem vazia!");
    const QString notChosen = QStringLiteral("Não foi selecionado destinatário!");
    const QString noneGiven = QStringLiteral("Não foi informado destinatário!");
    QTest::newRow("empty text, empty list") << QString() << none << none << noneGiven;
    QTest::newRow("text, empty list") << QStringLiteral("oi") << none << none << noneGiven;
    QTest::newRow("empty text, one ticked") << QString() << ticked << none << empty;
    QTest::newRow("blanks and line breaks only, one ticked") << QStringLiteral("  \n \t \n") << ticked << none << empty;
    QTest::newRow("text, none ticked") << QStringLiteral("oi") << unticked << none << notChosen;
    QTest::newRow("empty text, none ticked") << QString() << unticked << none << notChosen;
    QTest::newRow("text, the only entry names no computer")
        << QStringLiteral("oi") << QStringList { QStringLiteral("BRUNO") } << none << noneGiven;
    QTest::newRow("text, the only entry names every computer")
        << QStringLiteral("oi") << QStringList { QStringLiteral("BRUNO (*)") } << none << noneGiven;

    // FakeClock's time.
    const QString text = QStringLiteral("reunião às 15h");
    const QString frame = QStringLiteral("M[ANA|%1|071226143005|4]S[]D[reunião às 15h]");
    QTest::newRow("two of three ticked, one stamp")
        << text
        << QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("-CARLA (pc-c)"),
               QStringLiteral("DORA (pc-d)") }
        << QStringList { QStringLiteral("BRUNO pc-b ") + frame.arg(QStringLiteral("BRUNO")),
               QStringLiteral("DORA pc-d ") + frame.arg(QStringLiteral("DORA")) }
        << QString();
    QTest::newRow("entries without a computer, or for all of them, passed over")
        << text << QStringList { QStringLiteral("BRUNO"), QStringLiteral("BRUNO (*)"), QStringLiteral("CARLA (pc-c)") }
        << QStringList { QStringLiteral("CARLA pc-c ") + frame.arg(QStringLiteral("CARLA")) } << QString();
}

void TestOutgoingMessage::plan()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, frames);
    QFETCH(QString, warning);
    const FakeClock clock;
    const OutgoingMessage message = OutgoingMessage::plan(text, listOf(entries), FrameFace::Alegre, Me, clock);
    QCOMPARE(framesOf(message), frames);
    QCOMPARE(message.sent(), !frames.isEmpty());
    QCOMPARE(message.warning, warning);
    if (message.sent())
        QCOMPARE(message.stamp, FrameTimestamp(clock));
}

void TestOutgoingMessage::sentText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("warning"); // shown before sending
    QTest::addColumn<QString>("sent");
    QTest::newRow("lines joined, ends trimmed")
        << QStringLiteral("  olá\nmundo  ") << QString() << QStringLiteral("olá mundo");
    QTest::newRow("empty line keeps its blank") << QStringLiteral("a\n\nb") << QString() << QStringLiteral("a  b");
    QTest::newRow("trailing line breaks") << QStringLiteral("fim\n\n\n") << QString() << QStringLiteral("fim");
    QTest::newRow("markup stays text") << QStringLiteral("<b>oi</b> &amp;") << QString()
                                       << QStringLiteral("<b>oi</b> &amp;");
    // Pasted, not typed: the frame still cannot be split by them.
    QTest::newRow("frame delimiters pasted") << QStringLiteral("a]D[b|c") << QString() << QStringLiteral("aDbc");
    QTest::newRow("characters Windows-1252 lacks")
        << QStringLiteral("ok ✓ Жж 😀 ✓ ç?") << QStringLiteral("Serão enviados como \"?\": ✓ Ж ж 😀")
        << QStringLiteral("ok ? ?? ?? ? ç?");
}

void TestOutgoingMessage::sentText()
{
    QFETCH(QString, typed);
    QFETCH(QString, warning);
    QFETCH(QString, sent);
    QCOMPARE(OutgoingMessage::lostCharactersWarning(typed), warning);
    const OutgoingMessage message
        = OutgoingMessage::plan(typed, listOf({ QStringLiteral("BRUNO (pc-b)") }), 5, Me, FakeClock());
    QCOMPARE(message.frames.size(), 1);
    // As it travels: in Windows-1252.
    TDados frame;
    ParseFrame(Ansi::decode(Ansi::encode(message.frames.first().text)), frame, FakeClock());
    QVERIFY(frame.Valid);
    QCOMPARE(frame.MessageText.size(), sent.size());
    QCOMPARE(frame.MessageText, sent);
}

void TestOutgoingMessage::recipients_data()
{
    QTest::addColumn<QString>("tree"); // the visible tree
    QTest::addColumn<QString>("chosen"); // an entry or a group; empty: "Enviar para Todos"
    QTest::addColumn<QStringList>("recipients");
    const QString tree = QStringLiteral("BRUNO (pc-x)\nVendas\n\tBRUNO (pc-b)\n\tCARLA (pc-d)\n\tBRUNO (pc-c)\n"
                                        "Suporte\n\tBRUNO (pc-e)\nBRUNO (pc-y)\nBRUNINHO (pc-z)\nVazio");
    QTest::newRow("entry in a group, with its namesakes there")
        << tree << QStringLiteral("BRUNO (pc-b)")
        << QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("BRUNO (pc-c)") };
    QTest::newRow("free entry, with its free namesakes")
        << tree << QStringLiteral("BRUNO (pc-y)")
        << QStringList { QStringLiteral("BRUNO (pc-y)"), QStringLiteral("BRUNO (pc-x)") };
    QTest::newRow("entry alone") << tree << QStringLiteral("CARLA (pc-d)")
                                 << QStringList { QStringLiteral("CARLA (pc-d)") };
    QTest::newRow("group, its entries in tree order")
        << tree << QStringLiteral("Vendas")
        << QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("CARLA (pc-d)"),
               QStringLiteral("BRUNO (pc-c)") };
    QTest::newRow("empty group") << tree << QStringLiteral("Vazio") << QStringList();
    QTest::newRow("group: its entries without marker, nothing else")
        << QStringLiteral("Vendas\n\t.BRUNO (pc-b)\n\tSub\n\t'CARLA (pc-d)") << QStringLiteral("Vendas")
        << QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("CARLA (pc-d)") };
    QTest::newRow("everyone shown, in tree order")
        << QStringLiteral("BRUNO (pc-x)\nVendas\n\tCARLA (pc-d)\nDORA (pc-f)") << QString()
        << QStringList { QStringLiteral("BRUNO (pc-x)"), QStringLiteral("CARLA (pc-d)"),
               QStringLiteral("DORA (pc-f)") };
}

void TestOutgoingMessage::recipients()
{
    QFETCH(QString, tree);
    QFETCH(QString, chosen);
    QFETCH(QStringList, recipients);
    const UserTree visible = TreeText::treeOf(tree);
    if (chosen.isEmpty()) {
        QCOMPARE(Recipients::everyoneShown(visible), recipients);
        return;
    }
    const UserTreeNode* node = TreeText::find(visible, chosen);
    QVERIFY(node);
    QCOMPARE(node->isUserEntry() ? Recipients::forEntry(visible, *node) : Recipients::forGroup(*node), recipients);
}

void TestOutgoingMessage::tooltip_data()
{
    QTest::addColumn<QStringList>("list"); // in list order
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("nobody") << QStringList { QStringLiteral("-ANA (pc-a)") } << QString();
    QTest::newRow("one") << QStringList { QStringLiteral("ANA (pc-a)") } << QStringLiteral("Destino:\nANA");
    QTest::newRow("unticked left out") << QStringList { QStringLiteral("ANA (pc-a)"), QStringLiteral("-BRUNO (pc-b)"),
        QStringLiteral("CARLA (pc-c)") }
                                       << QStringLiteral("Destino:\nANA,\nCARLA");
    QTest::newRow("same user on two computers") << QStringList { QStringLiteral("BRUNO (pc-b)"),
        QStringLiteral("BRUNO (pc-c)") } << QStringLiteral("Destino:\nBRUNO");
    // RUNO comes after BRUNO in the list and is found inside it.
    QTest::newRow("name inside an earlier name") << QStringList { QStringLiteral("BRUNO (pc-b)"),
        QStringLiteral("RUNO (pc-r)") } << QStringLiteral("Destino:\nBRUNO");
    QTest::newRow("name inside a name further up")
        << QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("CARLA (pc-c)"), QStringLiteral("RUNO (pc-r)") }
        << QStringLiteral("Destino:\nBRUNO,\nCARLA");
    QTest::newRow("earlier name inside a later one") << QStringList { QStringLiteral("ANA (pc-a)"),
        QStringLiteral("MARIANA (pc-m)") } << QStringLiteral("Destino:\nANA,\nMARIANA");
}

void TestOutgoingMessage::tooltip()
{
    QFETCH(QStringList, list);
    QFETCH(QString, tooltip);
    QCOMPARE(Recipients::tooltip(listOf(list)), tooltip);
}

QTEST_GUILESS_MAIN(TestOutgoingMessage)
#include "tst_outgoingmessage.moc"
