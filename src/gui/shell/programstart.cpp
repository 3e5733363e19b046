#include "programstart.h"

#include "prompter.h"
#include "singleinstance.h"

#include <QCoreApplication>

bool ProgramStart::ClaimInstance(SingleInstance& instance, Prompter& prompter)
{
    switch (instance.tryAcquire()) {
    case SingleInstance::Result::Acquired:
        return true;
    case SingleInstance::Result::Unguarded:
        // Without a writable runtime directory the run is not refused: one instance is the
        // common case, and refusing would leave the user without the program.
        qWarning("colloqua: cannot lock the station home; a second copy would not be noticed");
        return true;
    case SingleInstance::Result::AlreadyRunning:
        break;
    }
    prompter.message(Prompter::Kind::Information, QStringLiteral("Colloqua"),
        QCoreApplication::translate("ProgramStart",
            "O programa já está sendo executado! Dê um duplo click no ícone correspondente na barra de tarefas."));
    return false;
}
