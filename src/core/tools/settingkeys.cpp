#include "settingkeys.h"

namespace
{
SettingKey key(const char* section, const char* name, SettingType type, SettingValue defaultValue,
    std::optional<SettingValue> initialValue)
{
    return { QString::fromLatin1(section), QString::fromLatin1(name), type, std::move(defaultValue),
        std::move(initialValue) };
}

QList<SettingKey> makeTable()
{
    const QString empty;
    const QString network = QStringLiteral("NETWORK");
    const std::optional<SettingValue> none;
    return {
        key("SETUP", "LAST_CHANNEL", SettingString, network, empty),
        key("SETUP", "LAST_USER", SettingString, empty, empty),
        key("SETUP", "DEFAULT_CHANNEL", SettingString, network, network),
        key("SETUP", "DEFAULT_USER", SettingString, empty, empty),
        key("SETUP", "DEFAULT_STATUS", SettingString, QStringLiteral("ON"), QStringLiteral("ON")),
        key("SETUP", "EXIBIR_JANELA", SettingBoolean, true, true),
        key("SETUP", "MUDAR_STATUS_SCRSAVER", SettingBoolean, false, false),
        key("SETUP", "MANTER_GRUPOS_ABERTOS", SettingBoolean, false, false),
        key("SETUP", "QTDE_MAX_REGS_ARQHIST", SettingInteger, 1000, 1000),
        key("SETUP", "QTDE_MAX_REGS_JANHIST", SettingInteger, 100, 100),
        key("SETUP", "EXIBIR_LIN_DIVISORIA", SettingBoolean, false, false),
        key("SETUP", "EXIBIR_MSG_SISTEMA", SettingBoolean, false, false),
        key("SETUP", "FECHAR_JANELA", SettingBoolean, false, false),
        key("RECEBER", "EXIBIR_MSG", SettingBoolean, true, true),
        key("RECEBER", "ANIMAR_ICONE", SettingBoolean, true, true),
        key("RECEBER", "EMITIR_SOM", SettingBoolean, false, false),
        key("RECEBER", "ARQ_EMITIR_SOM", SettingString, empty, empty),
        key("ENVIAR", "EXIBIR_MSG", SettingBoolean, true, true),
        key("ENVIAR", "EMITIR_SOM", SettingBoolean, false, false),
        key("ENVIAR", "ARQ_EMITIR_SOM", SettingString, empty, empty),
        key("ENVIAR", "CONFIRMAR_ENTREGA", SettingBoolean, true, true),
        key("BACKUP", "AUTO_BACKUP", SettingBoolean, true, true),
        key("BACKUP", "AUTO_BACKUP_CADA", SettingInteger, 30, 30),
        key("BACKUP", "AUTO_BACKUP_TROCA", SettingBoolean, true, true),
        key("BACKUP", "NUM_EXECUCOES", SettingInteger, 0, 0),
        key("BACKUP", "BACKUP_DELAY", SettingInteger, 100, 30),
        key("POSICAO", "WNDCOM_TOP", SettingInteger, 10, none),
        key("POSICAO", "WNDCOM_LEFT", SettingInteger, 10, none),
        key("POSICAO", "WNDCOM_WIDTH", SettingInteger, 190, none),
        key("POSICAO", "WNDCOM_HEIGHT", SettingInteger, 346, none),
        key("POSICAO", "WNDSEND_TOP", SettingInteger, 20, none),
        key("POSICAO", "WNDSEND_LEFT", SettingInteger, 20, none),
        key("POSICAO", "WNDSEND_WIDTH", SettingInteger, 334, none),
        key("POSICAO", "WNDSEND_HEIGHT", SettingInteger, 239, none),
        key("POSICAO", "WNDHIST_TOP", SettingInteger, 30, none),
        key("POSICAO", "WNDHIST_LEFT", SettingInteger, 30, none),
        key("POSICAO", "WNDHIST_WIDTH", SettingInteger, 554, none),
        key("POSICAO", "WNDHIST_HEIGHT", SettingInteger, 267, none),
        key("REDE", "PORTA", SettingInteger, 45138, none),
        key("REDE", "ENDERECO", SettingString, empty, none),
        key("REDE", "DIFUSAO", SettingString, empty, none),
        key("REDE", "GRUPO", SettingString, QStringLiteral("WORKGROUP"), none),
        key("REDE", "COMPUTADOR", SettingString, empty, none),
    };
}

// The order in which the first start writes the factory values; the receive and send keys
// interleave, so this differs from the table's order within RECEBER and ENVIAR.
constexpr const char* FactoryOrder[][2] = {
    { "SETUP", "LAST_CHANNEL" },
    { "SETUP", "LAST_USER" },
    { "SETUP", "DEFAULT_CHANNEL" },
    { "SETUP", "DEFAULT_USER" },
    { "SETUP", "DEFAULT_STATUS" },
    { "SETUP", "EXIBIR_JANELA" },
    { "SETUP", "MUDAR_STATUS_SCRSAVER" },
    { "SETUP", "MANTER_GRUPOS_ABERTOS" },
    { "SETUP", "QTDE_MAX_REGS_ARQHIST" },
    { "SETUP", "QTDE_MAX_REGS_JANHIST" },
    { "SETUP", "EXIBIR_LIN_DIVISORIA" },
    { "SETUP", "EXIBIR_MSG_SISTEMA" },
    { "SETUP", "FECHAR_JANELA" },
    { "RECEBER", "EXIBIR_MSG" },
    { "ENVIAR", "EXIBIR_MSG" },
    { "RECEBER", "ANIMAR_ICONE" },
    { "RECEBER", "EMITIR_SOM" },
    { "ENVIAR", "EMITIR_SOM" },
    { "RECEBER", "ARQ_EMITIR_SOM" },
    { "ENVIAR", "ARQ_EMITIR_SOM" },
    { "ENVIAR", "CONFIRMAR_ENTREGA" },
    { "BACKUP", "AUTO_BACKUP" },
    { "BACKUP", "AUTO_BACKUP_CADA" },
    { "BACKUP", "AUTO_BACKUP_TROCA" },
    { "BACKUP", "NUM_EXECUCOES" },
    { "BACKUP", "BACKUP_DELAY" },
};
} // namespace

namespace SettingKeys
{
const QList<SettingKey>& all()
{
    static const QList<SettingKey> table = makeTable();
    return table;
}

const SettingKey* find(QStringView section, QStringView key)
{
    for (const SettingKey& entry : all()) {
        if (entry.section.compare(section.trimmed(), Qt::CaseInsensitive) == 0
            && entry.key.compare(key.trimmed(), Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

void writeFactorySettings(Settings& settings)
{
    QList<SettingWrite> writes;
    for (const auto& [section, name] : FactoryOrder) {
        const SettingKey* entry = find(QString::fromLatin1(section), QString::fromLatin1(name));
        Q_ASSERT(entry && entry->initialValue);
        writes.append({ entry->section, entry->key, entry->type, *entry->initialValue });
    }
    settings.writeSettings(writes);
}
} // namespace SettingKeys
