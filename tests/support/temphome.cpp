#include "temphome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempHome::TempHome()
    : m_home(m_dir.path())
{
    Q_ASSERT(m_dir.isValid());
}

void TempHome::write(const QString& relative, const QByteArray& bytes) const
{
    const QString path = file(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

QByteArray TempHome::read(const QString& relative) const
{
    QFile f(file(relative));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
