#include "fakeclock.h"
#include "frame.h"
#include "presence.h"

#include <QRandomGenerator>
#include <QTest>

#include <ctime>

namespace
{
const QString NoTime = QStringLiteral("0");

QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : NoTime;
}
} // namespace

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Stamps are local time; fix a zone that had daylight-saving changes at midnight.
        qputenv("TZ", "America/Sao_Paulo");
        tzset();
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fromUser");
        QTest::addColumn<QString>("toUser");
        QTest::addColumn<QString>("sentAt");
        QTest::addColumn<int>("face");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("messageText");
        QTest::addColumn<bool>("valid");

        const QString ana = QStringLiteral("ANA");
        const QString joao = QStringLiteral("JOAO");
        const QString may7 = QStringLiteral("2012-05-07 14:30:05");
        const QString none;

        // The frame kinds as stations send them.
        QTest::newRow("text message") << QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[Bom dia]") << ana << joao
                                      << may7 << 3 << none << QStringLiteral("Bom dia") << true;
        QTest::newRow("broadcast announcement") << QStringLiteral("M[ANA||070512143005|9]S[USR_ON]D[]") << ana << none
                                                << may7 << 9 << QStringLiteral("USR_ON") << none << true;
        QTest::newRow("acknowledgement") << QStringLiteral("M[ANA|JOAO|070512143005|9]S[ACK_USR_OC]D[]") << ana << joao
                                         << may7 << 9 << QStringLiteral("ACK_USR_OC") << none << true;
        QTest::newRow("accented text and euro")
            << QStringLiteral("M[JOSÉ|ANA|070512143005|4]S[]D[Olá, € 5]") << QStringLiteral("JOSÉ") << ana << may7 << 4
            << none << QStringLiteral("Olá, € 5") << true;
        QTest::newRow("untrimmed line end") << QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[x]\r\n") << ana << joao
                                            << may7 << 3 << none << QStringLiteral("x") << true;

        // A short M section ends successfully at the first missing "|".
        QTest::newRow("M without bars") << QStringLiteral("M[ANA]S[USR_ON]D[]") << none << none << NoTime << 5
                                        << QStringLiteral("USR_ON") << none << true;
        QTest::newRow("M with one bar") << QStringLiteral("M[ANA|JOAO]S[]D[]") << ana << none << NoTime << 5 << none
                                        << none << true;
        QTest::newRow("M without face") << QStringLiteral("M[ANA|JOAO|070512143005]S[]D[]") << ana << joao << NoTime
                                        << 5 << none << none << true;
        QTest::newRow("empty M") << QStringLiteral("M[]S[]D[]") << none << none << NoTime << 5 << none << none << true;

        // Face.
        QTest::newRow("face missing after bar") << QStringLiteral("M[ANA|JOAO|070512143005|]S[]D[x]") << ana << joao
                                                << may7 << 5 << none << QStringLiteral("x") << false;
        QTest::newRow("face of two digits") << QStringLiteral("M[ANA|JOAO|070512143005|12]S[]D[x]") << ana << joao
                                            << may7 << 1 << none << QStringLiteral("x") << true;
        QTest::newRow("face not a digit") << QStringLiteral("M[ANA|JOAO|070512143005|a]S[]D[x]") << ana << joao << may7
                                          << 5 << none << QStringLiteral("x") << false;
        QTest::newRow("face negative") << QStringLiteral("M[ANA|JOAO|070512143005|-1]S[]D[x]") << ana << joao << may7
                                       << 5 << none << QStringLiteral("x") << false;
        QTest::newRow("face non-ASCII digit") << QStringLiteral("M[ANA|JOAO|070512143005|\u0663]S[]D[x]") << ana << joao
                                              << may7 << 5 << none << QStringLiteral("x") << false;

        // Stamp: exactly twelve ASCII digits of a real local date and time; more is ignored.
        QTest::newRow("impossible day") << QStringLiteral("M[ANA|JOAO|310212143005|1]S[]D[x]") << ana << joao << NoTime
                                        << 1 << none << QStringLiteral("x") << false;
        QTest::newRow("leap day") << QStringLiteral("M[ANA|JOAO|290212000000|1]S[]D[x]") << ana << joao
                                  << QStringLiteral("2012-02-29 00:00:00") << 1 << none << QStringLiteral("x") << true;
        QTest::newRow("leap day of a common year") << QStringLiteral("M[ANA|JOAO|290213000000|1]S[]D[x]") << ana << joao
                                                   << NoTime << 1 << none << QStringLiteral("x") << false;
        QTest::newRow("month 13") << QStringLiteral("M[ANA|JOAO|071312143005|1]S[]D[x]") << ana << joao << NoTime << 1
                                  << none << QStringLiteral("x") << false;
        QTest::newRow("day 00") << QStringLiteral("M[ANA|JOAO|000512143005|1]S[]D[x]") << ana << joao << NoTime << 1
                                << none << QStringLiteral("x") << false;
        QTest::newRow("hour 24") << QStringLiteral("M[ANA|JOAO|070512243005|1]S[]D[x]") << ana << joao << NoTime << 1
                                 << none << QStringLiteral("x") << false;
        QTest::newRow("second 60") << QStringLiteral("M[ANA|JOAO|070512143060|1]S[]D[x]") << ana << joao << NoTime << 1
                                   << none << QStringLiteral("x") << false;
        QTest::newRow("stamp too short") << QStringLiteral("M[ANA|JOAO|0705121430|1]S[]D[x]") << ana << joao << NoTime
                                         << 1 << none << QStringLiteral("x") << false;
        QTest::newRow("stamp empty") << QStringLiteral("M[ANA|JOAO||1]S[]D[x]") << ana << joao << NoTime << 1 << none
                                     << QStringLiteral("x") << false;
        QTest::newRow("stamp with a letter") << QStringLiteral("M[ANA|JOAO|07051214300x|1]S[]D[x]") << ana << joao
                                             << NoTime << 1 << none << QStringLiteral("x") << false;
        QTest::newRow("stamp with a sign") << QStringLiteral("M[ANA|JOAO|+70512143005|1]S[]D[x]") << ana << joao
                                           << NoTime << 1 << none << QStringLiteral("x") << false;
        QTest::newRow("stamp with a blank") << QStringLiteral("M[ANA|JOAO| 70512143005|1]S[]D[x]") << ana << joao
                                            << NoTime << 1 << none << QStringLiteral("x") << false;
        QTest::newRow("stamp longer than twelve") << QStringLiteral("M[ANA|JOAO|07051214300599|1]S[]D[x]") << ana
                                                  << joao << may7 << 1 << none << QStringLiteral("x") << true;
        QTest::newRow("local time skipped by daylight saving")
            << QStringLiteral("M[ANA|JOAO|041118003000|1]S[]D[x]") << ana << joao
            << QStringLiteral("2018-11-04 00:30:00") << 1 << none << QStringLiteral("x") << true;
        QTest::newRow("year 2099") << QStringLiteral("M[ANA|JOAO|311299235959|1]S[]D[x]") << ana << joao
                                   << QStringLiteral("2099-12-31 23:59:59") << 1 << none << QStringLiteral("x") << true;

        // Missing sections: the others are still taken.
        QTest::newRow("no M section") << QStringLiteral("S[USR_ON]D[oi]") << none << none << NoTime << 5
                                      << QStringLiteral("USR_ON") << QStringLiteral("oi") << false;
        QTest::newRow("M never closed") << QStringLiteral("M[ANA|JOAO") << none << none << NoTime << 5 << none << none
                                        << false;
        QTest::newRow("M closed by the S bracket") << QStringLiteral("M[ANA|JOAO|070512143005|3S[USR_ON]D[]") << ana
                                                   << joao << may7 << 3 << none << none << false;
        QTest::newRow("no S section") << QStringLiteral("M[ANA|JOAO|070512143005|3]D[x]") << ana << joao << may7 << 3
                                      << none << QStringLiteral("x") << false;
        QTest::newRow("no D section") << QStringLiteral("M[ANA|JOAO|070512143005|3]S[USR_ON]") << ana << joao << may7
                                      << 3 << QStringLiteral("USR_ON") << none << false;
        QTest::newRow("D never closed") << QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[abc") << ana << joao << may7
                                        << 3 << none << none << false;
        QTest::newRow("empty text") << QString() << none << none << NoTime << 5 << none << none << false;
        QTest::newRow("lower-case section names") << QStringLiteral("m[ANA|JOAO|070512143005|3]s[]d[x]") << none << none
                                                  << NoTime << 5 << none << none << false;

        // Foreign frames: leftmost sections, first "]" after each.
        QTest::newRow("bracket inside the text") << QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[a]b]") << ana << joao
                                                 << may7 << 3 << none << QStringLiteral("a") << true;
        QTest::newRow("S opener inside the text") << QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[S[x]") << ana
                                                  << joao << may7 << 3 << none << QStringLiteral("S[x") << true;
        QTest::newRow("D opener inside the command")
            << QStringLiteral("M[ANA|JOAO|070512143005|3]S[D[x]]D[y]") << ana << joao << may7 << 3
            << QStringLiteral("D[x") << QStringLiteral("y") << true;
        QTest::newRow("sections in reverse order") << QStringLiteral("D[oi]S[]M[ANA|JOAO|070512143005|3]") << ana
                                                   << joao << may7 << 3 << none << QStringLiteral("oi") << true;
        QTest::newRow("text before the frame") << QStringLiteral("xyzM[ANA|JOAO|070512143005|3]S[]D[oi]") << ana << joao
                                               << may7 << 3 << none << QStringLiteral("oi") << true;
        QTest::newRow("extra bars after the face") << QStringLiteral("M[ANA|JOAO|070512143005|3|X|Y]S[]D[]") << ana
                                                   << joao << may7 << 3 << none << none << true;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, fromUser);
        QFETCH(QString, toUser);
        QFETCH(QString, sentAt);
        QFETCH(int, face);
        QFETCH(QString, command);
        QFETCH(QString, messageText);
        QFETCH(bool, valid);

        const FakeClock clock(QDateTime(QDate(2026, 3, 9), QTime(8, 15, 0)));
        TDados frame;
        ParseFrame(text, frame, clock);
        QCOMPARE(frame.SenderComputer, QString());
        QCOMPARE(frame.FromUser, fromUser);
        QCOMPARE(frame.ToUser, toUser);
        QCOMPARE(timeText(frame.SentAt), sentAt);
        QCOMPARE(frame.ParsedAt, clock.now());
        QCOMPARE(frame.FaceIndex, face);
        QCOMPARE(frame.Command, command);
        QCOMPARE(frame.MessageText, messageText);
        QCOMPARE(frame.Valid, valid);
    }

    // A record is reused for every datagram: nothing of the previous frame may survive.
    void parseClearsEveryField()
    {
        const FakeClock clock;
        TDados frame;
        frame.SenderComputer = QStringLiteral("pc01");
        ParseFrame(QStringLiteral("M[ANA|JOAO|070512143005|3]S[USR_ON]D[oi]"), frame, clock);
        QVERIFY(frame.Valid);
        frame.SenderComputer = QStringLiteral("pc01");
        ParseFrame(QStringLiteral("garbage"), frame, clock);
        QCOMPARE(frame.SenderComputer, QString());
        QCOMPARE(frame.FromUser, QString());
        QCOMPARE(frame.ToUser, QString());
        QVERIFY(!frame.SentAt.isValid());
        QCOMPARE(frame.FaceIndex, FrameFace::Default);
        QCOMPARE(frame.Command, QString());
        QCOMPARE(frame.MessageText, QString());
        QVERIFY(!frame.Valid);
    }

    void timestamp_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("3 Feb 2009 09:05:07")
            << QDateTime(QDate(2009, 2, 3), QTime(9, 5, 7)) << QStringLiteral("030209090507");
        QTest::newRow("first second of 2000")
            << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)) << QStringLiteral("010100000000");
        QTest::newRow("last second of 2099")
            << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)) << QStringLiteral("311299235959");
        QTest::newRow("1999 keeps two digits")
            << QDateTime(QDate(1999, 7, 4), QTime(12, 0, 0)) << QStringLiteral("040799120000");
        QTest::newRow("milliseconds dropped")
            << QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5, 999)) << QStringLiteral("071226143005");
        QTest::newRow("UTC clock shown in local time")
            << QDateTime(QDate(2026, 1, 1), QTime(2, 0, 0), Qt::UTC) << QStringLiteral("311225230000");
    }
    void timestamp()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, stamp);
        const FakeClock clock(now);
        QCOMPARE(FrameTimestamp(clock), stamp);
    }

    void builders_data()
    {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("toUser");
        QTest::addColumn<int>("face");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("messageText");

        const QString me = QStringLiteral("ANA");
        const QString stamp = QStringLiteral("030209090507");
        QTest::newRow("text") << BuildTextFrame(me, QStringLiteral("JOAO"), stamp, 3, QStringLiteral("Bom dia"))
                              << QStringLiteral("M[ANA|JOAO|030209090507|3]S[]D[Bom dia]") << QStringLiteral("JOAO")
                              << 3 << QString() << QStringLiteral("Bom dia");
        QTest::newRow("text on two lines")
            << BuildTextFrame(me, QStringLiteral("JOAO"), stamp, 5, QStringLiteral("Oi\r\ntudo bem"))
            << QStringLiteral("M[ANA|JOAO|030209090507|5]S[]D[Oi tudo bem]") << QStringLiteral("JOAO") << 5 << QString()
            << QStringLiteral("Oi tudo bem");
        QTest::newRow("text with grammar characters")
            << BuildTextFrame(me, QStringLiteral("JOAO"), stamp, 0, QStringLiteral("a]b[c|d"))
            << QStringLiteral("M[ANA|JOAO|030209090507|0]S[]D[abcd]") << QStringLiteral("JOAO") << 0 << QString()
            << QStringLiteral("abcd");
        QTest::newRow("face out of range") << BuildTextFrame(me, QStringLiteral("JOAO"), stamp, 12, QStringLiteral("x"))
                                           << QStringLiteral("M[ANA|JOAO|030209090507|5]S[]D[x]")
                                           << QStringLiteral("JOAO") << 5 << QString() << QStringLiteral("x");
        QTest::newRow("presence") << BuildPresenceFrame(me, stamp, QStringLiteral("AU"))
                                  << QStringLiteral("M[ANA||030209090507|9]S[USR_AU]D[]") << QString() << 9
                                  << QStringLiteral("USR_AU") << QString();
        QTest::newRow("status change") << BuildStatusFrame(me, QStringLiteral("JOAO"), stamp, QStringLiteral("OC"))
                                       << QStringLiteral("M[ANA|JOAO|030209090507|9]S[USR_OC]D[]")
                                       << QStringLiteral("JOAO") << 9 << QStringLiteral("USR_OC") << QString();
        QTest::newRow("acknowledgement") << BuildAckFrame(me, QStringLiteral("JOAO"), stamp, QStringLiteral("IN"))
                                         << QStringLiteral("M[ANA|JOAO|030209090507|9]S[ACK_USR_IN]D[]")
                                         << QStringLiteral("JOAO") << 9 << QStringLiteral("ACK_USR_IN") << QString();
        QTest::newRow("logoff") << BuildLogoffFrame(me, stamp) << QStringLiteral("M[ANA||030209090507|9]S[USR_OF]D[]")
                                << QString() << 9 << QStringLiteral("USR_OF") << QString();
        // A control frame to stations without receipts: no presence command, no text.
        QTest::newRow("delivery receipt")
            << BuildReceiptFrame(me, QStringLiteral("JOAO"), stamp, QStringLiteral("070512143005"))
            << QStringLiteral("M[ANA|JOAO|030209090507|9]S[ACK_MSG_070512143005]D[]") << QStringLiteral("JOAO") << 9
            << QStringLiteral("ACK_MSG_070512143005") << QString();
    }
    void builders()
    {
        QFETCH(QString, built);
        QFETCH(QString, expected);
        QFETCH(QString, toUser);
        QFETCH(int, face);
        QFETCH(QString, command);
        QFETCH(QString, messageText);
        QCOMPARE(built, expected);

        // What is built parses back to what was meant.
        TDados frame;
        ParseFrame(built, frame, FakeClock());
        QVERIFY(frame.Valid);
        QCOMPARE(frame.FromUser, QStringLiteral("ANA"));
        QCOMPARE(frame.ToUser, toUser);
        QCOMPARE(frame.SentAt, QDateTime(QDate(2009, 2, 3), QTime(9, 5, 7)));
        QCOMPARE(frame.FaceIndex, face);
        QCOMPARE(frame.Command, command);
        QCOMPARE(frame.MessageText, messageText);
    }

    void presenceCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("index"); // -1: not a presence code
        const char* const codes[] = { "ON", "AU", "OC", "IN", "OF" };
        for (int index = 0; index < 5; ++index)
            QTest::newRow(codes[index]) << QString::fromLatin1(codes[index]) << index;
        QTest::newRow("lower case") << "of" << -1;
        QTest::newRow("unknown") << "XX" << -1;
        QTest::newRow("blank around") << " ON" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void presenceCodes()
    {
        QFETCH(QString, code);
        QFETCH(int, index);
        const std::optional<Presence> status = PresenceFromCode(code);
        QCOMPARE(status ? PresenceIndex(*status) : -1, index);
        if (status)
            QCOMPARE(PresenceCode(*status), code);
    }

    void receiptStamp_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("receipt");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("well formed") << "ACK_MSG_070512143005" << true << "070512143005";
        QTest::newRow("stamp too short") << "ACK_MSG_0705121430" << true << "";
        QTest::newRow("stamp too long") << "ACK_MSG_07051214300599" << true << "";
        QTest::newRow("impossible date") << "ACK_MSG_310212143005" << true << "";
        QTest::newRow("acknowledgement") << "ACK_USR_ON" << false << "";
        QTest::newRow("lower case") << "ack_msg_070512143005" << false << "";
    }
    void receiptStamp()
    {
        QFETCH(QString, command);
        QFETCH(bool, receipt);
        QFETCH(QString, stamp);
        QCOMPARE(IsReceiptCommand(command), receipt);
        QCOMPARE(ReceiptStamp(command), stamp);
        if (!stamp.isEmpty())
            QCOMPARE(FrameStamp(StampDateTime(stamp)), stamp);
    }

    void messageText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("CR LF") << QStringLiteral("Oi\r\ntudo bem") << QStringLiteral("Oi tudo bem");
        QTest::newRow("LF") << QStringLiteral("Oi\ntudo bem") << QStringLiteral("Oi tudo bem");
        QTest::newRow("CR") << QStringLiteral("Oi\rtudo bem") << QStringLiteral("Oi tudo bem");
        QTest::newRow("final line end") << QStringLiteral("Oi\r\n") << QStringLiteral("Oi");
        QTest::newRow("empty line kept as a blank") << QStringLiteral("Oi\r\n\r\ntudo") << QStringLiteral("Oi  tudo");
        QTest::newRow("brackets and bars dropped") << QStringLiteral("[a]|b") << QStringLiteral("ab");
        QTest::newRow("blanks kept") << QStringLiteral("  a  ") << QStringLiteral("  a  ");
    }
    void messageText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        QCOMPARE(FrameMessageText(typed), sent);
    }

    void trim_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("kept");
        QTest::newRow("line end") << QStringLiteral("M[A]S[]D[]\r\n") << QStringLiteral("M[A]S[]D[]");
        QTest::newRow("blanks and controls")
            << QStringLiteral(" \t\x01M[A]S[]D[a b] \0\r\n") << QStringLiteral("M[A]S[]D[a b]");
        QTest::newRow("nothing but blanks") << QStringLiteral(" \r\n\t") << QString();
        QTest::newRow("no-break space kept") << QStringLiteral("\u00a0x\u00a0") << QStringLiteral("\u00a0x\u00a0");
    }
    void trim()
    {
        QFETCH(QString, received);
        QFETCH(QString, kept);
        QCOMPARE(TrimFrameText(received), kept);
    }

    // Any text is parsed without harm, and what is reported is always within its range.
    void anyTextIsSafe()
    {
        const FakeClock clock;
        QRandomGenerator random(20260307);
        const QString alphabet = QStringLiteral("MSD[]|0123456789AZaz \r\n\t\u0000\u0080\u00e9\u20ac\ufffd");
        TDados frame;
        for (int round = 0; round < 20000; ++round) {
            QString text;
            const int length = random.bounded(40);
            for (int i = 0; i < length; ++i)
                text += alphabet[random.bounded(int(alphabet.size()))];
            ParseFrame(text, frame, clock);
            QVERIFY2(frame.FaceIndex >= 0 && frame.FaceIndex <= 9, qPrintable(text));
            QVERIFY2(!frame.SentAt.isValid() || frame.SentAt.date().year() >= 2000, qPrintable(text));
            QVERIFY2(frame.Command.size() <= text.size() && frame.MessageText.size() <= text.size(), qPrintable(text));
        }
        // Every prefix of a good frame, and lone surrogates.
        const QString good = QStringLiteral("M[ANA|JOAO|070512143005|3]S[USR_ON]D[Bom dia]");
        for (qsizetype i = 0; i <= good.size(); ++i)
            ParseFrame(good.left(i), frame, clock);
        QVERIFY(frame.Valid);
        ParseFrame(QString(QChar(0xD800)) + good + QChar(0xDC00), frame, clock);
        QVERIFY(frame.Valid);
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
