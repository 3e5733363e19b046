#include "settingkeys.h"

#include <type_traits>

namespace
{
using namespace SettingKeys;

QList<SettingKey> makeTable()
{
    return {
        SettingKey(Setup::LastChannel),
        SettingKey(Setup::LastUser),
        SettingKey(Setup::DefaultChannel),
        SettingKey(Setup::DefaultUser),
        SettingKey(Setup::DefaultStatus),
        SettingKey(Setup::ExibirJanela),
        SettingKey(Setup::MudarStatusScrSaver),
        SettingKey(Setup::ManterGruposAbertos),
        SettingKey(Setup::QtdeMaxRegsArqHist),
        SettingKey(Setup::QtdeMaxRegsJanHist),
        SettingKey(Setup::ExibirLinDivisoria),
        SettingKey(Setup::ExibirMsgSistema),
        SettingKey(Setup::FecharJanela),
        SettingKey(Receber::ExibirMsg),
        SettingKey(Receber::AnimarIcone),
        SettingKey(Receber::EmitirSom),
        SettingKey(Receber::ArqEmitirSom),
        SettingKey(Enviar::ExibirMsg),
        SettingKey(Enviar::EmitirSom),
        SettingKey(Enviar::ArqEmitirSom),
        SettingKey(Enviar::ConfirmarEntrega),
        SettingKey(Backup::AutoBackup),
        SettingKey(Backup::AutoBackupCada),
        SettingKey(Backup::AutoBackupTroca),
        SettingKey(Backup::NumExecucoes),
        SettingKey(Backup::BackupDelay),
        SettingKey(Posicao::Communicator.top),
        SettingKey(Posicao::Communicator.left),
        SettingKey(Posicao::Communicator.width),
        SettingKey(Posicao::Communicator.height),
        SettingKey(Posicao::Send.top),
        SettingKey(Posicao::Send.left),
        SettingKey(Posicao::Send.width),
        SettingKey(Posicao::Send.height),
        SettingKey(Posicao::History.top),
        SettingKey(Posicao::History.left),
        SettingKey(Posicao::History.width),
        SettingKey(Posicao::History.height),
        SettingKey(Rede::Porta),
        SettingKey(Rede::Endereco),
        SettingKey(Rede::Difusao),
        SettingKey(Rede::Grupo),
        SettingKey(Rede::Computador),
    };
}

// The order in which the first start writes the factory values; the receive and send keys
// interleave, so this differs from the table's order within RECEBER and ENVIAR.
constexpr SettingKeyName FactoryOrder[] = {
    Setup::LastChannel,
    Setup::LastUser,
    Setup::DefaultChannel,
    Setup::DefaultUser,
    Setup::DefaultStatus,
    Setup::ExibirJanela,
    Setup::MudarStatusScrSaver,
    Setup::ManterGruposAbertos,
    Setup::QtdeMaxRegsArqHist,
    Setup::QtdeMaxRegsJanHist,
    Setup::ExibirLinDivisoria,
    Setup::ExibirMsgSistema,
    Setup::FecharJanela,
    Receber::ExibirMsg,
    Enviar::ExibirMsg,
    Receber::AnimarIcone,
    Receber::EmitirSom,
    Enviar::EmitirSom,
    Receber::ArqEmitirSom,
    Enviar::ArqEmitirSom,
    Enviar::ConfirmarEntrega,
    Backup::AutoBackup,
    Backup::AutoBackupCada,
    Backup::AutoBackupTroca,
    Backup::NumExecucoes,
    Backup::BackupDelay,
};

template<typename T> std::optional<SettingValue> initialOf(const TypedSettingKey<T>& typed)
{
    if (!typed.initialValue)
        return std::nullopt;
    if constexpr (std::is_same_v<T, const char*>)
        return SettingValue(QString::fromLatin1(*typed.initialValue));
    else
        return SettingValue(*typed.initialValue);
}
} // namespace

SettingKey::SettingKey(const IntegerSettingKey& typed)
    : section(QString::fromLatin1(typed.section))
    , key(QString::fromLatin1(typed.key))
    , type(SettingInteger)
    , defaultValue(typed.defaultValue)
    , initialValue(initialOf(typed))
{ }

SettingKey::SettingKey(const BooleanSettingKey& typed)
    : section(QString::fromLatin1(typed.section))
    , key(QString::fromLatin1(typed.key))
    , type(SettingBoolean)
    , defaultValue(typed.defaultValue)
    , initialValue(initialOf(typed))
{ }

SettingKey::SettingKey(const StringSettingKey& typed)
    : section(QString::fromLatin1(typed.section))
    , key(QString::fromLatin1(typed.key))
    , type(SettingString)
    , defaultValue(QString::fromLatin1(typed.defaultValue))
    , initialValue(initialOf(typed))
{ }

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

const SettingKey& entry(SettingKeyName name)
{
    const SettingKey* key = find(QString::fromLatin1(name.section), QString::fromLatin1(name.key));
    Q_ASSERT(key);
    return *key;
}

void writeFactorySettings(Settings& settings)
{
    QList<SettingWrite> writes;
    for (const SettingKeyName& name : FactoryOrder) {
        const SettingKey& key = entry(name);
        Q_ASSERT(key.initialValue);
        writes.append(key.write(*key.initialValue));
    }
    settings.writeSettings(writes);
}
} // namespace SettingKeys
