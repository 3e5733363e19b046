#pragma once

#include <QString>

#include <functional>

class Prompter;
class SingleInstance;

namespace ProgramStart
{
// The first thing a run does, before any window, file or socket exists: false when another
// program runs on the same home, after the user was told so. The lock is held by `instance`.
bool ClaimInstance(SingleInstance& instance, Prompter& prompter);

// Why the program cannot show itself, before Qt is asked to: the English line for standard
// error, or empty when a display (or a platform that needs none) is there. `environment`
// reads one variable; `platformArgument` is the -platform given on the command line.
QString DisplayProblem(const std::function<QString(const char*)>& environment, const QString& platformArgument);

// The platform the program asks Qt for when neither QT_QPA_PLATFORM nor -platform names
// one: "xcb" whenever an X display is set, in Wayland sessions too (XWayland), since the
// placement at the bottom right, the topmost history window and the menus at the cursor need
// X11; empty leaves the choice to Qt.
QString PreferredPlatform(const std::function<QString(const char*)>& environment, const QString& platformArgument);

// While it lives, a platform that fails to start (a display named but not answering) ends
// the run with `exitCode` and a clear line on standard error, instead of Qt's abort; what Qt
// says meanwhile is kept back and passed on once the platform is up.
class PlatformStartGuard final
{
public:
    explicit PlatformStartGuard(int exitCode);
    ~PlatformStartGuard();
    PlatformStartGuard(const PlatformStartGuard&) = delete;
    PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;

    // The line printed when the platform fails, for the display the environment names.
    static QString failureLine();
};
} // namespace ProgramStart
