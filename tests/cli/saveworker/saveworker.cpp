// Saves one kind of station file in a loop through the station's own code, reporting every
// completed save on standard output, until it is killed. The kill tests read the reports to
// know what was saved before the kill.
//
// Usage: colloqua-saveworker KIND HOME FIRST_ROUND

#include "communicatorsession.h"
#include "copyrun.h"
#include "fakemailslotbackend.h"
#include "fileerror.h"
#include "historyfiles.h"
#include "namelists.h"
#include "saveworkload.h"
#include "settings.h"
#include "stationhome.h"
#include "talmailslot.h"
#include "usertreefile.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSaveFile>

#include <cstdio>
#include <unistd.h>

namespace
{
// Straight to the pipe, unbuffered: a report is out before the next save starts.
void report(const QByteArray& line)
{
    const QByteArray bytes = line + '\n';
    if (::write(STDOUT_FILENO, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
        std::exit(3);
}

// The source of the backup copy, written whole before each copy.
void writeSource(const QString& path, int round)
{
    QSaveFile file(path);
    const QByteArray bytes = SaveWorkload::dataFile(round);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw FileError(QStringLiteral("Unable to write to %1").arg(path));
}

// A logged-on station whose mailslot receives one presence burst after another. A round is
// reported once a tree file write holds all of its burst; in the kind "groups" the user's edit
// halfway through is reported ("+<round>") once its save has returned.
int runBursts(const QString& kind, const StationHome& home, int first)
{
    const QString computer = QStringLiteral("worker");
    Settings settings(home);
    HistoryFiles history(home, settings);
    NameLists names(home);
    const SystemClock clock;
    FakeMailslotNetwork network;
    TALMailSlot transport(network.attach(computer), nullptr, computer, QStringLiteral("worker"));
    transport.setCheckInterval(1);
    CommunicatorSession session(
        CommunicatorSession::Services { transport, settings, history, names, clock }, QLocale::c());
    QObject::connect(&transport, &TALMailSlot::OnNewMessage, &session, &CommunicatorSession::ALMailSlot1NewMessage);
    QObject::connect(&session, &CommunicatorSession::fileError, &session, [](const QString& message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::exit(1);
    });
    session.Conectar(QStringLiteral("ANA"), SaveWorkload::Channel, QStringLiteral("ON"));
    report("ready");

    int round = first;
    int handled = 0;
    const auto startBurst = [&] {
        handled = 0;
        for (int station = 0; station < SaveWorkload::BurstStations; ++station)
            network.deliver(computer, SaveWorkload::Channel, SaveWorkload::announcement(round, station));
    };
    // Connected after the session: runs once the session has handled the datagram.
    QObject::connect(&transport, &TALMailSlot::OnNewMessage, &session, [&](const QString& from) {
        if (from == computer || ++handled != SaveWorkload::BurstStations / 2 || kind != QLatin1String("groups"))
            return;
        UserTree& master = session.master();
        master.MoverUsuario(
            master.ProcurarUsuario(SaveWorkload::burstUser(round)), master.CriarGrupo(SaveWorkload::burstGroup(round)));
        session.saveTree();
        report("+" + QByteArray::number(round));
    });
    QObject::connect(&session, &CommunicatorSession::treeSaved, &session, [&] {
        const QString last = SaveWorkload::burstComputer(SaveWorkload::BurstStations - 1);
        if (!session.master().ProcurarUsuario(SaveWorkload::burstUser(round), last))
            return;
        report(QByteArray::number(round));
        ++round;
        startBurst();
    });
    startBurst();
    QEventLoop loop;
    loop.exec();
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4 || !SaveWorkload::Kinds.contains(args.at(1))) {
        std::fputs("usage: colloqua-saveworker KIND HOME FIRST_ROUND\n", stderr);
        return 2;
    }
    const QString kind = args.at(1);
    const StationHome home(args.at(2));
    const int first = args.at(3).toInt();
    home.ensureDataDir();

    Settings settings(home);
    const HistoryFiles history(home, settings);
    const NameLists names(home);
    const QString treePath = UserTreeFile::path(home);
    const QString backupSource = home.dataFile(QStringLiteral("dados.dbt"));
    const QString backupTarget = home.ProgramDir() + QStringLiteral("Bk teste/dados.dbt");

    try {
        if (kind == QLatin1String("presence") || kind == QLatin1String("groups"))
            return runBursts(kind, home, first);
        report("ready");
        // Bounded, in case nobody kills it.
        for (int round = first; round < first + 100000; ++round) {
            if (kind == QLatin1String("tree")) {
                UserTreeFile::save(SaveWorkload::tree(round), treePath);
            } else if (kind == QLatin1String("settings")) {
                settings.WriteSetting(SaveWorkload::SettingSection,
                    SaveWorkload::settingKey(round % SaveWorkload::SettingSlots), SettingInteger, round);
            } else if (kind == QLatin1String("append")) {
                history.AppendReceived(SaveWorkload::frame(round));
            } else if (kind == QLatin1String("trim")) {
                // As a station stores a frame: append, then trim; received and sent alike.
                history.AppendReceived(SaveWorkload::frame(round));
                history.TrimHistoryFile(history.receivedPath());
                history.AppendSent(SaveWorkload::frame(round));
                history.TrimHistoryFile(history.sentPath());
            } else if (kind == QLatin1String("names")) {
                names.AddUserName(SaveWorkload::userName(round));
            } else {
                writeSource(backupSource, round);
                if (!CopyRun::CopyFileReplacing(backupSource, backupTarget))
                    throw FileError(QStringLiteral("Unable to copy to %1").arg(backupTarget));
            }
            report(QByteArray::number(round));
        }
    } catch (const FileError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
