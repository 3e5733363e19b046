#include "programstart.h"

#include "prompter.h"
#include "singleinstance.h"

#include <QCoreApplication>
#include <QList>

#include <cstdio>
#include <cstdlib>

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

namespace
{
// What the platform guard needs from inside Qt's message handler.
struct GuardState
{
    QtMessageHandler previous = nullptr;
    int exitCode = 1;
    struct Kept
    {
        QtMsgType type;
        int line = 0;
        QString text;
        QByteArray category;
        QByteArray file;
        QByteArray function;
    };
    QList<Kept> kept;
};
GuardState* g_guard = nullptr;

void guardHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        const QByteArray line = ProgramStart::PlatformStartGuard::failureLine().toLocal8Bit() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        std::_Exit(g_guard->exitCode);
    }
    g_guard->kept.append({ type, context.line, text, context.category, context.file, context.function });
}

bool hasValue(const std::function<QString(const char*)>& environment, const char* name)
{
    return !environment(name).isEmpty();
}
} // namespace

QString ProgramStart::DisplayProblem(
    const std::function<QString(const char*)>& environment, const QString& platformArgument)
{
    const QString platform = platformArgument.isEmpty() ? environment("QT_QPA_PLATFORM") : platformArgument;
    const bool x11 = hasValue(environment, "DISPLAY");
    const bool wayland = hasValue(environment, "WAYLAND_DISPLAY");
    QStringList missing;
    if (platform.isEmpty()) {
        if (x11 || wayland)
            return {};
        missing = { QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY") };
    } else {
        // A list ("wayland;xcb") is tried in order: one usable entry is enough.
        const QStringList candidates = platform.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& candidate : candidates) {
            const QString name = candidate.section(QLatin1Char(':'), 0, 0).trimmed();
            if (name == QLatin1String("xcb")) {
                if (x11)
                    return {};
                if (!missing.contains(QLatin1String("DISPLAY")))
                    missing.append(QStringLiteral("DISPLAY"));
            } else if (name.startsWith(QLatin1String("wayland"))) {
                if (wayland)
                    return {};
                if (!missing.contains(QLatin1String("WAYLAND_DISPLAY")))
                    missing.append(QStringLiteral("WAYLAND_DISPLAY"));
            } else if (!name.isEmpty()) {
                // offscreen, minimal, vnc, eglfs, linuxfb: they bring their own screen.
                return {};
            }
        }
        if (missing.isEmpty())
            return {};
    }
    const QString what = missing.size() == 1 ? missing.constFirst() + QStringLiteral(" is not set")
                                             : missing.join(QStringLiteral(" and ")) + QStringLiteral(" are not set");
    return QStringLiteral("colloqua: no display to show the program on (%1). Start it from a desktop session, or "
                          "set QT_QPA_PLATFORM=offscreen to run it without windows.")
        .arg(what);
}

QString ProgramStart::PreferredPlatform(
    const std::function<QString(const char*)>& environment, const QString& platformArgument)
{
    if (!platformArgument.isEmpty() || hasValue(environment, "QT_QPA_PLATFORM") || !hasValue(environment, "DISPLAY"))
        return {};
    return QStringLiteral("xcb");
}

ProgramStart::PlatformStartGuard::PlatformStartGuard(int exitCode)
{
    Q_ASSERT(!g_guard);
    g_guard = new GuardState;
    g_guard->exitCode = exitCode;
    g_guard->previous = qInstallMessageHandler(guardHandler);
}

ProgramStart::PlatformStartGuard::~PlatformStartGuard()
{
    qInstallMessageHandler(g_guard->previous);
    const QList<GuardState::Kept> kept = std::move(g_guard->kept);
    delete g_guard;
    g_guard = nullptr;
    // The platform came up: what Qt said on the way is worth hearing.
    for (const GuardState::Kept& message : kept) {
        QMessageLogContext context(
            message.file.constData(), message.line, message.function.constData(), message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
}

QString ProgramStart::PlatformStartGuard::failureLine()
{
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString display = qEnvironmentVariable("DISPLAY");
    const QString named = !display.isEmpty() ? QStringLiteral("the display \"%1\"").arg(display)
        : !wayland.isEmpty()                 ? QStringLiteral("the Wayland display \"%1\"").arg(wayland)
                                             : QStringLiteral("the display");
    return QStringLiteral("colloqua: cannot open %1: no desktop session answers there, or this user may not use it.")
        .arg(named);
}
