#include "fileversioninfo.h"

#include "versionresource.h"

#include <QCoreApplication>

#include <iterator>
#include <optional>
#include <utility>

namespace
{
QString tr(const char* text)
{
    return QCoreApplication::translate("FileVersionInfo", text);
}

// The string of the key in the table of the file's first translation.
std::optional<QString> readVersionString(const VersionResource& resource, const QString& key)
{
    const std::optional<QList<quint32>> translations = resource.translations();
    if (!translations)
        return std::nullopt;
    const quint32 first = translations->first();
    const QString path = QLatin1StringView("\\StringFileInfo\\0") + QString::number(first & 0xFFFF, 16)
        + QLatin1Char('0') + QString::number(first >> 16, 16) + QLatin1Char('\\') + key;
    return resource.queryString(path);
}

QString fileFlagsText(quint32 flags)
{
    // The flags as stored: the mask is not applied.
    const std::pair<quint32, const char*> texts[] = {
        { 0x01, "*Debug* " },
        { 0x20, "*Special Build* " },
        { 0x08, "*Private Build* " },
        { 0x02, "*Pre-Release Build* " },
        { 0x04, "*Patched* " },
    };
    QString text;
    for (const auto& [bit, name] : texts) {
        if (flags & bit)
            text += QLatin1StringView(name);
    }
    return text;
}

QString fileOsText(quint32 os)
{
    switch (os) {
    case 0:
        return tr("Desconhecido");
    case 0x4:
    case 0x40004:
        return QStringLiteral("Win32 API");
    case 0x10000:
        return QStringLiteral("MS-DOS");
    case 0x10001:
        return tr("16-bit Windows sob MS-DOS");
    case 0x20000:
        return QStringLiteral("16-bit OS/2");
    case 0x30000:
        return QStringLiteral("32-bit OS/2");
    case 0x40000:
        return QStringLiteral("Windows NT");
    default:
        return tr("Fora do Padrão. Código: %1").arg(os);
    }
}

QString driverSubtypeText(quint32 subtype)
{
    static const char* const texts[] = { "Desconhecido", "de Impressão", "de Teclado", "de Idioma", "de Vídeo",
        "de Mouse", "de Rede", "de Sistema", "Instalavel", "Multimida" };
    return subtype < std::size(texts) ? tr(texts[subtype]) : QString();
}

QString fontSubtypeText(quint32 subtype)
{
    static const char* const texts[] = { "Desconhecida", "Raster", "Vetorial", "TrueType" };
    return subtype < std::size(texts) ? tr(texts[subtype]) : QString();
}

QString fileTypeText(quint32 type, quint32 subtype)
{
    switch (type) {
    case 0:
        return tr("Desconhecido");
    case 1:
        return tr("Aplicacao");
    case 2:
        return QStringLiteral("Dynamic-Link Lib.");
    case 3:
        return tr("Device driver - Driver %1").arg(driverSubtypeText(subtype));
    case 4:
        return tr("Fonte - Fonte %1").arg(fontSubtypeText(subtype));
    case 5:
        return QStringLiteral("Virtual Device");
    case 7:
        return QStringLiteral("Static-Link Lib.");
    default:
        return QString();
    }
}
} // namespace

bool MyFileVerInfo(const QString& fileName, QString& version)
{
    version.clear();
    const std::optional<VersionResource> resource = VersionResource::fromFile(fileName);
    if (!resource)
        return false;
    version = readVersionString(*resource, QStringLiteral("FileVersion")).value_or(QString());
    return !version.isEmpty();
}

bool MyFileVersionAtributes(const QString& fileName, QStringList& lines)
{
    const std::optional<VersionResource> resource = VersionResource::fromFile(fileName);
    if (!resource || !resource->translations())
        return false;
    const std::pair<const char*, const char*> table[] = {
        { "CompanyName", "Empresa: %1" },
        { "FileDescription", "Descrição: %1" },
        { "FileVersion", "Versão do Arquivo: %1" },
        { "InternalName", "Nome Interno: %1" },
        { "LegalCopyright", "Copyright: %1" },
        { "OriginalFilename", "Nome Original do Arquivo: %1" },
        { "ProductName", "Produto: %1" },
        { "ProductVersion", "Versão do Produto: %1" },
        { "Comments", "Comentários: %1" },
    };
    QStringList found;
    for (const auto& [key, label] : table) {
        if (const std::optional<QString> value = readVersionString(*resource, QLatin1StringView(key)))
            found.append(tr(label).arg(*value));
    }
    if (const std::optional<VersionFixedInfo> fixed = resource->fixedInfo()) {
        const QString flags = fileFlagsText(fixed->fileFlags);
        if (!flags.isEmpty())
            found.append(tr("Atributos: %1").arg(flags));
        found.append(tr("Plataforma (OS): %1").arg(fileOsText(fixed->fileOS)));
        found.append(tr("Tipo de Arquivo: %1").arg(fileTypeText(fixed->fileType, fixed->fileSubtype)));
    }
    lines += found;
    return !found.isEmpty();
}
