#include "namerules.h"

#include <QTest>

// The one rule behind the logon dialog, "Inserir Usuário" and the settings dialog.
class TestNameRules : public QObject
{
    Q_OBJECT

private slots:
    void typedCapitals_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("small letters") << QStringLiteral("ana maria") << QStringLiteral("ANA MARIA");
        QTest::newRow("capitals stay") << QStringLiteral("ANA") << QStringLiteral("ANA");
        QTest::newRow("a and z, the edges") << QStringLiteral("az`{@[") << QStringLiteral("AZ`{@[");
        QTest::newRow("accented letters as typed") << QStringLiteral("joão é") << QStringLiteral("JOãO é");
        QTest::newRow("digits and signs") << QStringLiteral("pc-01_x") << QStringLiteral("PC-01_X");
        QTest::newRow("forbidden characters are not this rule's") << QStringLiteral("a.b") << QStringLiteral("A.B");
        QTest::newRow("empty") << QString() << QString();
    }

    void typedCapitals()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QCOMPARE(NameRules::typedCapitals(typed), written);
        for (qsizetype i = 0; i < typed.size(); ++i)
            QCOMPARE(NameRules::typedCapital(typed.at(i)), written.at(i));
    }

    void withoutForbidden_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("clean");
        QTest::newRow("every forbidden character") << QStringLiteral("A.B'C(D)E[F]G|H") << QStringLiteral("ABCDEFGH");
        QTest::newRow("only forbidden") << QStringLiteral(".'()[]|") << QString();
        QTest::newRow("blanks and dashes kept") << QStringLiteral(" ANA-MARIA ") << QStringLiteral(" ANA-MARIA ");
        QTest::newRow("braces and slashes kept") << QStringLiteral("{A}/\\<B>") << QStringLiteral("{A}/\\<B>");
        QTest::newRow("letters untouched") << QStringLiteral("zé") << QStringLiteral("zé");
    }

    void withoutUnstorable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("clean");
        QTest::newRow("TAB and line breaks") << QStringLiteral("A\tB\r\nC") << QStringLiteral("ABC");
        QTest::newRow("forbidden and control together") << QStringLiteral("A.B\x01 C") << QStringLiteral("AB C");
    }

    void withoutUnstorable()
    {
        QFETCH(QString, name);
        QFETCH(QString, clean);
        QCOMPARE(NameRules::withoutUnstorable(name), clean);
    }

    void withoutForbidden()
    {
        QFETCH(QString, name);
        QFETCH(QString, clean);
        QCOMPARE(NameRules::withoutForbidden(name), clean);
        for (const QChar c : name)
            QCOMPARE(NameRules::isForbidden(c), !clean.contains(c));
    }
};

QTEST_GUILESS_MAIN(TestNameRules)
#include "tst_namerules.moc"
