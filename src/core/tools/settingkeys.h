#pragma once

#include "settings.h"

#include <QList>
#include <QString>

#include <optional>

// One key of colloqua.ini as the code names it: its section and name, the default its readers
// pass when it is missing (unless a reader says why it passes another), and the value a new
// file gets. `T` is int, bool, or const char* for a text (every name and text here is ASCII).
template<typename T> struct TypedSettingKey
{
    const char* section;
    const char* key;
    T defaultValue;
    // None for keys a new file does not get (window positions, network).
    std::optional<T> initialValue = std::nullopt;
};
using IntegerSettingKey = TypedSettingKey<int>;
using BooleanSettingKey = TypedSettingKey<bool>;
using StringSettingKey = TypedSettingKey<const char*>;

// Section and name of a key of any type, for lists of keys.
struct SettingKeyName
{
    const char* section;
    const char* key;
    template<typename T>
    constexpr SettingKeyName(const TypedSettingKey<T>& typed) // NOLINT: lists read naturally
        : section(typed.section)
        , key(typed.key)
    { }
};

// Every key the program uses, section by section.
namespace SettingKeys
{
namespace Setup
{
inline constexpr StringSettingKey LastChannel { "SETUP", "LAST_CHANNEL", "NETWORK", "" };
inline constexpr StringSettingKey LastUser { "SETUP", "LAST_USER", "", "" };
inline constexpr StringSettingKey DefaultChannel { "SETUP", "DEFAULT_CHANNEL", "NETWORK", "NETWORK" };
inline constexpr StringSettingKey DefaultUser { "SETUP", "DEFAULT_USER", "", "" };
inline constexpr StringSettingKey DefaultStatus { "SETUP", "DEFAULT_STATUS", "ON", "ON" };
inline constexpr BooleanSettingKey ExibirJanela { "SETUP", "EXIBIR_JANELA", true, true };
inline constexpr BooleanSettingKey MudarStatusScrSaver { "SETUP", "MUDAR_STATUS_SCRSAVER", false, false };
inline constexpr BooleanSettingKey ManterGruposAbertos { "SETUP", "MANTER_GRUPOS_ABERTOS", false, false };
inline constexpr IntegerSettingKey QtdeMaxRegsArqHist { "SETUP", "QTDE_MAX_REGS_ARQHIST", 1000, 1000 };
inline constexpr IntegerSettingKey QtdeMaxRegsJanHist { "SETUP", "QTDE_MAX_REGS_JANHIST", 100, 100 };
inline constexpr BooleanSettingKey ExibirLinDivisoria { "SETUP", "EXIBIR_LIN_DIVISORIA", false, false };
inline constexpr BooleanSettingKey ExibirMsgSistema { "SETUP", "EXIBIR_MSG_SISTEMA", false, false };
inline constexpr BooleanSettingKey FecharJanela { "SETUP", "FECHAR_JANELA", false, false };
} // namespace Setup

namespace Receber
{
inline constexpr BooleanSettingKey ExibirMsg { "RECEBER", "EXIBIR_MSG", true, true };
inline constexpr BooleanSettingKey AnimarIcone { "RECEBER", "ANIMAR_ICONE", true, true };
inline constexpr BooleanSettingKey EmitirSom { "RECEBER", "EMITIR_SOM", false, false };
inline constexpr StringSettingKey ArqEmitirSom { "RECEBER", "ARQ_EMITIR_SOM", "", "" };
} // namespace Receber

namespace Enviar
{
inline constexpr BooleanSettingKey ExibirMsg { "ENVIAR", "EXIBIR_MSG", true, true };
inline constexpr BooleanSettingKey EmitirSom { "ENVIAR", "EMITIR_SOM", false, false };
inline constexpr StringSettingKey ArqEmitirSom { "ENVIAR", "ARQ_EMITIR_SOM", "", "" };
inline constexpr BooleanSettingKey ConfirmarEntrega { "ENVIAR", "CONFIRMAR_ENTREGA", true, true };
} // namespace Enviar

namespace Backup
{
inline constexpr BooleanSettingKey AutoBackup { "BACKUP", "AUTO_BACKUP", true, true };
inline constexpr IntegerSettingKey AutoBackupCada { "BACKUP", "AUTO_BACKUP_CADA", 30, 30 };
inline constexpr BooleanSettingKey AutoBackupTroca { "BACKUP", "AUTO_BACKUP_TROCA", true, true };
inline constexpr IntegerSettingKey NumExecucoes { "BACKUP", "NUM_EXECUCOES", 0, 0 };
inline constexpr IntegerSettingKey BackupDelay { "BACKUP", "BACKUP_DELAY", 100, 30 };
} // namespace Backup

// The place of a window: top, left, width, height.
struct PlacementKeys
{
    IntegerSettingKey top;
    IntegerSettingKey left;
    IntegerSettingKey width;
    IntegerSettingKey height;
};

namespace Posicao
{
inline constexpr PlacementKeys Communicator { { "POSICAO", "WNDCOM_TOP", 10 }, { "POSICAO", "WNDCOM_LEFT", 10 },
    { "POSICAO", "WNDCOM_WIDTH", 190 }, { "POSICAO", "WNDCOM_HEIGHT", 346 } };
inline constexpr PlacementKeys Send { { "POSICAO", "WNDSEND_TOP", 20 }, { "POSICAO", "WNDSEND_LEFT", 20 },
    { "POSICAO", "WNDSEND_WIDTH", 334 }, { "POSICAO", "WNDSEND_HEIGHT", 239 } };
inline constexpr PlacementKeys History { { "POSICAO", "WNDHIST_TOP", 30 }, { "POSICAO", "WNDHIST_LEFT", 30 },
    { "POSICAO", "WNDHIST_WIDTH", 554 }, { "POSICAO", "WNDHIST_HEIGHT", 267 } };
} // namespace Posicao

namespace Rede
{
inline constexpr IntegerSettingKey Porta { "REDE", "PORTA", 45138 };
inline constexpr StringSettingKey Endereco { "REDE", "ENDERECO", "" };
inline constexpr StringSettingKey Difusao { "REDE", "DIFUSAO", "" };
inline constexpr StringSettingKey Grupo { "REDE", "GRUPO", "WORKGROUP" };
inline constexpr StringSettingKey Computador { "REDE", "COMPUTADOR", "" };
} // namespace Rede
} // namespace SettingKeys

