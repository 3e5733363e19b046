#include "ansi.h"

#include <QTest>

class TestAnsi : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        QCOMPARE(Ansi::encode(Ansi::decode(all)), all);
    }

    void characters_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("euro") << QByteArray("\x80") << QStringLiteral("\u20AC");
        QTest::newRow("accented") << QByteArray("S\xE3o Jo\xE3o") << QStringLiteral("S\u00E3o Jo\u00E3o");
        QTest::newRow("quotes") << QByteArray("\x93x\x94") << QStringLiteral("\u201Cx\u201D");
        QTest::newRow("unassigned 0x81") << QByteArray("\x81") << QStringLiteral("\u0081");
    }
    void characters()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(Ansi::decode(bytes), text);
        QCOMPARE(Ansi::encode(text), bytes);
    }

    void unencodableBecomesQuestionMark() { QCOMPARE(Ansi::encode(QStringLiteral("a\u4E2Db")), QByteArray("a?b")); }

    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        using L = QList<QByteArray>;
        QTest::newRow("empty") << QByteArray() << L {};
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << L { "a", "b" };
        QTest::newRow("mixed ends") << QByteArray("a\rb\nc\r\nd") << L { "a", "b", "c", "d" };
        QTest::newRow("empty lines kept") << QByteArray("a\r\n\r\nb") << L { "a", "", "b" };
        QTest::newRow("lf cr is two ends") << QByteArray("a\n\rb") << L { "a", "", "b" };
        QTest::newRow("lone end") << QByteArray("\r\n") << L { "" };
    }
    void splitLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        QCOMPARE(Ansi::splitLines(bytes), lines);
    }
};

QTEST_GUILESS_MAIN(TestAnsi)
#include "tst_ansi.moc"
