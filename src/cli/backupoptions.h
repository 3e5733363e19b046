#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

// The arguments of the backup, backups and restore commands: "--home DIR" (default: the
// desktop's station home), "--name NAME", "--update" and positional arguments. Options may
// stand anywhere; after "--" everything is positional.
struct BackupOptions
{
    QString home;
    std::optional<QString> name;
    bool update = false;
    QStringList positional;

    enum Accepts
    {
        HomeOnly = 0,
        Name = 1,
        Update = 2,
    };

    // Nothing, after writing "<prefix><what is wrong>" to `err`, for an unknown option or a
    // missing value.
    static std::optional<BackupOptions> parse(
        const QStringList& args, int accepts, QTextStream& err, const QString& prefix);
};