// One key of colloqua.ini with its type as a code: where it lives, its type, the default its
// readers pass when it is missing, and the value a new file gets. For the code that handles
// keys whatever they are: the settings dialog's list, colloqua-cli config, the first start.
struct SettingKey
{
    QString section;
    QString key;
    SettingType type = SettingString;
    // Where readers pass different defaults, the one of the settings dialog and logon dialog.
    SettingValue defaultValue;
    std::optional<SettingValue> initialValue;

    explicit SettingKey(const IntegerSettingKey& typed);
    explicit SettingKey(const BooleanSettingKey& typed);
    explicit SettingKey(const StringSettingKey& typed);

    // The write of `value` to this key, for Settings::writeSettings.
    SettingWrite write(const SettingValue& value) const { return { section, key, type, value }; }
};

namespace SettingKeys
{
// Every key the program uses, section by section: SETUP, RECEBER, ENVIAR, BACKUP, POSICAO, REDE.
const QList<SettingKey>& all();
// The key of that section and name, letter case ignored; nullptr for a key the program does
// not use.
const SettingKey* find(QStringView section, QStringView key);
// The entry of a key the program uses (never nullptr).
const SettingKey& entry(SettingKeyName name);

// Writes the factory value of every key of SETUP, RECEBER, ENVIAR and BACKUP in the order of
// the first start (so a new file has its sections in that order), in one replacement of the
// file: a failed first start leaves no half-written file behind. Throws FileError.
void writeFactorySettings(Settings& settings);
} // namespace SettingKeys
