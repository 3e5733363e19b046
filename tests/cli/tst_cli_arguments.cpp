#include "command.h"
#include "temphome.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

// How colloqua-cli reads its arguments and what it says about wrong ones, run in this process
// (runCli). Runs that need the program itself (the network, signals, its exit) start it in the
// other tests of this folder.
namespace
{
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    CliStreams io { out, err };
    run.exitCode = runCli(args, io);
    out.flush();
    err.flush();
    return run;
}

// %HOME% is a fresh station home, %LOOP% the network flags but the channel.
QStringList words(const QString& text, const QString& home)
{
    QString expanded = text;
    expanded.replace(QLatin1String("%NET%"), QLatin1String("--channel TESTE %LOOP%"))
        .replace(QLatin1String("%LOOP%"),
            QLatin1String("--computer PCA --address 127.0.0.1 --port 45138 --broadcast 127.255.255.255"))
        .replace(QLatin1String("%HOME%"), home);
    return expanded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
} // namespace

class TestCliArguments final : public QObject
{
    Q_OBJECT

private slots:
    void usage_data();
    void usage();
    void helpListsEveryCommand_data();
    void helpListsEveryCommand();
};

void TestCliArguments::usage_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("said"); // on standard output for exit code 0, else on standard error

    const auto row = [](const char* name, const char* args, int exitCode, const QStringList& said) {
        QTest::newRow(name) << QString::fromUtf8(args) << exitCode << said;
    };
    const auto error = [&row](const char* name, const char* args, const char* said, int exitCode = 2) {
        row(name, args, exitCode, { QString::fromUtf8(said) });
    };
    error("no command", "", "Usage: colloqua-cli COMMAND");
    error("unknown command", "nosuch", "unknown command \"nosuch\"");

    error("listen without channel", "listen", "--channel is required");
    error("count zero", "listen %NET% --count 0", "is not a count");
    error("count not a number", "listen %NET% --count x", "is not a count");
    error("count without value", "listen %NET% --count", "--count needs a value");
    error("listen extra argument", "listen %NET% x", "unexpected argument");
    error("listen unknown option", "listen %NET% --to x", "unknown option \"--to\"");
    error("listen: -- is no way past the options", "listen %NET% -- x", "unknown option \"--\"");
    error("a network flag is no value of a later one", "listen --port --channel X", "--port needs a value");
    error("send without --to", "send %NET% oi", "--to COMPUTER");
    error("send without text", "send %NET% --to *", "one argument");
    error("send two texts", "send %NET% --to * a b", "one argument");
    error("send unknown option", "send %NET% --to * --loud a", "unknown option \"--loud\"");
    error("channel too long", "send --channel NOVECANAL --to * a", "1 to 8 characters");
    error("bad port", "send --channel TESTE --port 70000 --to * a", "is not a port");
    error("unknown computer", "send %NET% --to nenhum.invalid a", "nothing sent", 1);

    error("who: no channel", "who %LOOP% --timeout 1", "--channel is required");
    error("who: channel too long", "who %LOOP% --channel CHANNEL09", "1 to 8 characters");
    error("who: bad time-out", "who %LOOP% --channel NETWORK --timeout 0", "is not a time-out");
    error("who: missing value", "who %LOOP% --channel NETWORK --timeout", "--timeout needs a value");
    error("who: bad user", "who %LOOP% --channel NETWORK --user A(B", "cannot be a user name");
    error("who: stray argument", "who %LOOP% --channel NETWORK extra", "unexpected argument");
    error("doctor: --home first", "doctor --channel TOOLONGNAME --home", "--home needs a value");

    error("frame without text", "frame", "Usage");
    error("frame with two texts", "frame a b", "Usage");
    error("frame with unknown option", "frame --x", "unknown option \"--x\"");
    error("frame: what follows the text is text", "frame a --x", "Usage");
    row("frame text starting with dash", "frame -- -M[A]S[]D[]", 0, { QStringLiteral("\nValid=true\n") });
    error("history without file", "history", "Usage");
    error("history with only --fields", "history --fields", "Usage");
    error("history with unknown option", "history --all x", "unknown option \"--all\"");
    error("history of a missing file", "history /nonexistent/colloqua/hist_recv.dbt", "no such file", 1);
    error("history of a directory", "history /", "is a directory", 1);
    error("history: a lone dash is a file name", "history -", "-: no such file", 1);
    // The output format is told by --help.
    const QStringList format { QStringLiteral("SenderComputer="), QStringLiteral("ParsedAt="), QStringLiteral("Valid="),
        QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("\\xHH") };
    row("frame --help", "frame --help", 0, format);
    row("history --help", "history --help", 0, format);

    error("config: no action", "config --home %HOME%", "Usage");
    error("config: unknown action", "config --home %HOME% show", "Usage");
    error("config: too few arguments", "config --home %HOME% get SETUP", "Usage");
    error("config: get with a value", "config --home %HOME% get SETUP DEFAULT_USER ANA", "Usage");
    error("config: unknown option", "config --home %HOME% list --all", "unknown option");
    error("config: unknown type", "config --home %HOME% get A B --type float", "unknown type");
    error("config: a type is checked where it stands", "config --home %HOME% --type float --x", "unknown type");
    error("config: a switch takes no value", "config --home %HOME% init --force=1", "unknown option \"--force=1\"");
    error("backup: unknown option", "backup --home %HOME% --all", "unknown option");
    error("backup: name without value", "backup --home %HOME% --name", "--name needs a value");
    error("backups: takes no name", "backups --home %HOME% x", "Usage");
    error("restore without name", "restore --home %HOME%", "Usage");
}

void TestCliArguments::usage()
{
    QFETCH(QString, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, said);
    const TempHome home;
    const Run run = cli(words(args, home.path()));
    QCOMPARE(run.exitCode, exitCode);
    const QString& told = exitCode == 0 ? run.out : run.err;
    for (const QString& text : std::as_const(said))
        QVERIFY2(told.contains(text), qPrintable(text + QStringLiteral(" missing from:\n") + told));
    QCOMPARE(exitCode == 0 ? run.err : run.out, QString());
    // Nothing is written for a wrong call.
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestCliArguments::helpListsEveryCommand_data()
{
    QTest::addColumn<QString>("command");
    for (const char* command :
        { "backup", "backups", "config", "doctor", "frame", "history", "listen", "restore", "send", "version", "who" })
        QTest::newRow(command) << QString::fromLatin1(command);
}

void TestCliArguments::helpListsEveryCommand()
{
    QFETCH(QString, command);
    const Run run = cli({ QStringLiteral("--help") });
    QCOMPARE(run.exitCode, 0);
    // One line each: the name, then what it does.
    const QRegularExpression line(QStringLiteral("^  %1 +(\\S.*)$").arg(QRegularExpression::escape(command)),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(run.out);
    QVERIFY2(match.hasMatch(), qPrintable(run.out));
    QVERIFY(match.captured(1).size() >= 10);
    QVERIFY(match.captured(0).size() <= 80);
    // Its own --help tells the rest.
    const Run own = cli({ command, QStringLiteral("--help") });
    QCOMPARE(own.exitCode, 0);
    QVERIFY(own.out.startsWith(QStringLiteral("Usage: colloqua-cli ") + command));
}

QTEST_GUILESS_MAIN(TestCliArguments)
#include "tst_cli_arguments.moc"
