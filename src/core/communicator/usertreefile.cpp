#include "usertreefile.h"

#include "ansi.h"
#include "clock.h"
#include "fileerror.h"
#include "savefilecommit.h"
#include "stationhome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace
{
const QString FileName = QStringLiteral("ArvUsuarios.tv");

QString tr(const char* text)
{
    return QCoreApplication::translate("UserTreeFile", text);
}

int iconFor(const QString& text)
{
    if (!EhUsuario(text))
        return TreeIcon::ClosedGroup;
    if (EhInvisivel(text))
        return TreeIcon::Invisible;
    if (EhDesconectado(text))
        return TreeIcon::Offline;
    return TreeIcon::Online;
}

QString writableText(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    qsizetype lead = 0;
    while (lead < text.size() && (text.at(lead) == QLatin1Char('\t') || text.at(lead) == QLatin1Char(' ')))
        ++lead;
    return text.mid(lead);
}

// A name beside the file that no earlier move took.
QString asideName(const QString& path, const Clock& clock)
{
    const QString base = path + QStringLiteral(".bad-") + clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}
FileError writeError(const QString& path, const QString& reason)
{
    return FileError(tr("Não foi possível gravar o arquivo \"%1\": %2").arg(QDir::toNativeSeparators(path), reason));
}

// A name beside `path` as QSaveFile makes them, "<name>.XXXXXX".
QString temporaryName(const QString& path)
{
    // Letters only, as QSaveFile names its files, so the start-up clean-up knows ours too.
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    QString name = path + QLatin1Char('.');
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))]);
    return name;
}

bool syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}
} // namespace

namespace UserTreeFile
{
QString path(const StationHome& home)
{
    return home.dataFile(FileName);
}

QByteArray toBytes(const UserTree& tree)
{
    QByteArray bytes;
    // Depth first with the depth carried along, however deep a file made the tree.
    std::vector<std::pair<const UserTreeNode*, qsizetype>> stack;
    for (int row = tree.topLevelCount() - 1; row >= 0; --row)
        stack.emplace_back(tree.topLevel(row), 0);
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        bytes.append(depth, '\t');
        bytes.append(Ansi::encode(writableText(node->text())));
        bytes.append(Ansi::LineEnd);
        for (int row = node->childCount() - 1; row >= 0; --row)
            stack.emplace_back(node->child(row), depth + 1);
    }
    return bytes;
}

ParseResult fromBytes(QByteArrayView bytes)
{
    ParseResult result;
    // path[d] is the last node placed at depth d.
    std::vector<UserTreeNode*> path;
    const QList<QByteArray> lines = Ansi::splitLines(bytes);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        qsizetype indent = 0;
        while (indent < line.size() && (line.at(indent) == '\t' || line.at(indent) == ' '))
            ++indent;
        // The first node is top level however it is indented.
        const qsizetype depth = path.empty() ? 0 : indent;
        if (depth > static_cast<qsizetype>(path.size())) {
            if (result.badLine == 0)
                result.badLine = static_cast<int>(i + 1);
            continue;
        }
        const QString text = Ansi::decode(QByteArrayView(line).sliced(indent));
        UserTreeNode* parent = depth == 0 ? nullptr : path[static_cast<std::size_t>(depth - 1)];
        path.resize(static_cast<std::size_t>(depth));
        path.push_back(result.tree.addNode(parent, text, iconFor(text)));
    }
    return result;
}

LoadResult CarregarArvore(const QString& path, const Clock& clock)
{
    LoadResult result;
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return result;

    QFile file(path);
    QString problem;
    if (file.open(QIODevice::ReadOnly)) {
        ParseResult parsed = fromBytes(file.readAll());
        if (file.error() != QFileDevice::NoError)
            problem = file.errorString();
        else if (!parsed.ok())
            problem = tr("linha %1 mais de um nível abaixo da anterior").arg(parsed.badLine);
        result.tree = std::move(parsed.tree);
        file.close();
    } else {
        problem = file.errorString();
    }
    result.tree.markLoaded();
    if (problem.isEmpty())
        return result;

    // Moved aside so that the next save, which writes only what was read, loses nothing for good.
    const QString aside = asideName(path, clock);
    if (QFile::rename(path, aside))
        result.movedTo = aside;
    const QString name = QDir::toNativeSeparators(path);
    if (result.movedTo.isEmpty()) {
        result.error = tr("O arquivo da árvore de usuários \"%1\" não pôde ser lido por inteiro (%2).\r"
                          "A parte legível foi carregada.")
                           .arg(name, problem);
    } else {
        result.error = tr("O arquivo da árvore de usuários \"%1\" não pôde ser lido por inteiro (%2).\r"
                          "A parte legível foi carregada e o arquivo original foi guardado como \"%3\".")
                           .arg(name, problem, QDir::toNativeSeparators(result.movedTo));
    }
    return result;
}

void save(const UserTree& tree, const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray bytes = toBytes(tree);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !CommitWhole(file))
        throw writeError(path, file.errorString());
}

void saveWithoutFlush(const UserTree& tree, const QString& path)
{
    const QFileInfo target(path);
    QDir().mkpath(target.absolutePath());
    // Created as QSaveFile creates its files: the permissions of the file it replaces, else the
    // default ones less the umask.
    constexpr QFile::Permissions Default = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
        | QFile::ReadOther | QFile::WriteOther;
    QFile file;
    for (int attempt = 0;; ++attempt) {
        file.setFileName(temporaryName(path));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, Default))
            break;
        if (!file.exists() || attempt == 16)
            throw writeError(path, file.errorString());
    }
    if (target.exists())
        file.setPermissions(target.permissions());
    const QByteArray bytes = toBytes(tree);
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    const QString reason = file.errorString();
    file.close();
    if (!written
        || std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString why = written ? qt_error_string(errno) : reason;
        QFile::remove(file.fileName());
        throw writeError(path, why);
    }
}

void flush(const QString& path)
{
    if (!syncPath(path, O_RDONLY)) {
        if (errno == ENOENT)
            return;
        throw writeError(path, qt_error_string(errno));
    }
    // The rename that put the file in place is an entry of the directory; a file system that
    // cannot sync a directory keeps its entries its own way.
    syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

void DescarregarArvore(UserTree& master, const QString& path)
{
    master.markAllOffline();
    try {
        save(master, path);
    } catch (...) {
        master.clear();
        throw;
    }
    master.clear();
}
} // namespace UserTreeFile
