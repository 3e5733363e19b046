#include "historyfiles.h"
#include "temphome.h"

#include <QProcess>
#include <QTest>

namespace
{
struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList& args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("America/Sao_Paulo"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(COLLOQUA_CLI_PATH), args);
    if (!process.waitForFinished(30000))
        process.kill();
    return Run { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        process.readAllStandardOutput(), process.readAllStandardError() };
}

// The output lines with the ParsedAt line (the time of the run) checked and left out.
QList<QByteArray> withoutParsedAt(const QByteArray& out)
{
    QList<QByteArray> lines = out.split('\n');
    QList<QByteArray> kept;
    for (const QByteArray& line : lines) {
        if (line.startsWith("ParsedAt=")) {
            const QByteArray value = line.mid(9);
            if (value.size() != 19 || value[4] != '-' || value[10] != ' ' || value[13] != ':')
                return { "bad ParsedAt: " + line };
            continue;
        }
        kept.append(line);
    }
    return kept;
}
} // namespace

class TestCliFrameHistory : public QObject
{
    Q_OBJECT

private slots:
    void frame_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("fields");
        QTest::newRow("text message") << QStringLiteral("M[ANA|JOAO|070512143005|3]S[]D[Bom dia]")
                                      << QByteArray(
                                             "SenderComputer=\nFromUser=ANA\nToUser=JOAO\nSentAt=2012-05-07 "
                                             "14:30:05\nFaceIndex=3\nCommand=\nMessageText=Bom dia\nValid=true\n");
        QTest::newRow("bad stamp") << QStringLiteral("M[ANA|JOAO|310212143005|1]S[]D[x]")
                                   << QByteArray("SenderComputer=\nFromUser=ANA\nToUser=JOAO\nSentAt=0\nFaceIndex="
                                                 "1\nCommand=\nMessageText=x\nValid=false\n");
        QTest::newRow("not a frame") << QStringLiteral("hello")
                                     << QByteArray(
                                            "SenderComputer=\nFromUser=\nToUser=\nSentAt=0\nFaceIndex=5\nCommand="
                                            "\nMessageText=\nValid=false\n");
        QTest::newRow("controls escaped")
            << QStringLiteral("M[A|B|070512143005|1]S[]D[a\nb\x1b[2J\\]")
            << QByteArray("SenderComputer=\nFromUser=A\nToUser=B\nSentAt=2012-05-07 "
                          "14:30:05\nFaceIndex=1\nCommand=\nMessageText=a\\x0ab\\x1b[2J\\\\"
                          "\nValid=true\n");
        QTest::newRow("accented text") << QStringLiteral("M[JOSÉ||070512143005|9]S[USR_ON]D[]")
                                       << QByteArray(
                                              "SenderComputer=\nFromUser=JOS\xc3\x89\nToUser=\nSentAt=2012-05-07 "
                                              "14:30:05\nFaceIndex=9\nCommand=USR_ON\nMessageText=\nValid=true\n");
    }
    void frame()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, fields);
        const Run run = runCli({ QStringLiteral("frame"), text });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(withoutParsedAt(run.out), fields.split('\n'));
        // ParsedAt comes fifth, right after SentAt.
        QVERIFY(run.out.split('\n').value(4).startsWith("ParsedAt="));
    }

    void history()
    {
        const TempHome temp;
        // Two good records, one with a NUL byte and a high byte, a last line without its end.
        temp.write(QStringLiteral("Dados/hist_recv.dbt"),
            QByteArray("N[ZMZ|QLZL|070512143005|3]H[]W[Yln wrz \x80]\r\n"
                       "N[ZMZ||070512143005|9]H[FHI_LM]W[]\r\n")
                + QByteArray("\x00\x81", 2) + "tziyztv");
        const QString path = temp.file(QStringLiteral("Dados/hist_recv.dbt"));

        Run run = runCli({ QStringLiteral("history"), path });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out,
            QByteArray("M[ANA|JOAO|070512143005|3]S[]D[Bom dia \xe2\x82\xac]\n"
                       "M[ANA||070512143005|9]S[USR_ON]D[]\n"
                       "\\x00\\x81garbage\n"));

        run = runCli({ QStringLiteral("history"), QStringLiteral("--fields"), path });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(withoutParsedAt(run.out),
            QByteArray("SenderComputer=\nFromUser=ANA\nToUser=JOAO\nSentAt=2012-05-07 14:30:05\nFaceIndex=3\nCommand=\n"
                       "MessageText=Bom dia \xe2\x82\xac\nValid=true\n\n"
                       "SenderComputer=\nFromUser=ANA\nToUser=\nSentAt=2012-05-07 14:30:05\nFaceIndex=9\n"
                       "Command=USR_ON\nMessageText=\nValid=true\n\n"
                       "SenderComputer=\nFromUser=\nToUser=\nSentAt=0\nFaceIndex=5\nCommand=\nMessageText=\n"
                       "Valid=false\n\n")
                .split('\n'));
    }

    void historyShowsDeliveryMarks()
    {
        const TempHome temp;
        temp.home().ensureDataDir();
        const QString sent = temp.file(QStringLiteral("Dados/hist_send.dbt"));
        const QStringList records { QStringLiteral("M[ANA|BRUNO|070512143000|5]S[]D[um]"),
            QStringLiteral("M[ANA|BRUNO|070512143500|5]S[]D[dois]"),
            QStringLiteral("M[ANA|CARLA|070512143600|5]S[]D[tres]"),
            QStringLiteral("M[ANA|BRUNO|070512143700|9]S[USR_ON]D[]") };
        for (const QString& record : records)
            HistoryFiles::AppendHistoryLine(sent, record, true, false);
        HistoryFiles::AppendHistoryLine(temp.file(QStringLiteral("Dados/hist_recv.dbt")),
            QStringLiteral("M[BRUNO|ANA|070512143001|9]S[ACK_MSG_070512143000]D[]"), true, false);

        Run run = runCli({ QStringLiteral("history"), sent });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QString::fromUtf8(run.out),
            records.at(0) + QStringLiteral("\tentregue\n") + records.at(1) + QStringLiteral("\tnão confirmada\n")
                + records.at(2) + QLatin1Char('\n') + records.at(3) + QLatin1Char('\n'));
        run = runCli({ QStringLiteral("history"), QStringLiteral("--fields"), sent });
        QCOMPARE(run.out.count("Entrega="), 2);
        QVERIFY(run.out.contains("MessageText=um\nValid=true\nEntrega=entregue\n\n"));

        // Turned off at the station, as its history window would show them.
        temp.write(QStringLiteral("colloqua.ini"), "[ENVIAR]\r\nCONFIRMAR_ENTREGA=0\r\n");
        run = runCli({ QStringLiteral("history"), sent });
        QCOMPARE(QString::fromUtf8(run.out), records.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    }

    void emptyHistoryPrintsNothing()
    {
        const TempHome temp;
        temp.write(QStringLiteral("Dados/hist_send.dbt"), QByteArray());
        const Run run = runCli({ QStringLiteral("history"), temp.file(QStringLiteral("Dados/hist_send.dbt")) });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestCliFrameHistory)
#include "tst_cli_frame_history.moc"
