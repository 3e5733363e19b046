#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The entry points through which the fuzz targets and the regression test feed untrusted bytes
// to the readers of the station. Each runs the reader the way the station does and checks what
// must hold for every input; a broken rule aborts, which both the fuzzer and the test report.
namespace FuzzEntries
{
// A UDP payload through the NetBIOS/mailslot datagram decoder.
void netbiosDatagram(QByteArrayView bytes);
// A mailslot message split into its header lines and frame text, then trimmed and parsed as the
// communicator does with every datagram.
void datagramLines(QByteArrayView bytes);
// Windows-1252 text through ParseFrame.
void parseFrame(QByteArrayView bytes);
// A colloqua.ini, read both from memory and from a file.
void profileFile(QByteArrayView bytes);
// An ArvUsuarios.tv, parsed and loaded from a file as at logon.
void userTreeFile(QByteArrayView bytes);
// A history file, read record by record from a file.
void historyFile(QByteArrayView bytes);

// The target names (the fuzz/corpus and regression folder names), each with its entry.
using Entry = void (*)(QByteArrayView);
struct Target
{
    const char* name;
    Entry entry;
};
const QList<Target>& targets();
} // namespace FuzzEntries
