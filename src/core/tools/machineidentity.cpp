#include "machineidentity.h"

#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace
{
constexpr qsizetype MaxNameLength = 255;
}

QString MachineIdentity::computerName()
{
    QString name = QSysInfo::machineHostName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name.left(MaxNameLength);
}

QString MachineIdentity::userName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) {
        if (const passwd* pw = getpwuid(getuid()))
            name = QString::fromLocal8Bit(pw->pw_name);
    }
    return name.left(MaxNameLength);
}
