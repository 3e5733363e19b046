#pragma once

#include "stationhome.h"

#include <QLockFile>
#include <QString>

// One running program per desktop session and station home: a lock file in the session's
// runtime directory, named after the home's canonical path. The lock is held until the
// object goes away; the lock of a run that crashed is taken over.
class SingleInstance final
{
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    enum class Result
    {
        Acquired,
        // Another live program holds the home.
        AlreadyRunning,
        // The lock file could not be written (no runtime directory, no rights): the run goes
        // on without the guard.
        Unguarded,
    };

    explicit SingleInstance(const StationHome& home);

    // Creates no file outside the runtime directory.
    Result tryAcquire();

    // $XDG_RUNTIME_DIR (or the per-user fallback Qt makes in the temporary directory) +
    // "colloqua-" + a digest of canonicalHome() + ".lock".
    static QString lockFilePath(const StationHome& home);
    // The home with symbolic links, "." and ".." resolved, without a trailing "/"; the part
    // that does not exist yet is taken as written, so a home the first run has still to
    // create gets the same name as after.
    static QString canonicalHome(const StationHome& home);

private:
    QLockFile m_lock;
};
