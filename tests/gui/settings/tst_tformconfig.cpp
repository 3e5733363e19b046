#include "namelists.h"
#include "profilefile.h"
#include "settingkeys.h"
#include "teststation.h"
#include "tformconfig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace
{
const QString Setup = QStringLiteral("SETUP");

// A station on an in-memory network whose home holds the first-start files.
struct ConfigStation
{
    FakeMailslotNetwork network;
    TestStation station { QStringLiteral("pc-a"), network };

    ConfigStation()
    {
        Settings settings(station.home().home());
        SettingKeys::writeFactorySettings(settings);
        station.tools().names().AddChannelName(QStringLiteral("NETWORK"));
    }

    TFormConfig& form() const { return station.station().FormConfig(); }
    QString iniPath() const { return station.home().home().settingsPath(); }
    QByteArray iniBytes() const { return station.home().read(QStringLiteral("colloqua.ini")); }
    QString stored(const QString& section, const QString& key) const
    {
        return ProfileFile(iniPath()).read(section, key).value_or(QStringLiteral("<missing>"));
    }
    void reopen() const
    {
        form().hide();
        form().Exibir();
    }
    template<typename T> T* control(const QString& name) const
    {
        T* found = form().findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
};

QVariant controlValue(const QWidget* control)
{
    if (const auto* box = qobject_cast<const QCheckBox*>(control))
        return box->isChecked();
    if (const auto* number = qobject_cast<const QSpinBox*>(control))
        return number->value();
    if (const auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentText();
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    return {};
}

void setControlValue(QWidget* control, const QVariant& value)
{
    if (auto* box = qobject_cast<QCheckBox*>(control))
        box->setChecked(value.toBool());
    else if (auto* number = qobject_cast<QSpinBox*>(control))
        number->setValue(value.toInt());
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(value.toString());
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(value.toString());
}

int checkedStatus(const TFormConfig& form)
{
    const QList<QRadioButton*> buttons = form.RdButStatus();
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (buttons[i]->isChecked())
            return int(i);
    }
    return -1;
}

QList<ProfileFile::Entry> withValue(
    QList<ProfileFile::Entry> entries, const QString& section, const QString& key, const QString& value)
{
    for (ProfileFile::Entry& entry : entries) {
        if (entry.section == section && entry.key == key)
            entry.value = value;
    }
    return entries;
}

// Types any text, accented letters too, one key press per character.
void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
    }
}

QByteArray someWave(char fill)
{
    return QByteArrayLiteral("RIFF\x24\0\0\0WAVE") + QByteArray(32, fill);
}
} // namespace

class TestTFormConfig final : public QObject
{
    Q_OBJECT

private slots:
    void everyControlMapsToItsKey_data();
    void everyControlMapsToItsKey();
    void settingsFileRemovedWhileRunning();
    void statusCodes_data();
    void statusCodes();
    void defaultUserToggle();
    void choosingUserFillsReadOnlyText();
    void channelTyping_data();
    void channelTyping();
    void storedChannelSelected_data();
    void storedChannelSelected();
    void addName_data();
    void addName();
    void soundCopy_data();
    void soundCopy();
    void soundCopyKeepsExistingFiles();
    void cancelWritesNothing();
    void failedSaveKeepsDialogOpen();
    void openingResetsPageAndWarnings();
    void factorySettings();
};

void TestTFormConfig::everyControlMapsToItsKey_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("saved");

    const auto row = [](const char* section, const char* key, const char* control, const QString& caption,
                         const QVariant& value, const char* saved) {
        QTest::addRow("%s %s", section, key)
            << QString::fromLatin1(section) << QString::fromLatin1(key) << QString::fromLatin1(control) << caption
            << value << QString::fromUtf8(saved);
    };
    row("SETUP", "DEFAULT_CHANNEL", "ComboCanal", {}, QStringLiteral("REDE1"), "REDE1");
    row("SETUP", "DEFAULT_USER", "EdDefaultUser", {}, QStringLiteral("ANA"), "ANA");
    row("SETUP", "EXIBIR_JANELA", "ChBoxExibirJanela", QStringLiteral("Exibir janela principal ao conectar-se"), false,
        "0");
    row("SETUP", "MUDAR_STATUS_SCRSAVER", "ChBoxMudarStatusScrSaver",
        QStringLiteral("Mudar para ausente quando protetor de tela for acionado"), true, "1");
    row("SETUP", "MANTER_GRUPOS_ABERTOS", "ChBoxManterGruposAbertos",
        QStringLiteral("Manter grupos de usuários abertos"), true, "1");
    row("SETUP", "QTDE_MAX_REGS_ARQHIST", "EdMaxRegsArqHist", {}, 250, "250");
    row("SETUP", "QTDE_MAX_REGS_JANHIST", "EdMaxRegsJanHist", {}, 0, "0");
    row("SETUP", "EXIBIR_LIN_DIVISORIA", "ChBoxLinDivisoria",
        QStringLiteral("Exibir linha divisória entre as mensagens"), true, "1");
    row("SETUP", "EXIBIR_MSG_SISTEMA", "ChBoxMsgSistema", QStringLiteral("Visualizar mensagens do sistema"), true, "1");
    row("SETUP", "FECHAR_JANELA", "ChBoxFecharJanela", QStringLiteral("Fechar janela principal ao desconectar-se"),
        true, "1");
    row("RECEBER", "EXIBIR_MSG", "ChBoxExibirMsgReceber",
        QStringLiteral("Exibir janela automaticamente ao receber mensagem "), false, "0");
    row("ENVIAR", "EXIBIR_MSG", "ChBoxExibirMsgEnviar",
        QStringLiteral("Exibir janela automaticamente ao enviar mensagem"), false, "0");
    row("RECEBER", "ANIMAR_ICONE", "ChBoxAnimarIcone",
        QStringLiteral("Alterar ícone na barra de tarefas ao receber mensagem"), false, "0");
    row("RECEBER", "EMITIR_SOM", "ChBoxEmitirSomReceber", QStringLiteral("Emitir som ao receber mensagem"), true, "1");
    row("ENVIAR", "EMITIR_SOM", "ChBoxEmitirSomEnviar", QStringLiteral("Emitir som ao enviar mensagem"), true, "1");
    row("RECEBER", "ARQ_EMITIR_SOM", "EdSomReceber", {}, QStringLiteral("/som/chegou.wav"), "/som/chegou.wav");
    row("ENVIAR", "ARQ_EMITIR_SOM", "EdSomEnviar", {}, QStringLiteral("/som/foi.wav"), "/som/foi.wav");
    row("ENVIAR", "CONFIRMAR_ENTREGA", "ChBoxConfirmarEntrega",
        QStringLiteral("Confirmar mensagens recebidas e exibir a entrega das enviadas"), false, "0");
    row("BACKUP", "AUTO_BACKUP", "ChBoxAutoBackup",
        QStringLiteral("Cópia de segurança automática (ao fechar) a cada                    execuções."), false, "0");
    // No bound on the number of runs, even a meaningless one.
    row("BACKUP", "AUTO_BACKUP_CADA", "EdAutoBackupCada", {}, -5, "-5");
    row("BACKUP", "AUTO_BACKUP_TROCA", "ChBoxAutoBackupTroca",
        QStringLiteral("Permitir troca do nome da cópia de segurança automática."), false, "0");
}

// Each control shows its own key and writes only its own key: a new value written through
// the dialog changes exactly that key, and reopening shows it again.
void TestTFormConfig::everyControlMapsToItsKey()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, control);
    QFETCH(QString, caption);
    QFETCH(QVariant, value);
    QFETCH(QString, saved);

    ConfigStation s;
    s.station.tools().names().AddChannelName(QStringLiteral("REDE1"));
    const QList<ProfileFile::Entry> factory = ProfileFile(s.iniPath()).readAll();
    s.form().Exibir();
    QWidget* widget = s.control<QWidget>(control);
    if (const auto* box = qobject_cast<QCheckBox*>(widget))
        QCOMPARE(box->text(), caption);
    const SettingKey* entry = SettingKeys::find(section, key);
    QVERIFY(entry && entry->initialValue);
    const QVariant initial = widget->inherits("QCheckBox") ? QVariant(entry->initialValue->toBool())
        : widget->inherits("QSpinBox")                     ? QVariant(entry->initialValue->toInt())
                                                           : QVariant(entry->initialValue->toString());
    QCOMPARE(controlValue(widget), initial);

    setControlValue(widget, value);
    s.form().ButAplicar()->click();
    QVERIFY(s.form().isVisible());
    QCOMPARE(ProfileFile(s.iniPath()).readAll(), withValue(factory, section, key, saved));

    s.reopen();
    QCOMPARE(controlValue(widget), value);
}

void TestTFormConfig::settingsFileRemovedWhileRunning()
{
    ConfigStation s;
    s.station.setting(Setup, QStringLiteral("DEFAULT_STATUS"), SettingString, QStringLiteral("OF"));
    s.station.setting(QStringLiteral("BACKUP"), QStringLiteral("AUTO_BACKUP"), SettingBoolean, false);
    s.form().Exibir();
    QVERIFY(QFile::remove(s.iniPath()));

    s.reopen();
    QVERIFY(s.form().ComboCanal()->currentText().isEmpty());
    QCOMPARE(s.form().ComboCanal()->count(), 1);
    QCOMPARE(s.control<QCheckBox>(QStringLiteral("ChBoxExibirJanela"))->isChecked(), false);
    QCOMPARE(s.control<QCheckBox>(QStringLiteral("ChBoxExibirMsgReceber"))->isChecked(), true);
    QCOMPARE(s.control<QCheckBox>(QStringLiteral("ChBoxEmitirSomReceber"))->isChecked(), false);
    QCOMPARE(checkedStatus(s.form()), 0);
    QCOMPARE(s.control<QSpinBox>(QStringLiteral("EdMaxRegsArqHist"))->value(), 1000);
    QCOMPARE(s.control<QSpinBox>(QStringLiteral("EdMaxRegsJanHist"))->value(), 100);
    QCOMPARE(s.control<QSpinBox>(QStringLiteral("EdAutoBackupCada"))->value(), 30);
    QCOMPARE(s.control<QCheckBox>(QStringLiteral("ChBoxAutoBackup"))->isChecked(), true);
    QCOMPARE(s.control<QCheckBox>(QStringLiteral("ChBoxAutoBackupTroca"))->isChecked(), true);
    QVERIFY(!s.form().SBDefaultUser()->isChecked());
    QVERIFY(!QFile::exists(s.iniPath()));

    // Saving creates the file again, with what the dialog showed.
    s.form().ButAplicar()->click();
    QCOMPARE(s.stored(Setup, QStringLiteral("DEFAULT_CHANNEL")), QString());
    QCOMPARE(s.stored(Setup, QStringLiteral("DEFAULT_STATUS")), QStringLiteral("ON"));
    QCOMPARE(s.stored(Setup, QStringLiteral("EXIBIR_JANELA")), QStringLiteral("0"));
    QCOMPARE(s.stored(QStringLiteral("BACKUP"), QStringLiteral("AUTO_BACKUP_CADA")), QStringLiteral("30"));
    QCOMPARE(s.stored(Setup, QStringLiteral("LAST_CHANNEL")), QStringLiteral("<missing>"));
}

void TestTFormConfig::statusCodes_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("checked");
    QTest::addColumn<QString>("saved");

    QTest::newRow("normal") << "ON" << 0 << "ON";
    QTest::newRow("ocupado") << "OC" << 1 << "OC";
    QTest::newRow("invisível") << "IN" << 2 << "IN";
    QTest::newRow("ausente") << "AU" << 3 << "AU";
    QTest::newRow("não conectar") << "OF" << 4 << "OF";
    QTest::newRow("unknown code") << "XX" << -1 << "ON";
    QTest::newRow("small letters") << "in" << -1 << "ON";
    QTest::newRow("empty") << "" << -1 << "ON";
}

void TestTFormConfig::statusCodes()
{
    QFETCH(QString, stored);
    QFETCH(int, checked);
    QFETCH(QString, saved);

    ConfigStation s;
    s.station.setting(Setup, QStringLiteral("DEFAULT_STATUS"), SettingString, stored);
    s.form().Exibir();
    QCOMPARE(checkedStatus(s.form()), checked);
    s.form().ButAplicar()->click();
    QCOMPARE(s.stored(Setup, QStringLiteral("DEFAULT_STATUS")), saved);

    // The buttons stay exclusive after an unknown code left them all unchecked.
    s.form().RdButStatus().at(3)->click();
    s.form().RdButStatus().at(1)->click();
    QCOMPARE(checkedStatus(s.form()), 1);
    s.form().ButAplicar()->click();
    QCOMPARE(s.stored(Setup, QStringLiteral("DEFAULT_STATUS")), QStringLiteral("OC"));
}

void TestTFormConfig::defaultUserToggle()
{
    ConfigStation s;
    s.station.setting(Setup, QStringLiteral("DEFAULT_USER"), SettingString, QStringLiteral("ANA"));
    s.form().Exibir();
    QToolButton* toggle = s.form().SBDefaultUser();
    QVERIFY(toggle->isChecked());
    QCOMPARE(s.form().EdDefaultUser()->text(), QStringLiteral("ANA"));

    toggle->click();
    QVERIFY(!toggle->isChecked());
    QVERIFY(s.form().EdDefaultUser()->text().isEmpty());
    // Clicking a cleared toggle only sets it.
    toggle->click();
    QVERIFY(toggle->isChecked());
    QVERIFY(s.form().EdDefaultUser()->text().isEmpty());

    s.form().ButOk()->click();
    QVERIFY(!s.form().isVisible());
    QCOMPARE(s.stored(Setup, QStringLiteral("DEFAULT_USER")), QString());
    QVERIFY(s.iniBytes().contains("\r\nDEFAULT_USER=\r\n"));

    s.form().Exibir();
    QVERIFY(!toggle->isChecked());
}

void TestTFormConfig::choosingUserFillsReadOnlyText()
{
    ConfigStation s;
    for (const char* name : { "CARLA", "ana", "BRUNO" })
        s.station.tools().names().AddUserName(QString::fromLatin1(name));
    s.form().Exibir();
    QComboBox* list = s.form().ComboDefaultUser();
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->itemText(0), QStringLiteral("ana"));
    QCOMPARE(list->itemText(2), QStringLiteral("CARLA"));
    QCOMPARE(list->currentIndex(), -1);
    QVERIFY(s.form().EdDefaultUser()->text().isEmpty());
    QVERIFY(s.form().EdDefaultUser()->isReadOnly());

    emit list->activated(1);
    list->setCurrentIndex(1);
    QCOMPARE(s.form().EdDefaultUser()->text(), QStringLiteral("BRUNO"));
    QVERIFY(!s.form().SBDefaultUser()->isChecked());

    // Typing cannot change it.
    QTest::keyClicks(s.form().EdDefaultUser(), QStringLiteral("X"));
    QCOMPARE(s.form().EdDefaultUser()->text(), QStringLiteral("BRUNO"));

    s.form().ButAplicar()->click();
    QCOMPARE(s.stored(Setup, QStringLiteral("DEFAULT_USER")), QStringLiteral("BRUNO"));
}

void TestTFormConfig::channelTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("refused"); // named in the message when colloqua.ini cannot hold it

    QTest::newRow("rede1") << "rede1" << QStringLiteral("REDE1") << QString();
    QTest::newRow("eight at most") << "abcdefghij" << QStringLiteral("ABCDEFGH") << QString();
    QTest::newRow("only a to z") << "sé-1" << QStringLiteral("Sé-1") << QString();
    QTest::newRow("dead-key letter") << "rẽde" << QStringLiteral("RẽDE") << QStringLiteral("\"ẽ\" (U+1EBD)");
}

// The box takes a channel that is not on the list, and the dialog writes it as it shows it.
void TestTFormConfig::channelTyping()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, refused);

    ConfigStation s;
    s.form().Exibir();
    QLineEdit* edit = s.form().ComboCanal()->lineEdit();
    edit->selectAll();
    type(edit, typed);
    QCOMPARE(s.form().ComboCanal()->currentText(), shown);

    if (!refused.isEmpty()) {
        // Nothing is written, and the dialog stays open with what was typed.
        const QByteArray before = s.iniBytes();
        s.form().PageControl()->setCurrentIndex(1);
        s.form().ButOk()->click();
        QVERIFY(s.form().isVisible());
        QCOMPARE(s.iniBytes(), before);
        QCOMPARE(s.form().PageControl()->currentIndex(), 0);
        QCOMPARE(s.station.queued().asked().size(), 1);
        QCOMPARE(s.station.queued().asked().first().kind, Prompter::Kind::Warning);
        QVERIFY(
            s.station.queued().asked().first().text.contains(QStringLiteral("\"Canal de Comunicação\": ") + refused));
        QCOMPARE(s.form().ComboCanal()->currentText(), shown);
        return;
    }
    s.form().ButAplicar()->click();
    QCOMPARE(s.stored(Setup, QStringLiteral("DEFAULT_CHANNEL")), shown);
    QStringList channels;
    s.station.tools().names().LoadChannelList(channels);
    QCOMPARE(channels, QStringList { QStringLiteral("NETWORK") });
    s.reopen();
    // Not on the channel list: the box opens empty.
    QVERIFY(s.form().ComboCanal()->currentText().isEmpty());
}

void TestTFormConfig::storedChannelSelected_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    const QStringList list { QStringLiteral("VENDAS"), QStringLiteral("NETWORK"), QStringLiteral("rede1"),
        QStringLiteral("REDE-LONGA") };
    QTest::newRow("on the list") << list << "VENDAS"
                                 << "VENDAS";
    QTest::newRow("other letter case") << list << "vendas"
                                       << "VENDAS";
    // The box writes channels in capitals; mailbox names ignore letter case anyway.
    QTest::newRow("small letters on the list") << list << "REDE1"
                                               << "REDE1";
    QTest::newRow("not on the list") << list << "COMPRAS"
                                     << "";
    QTest::newRow("empty") << list << ""
                           << "";
    // Kept whole and saved whole: the logon judges it.
    QTest::newRow("longer than eight") << list << "REDE-LONGA"
                                       << "REDE-LONGA";
}

void TestTFormConfig::storedChannelSelected()
{
    QFETCH(QStringList, list);
    QFETCH(QString, stored);
    QFETCH(QString, shown);

    ConfigStation s;
    for (const QString& name : list)
        s.station.tools().names().AddChannelName(name);
    s.station.setting(Setup, QStringLiteral("DEFAULT_CHANNEL"), SettingString, stored);
    s.form().Exibir();
    QComboBox* box = s.form().ComboCanal();
    QCOMPARE(box->currentText(), shown);
    QCOMPARE(box->count(), 4);
    QCOMPARE(box->itemText(0), QStringLiteral("NETWORK"));
    QCOMPARE(box->itemText(1), QStringLiteral("REDE-LONGA"));
    QCOMPARE(box->itemText(2), QStringLiteral("rede1"));
    QCOMPARE(box->itemText(3), QStringLiteral("VENDAS"));
    s.form().ButAplicar()->click();
    QCOMPARE(s.stored(Setup, QStringLiteral("DEFAULT_CHANNEL")), shown);
}

void TestTFormConfig::addName_data()
{
    QTest::addColumn<bool>("user");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("listed"); // the list after it, in its order

    const auto names = [](const char* list) { return QString::fromUtf8(list).split(QLatin1Char(',')); };
    QTest::newRow("user as typed") << true << true << "joão" << names("BIA,joão");
    QTest::newRow("user not trimmed") << true << true << " ZECA " << names(" ZECA ,BIA");
    QTest::newRow("user already there") << true << true << "BIA" << names("BIA");
    QTest::newRow("user without frame characters") << true << true << "A.N(A)|[]'" << names("ANA,BIA");
    QTest::newRow("user without control characters") << true << true << "AN\tA" << names("ANA,BIA");
    QTest::newRow("user only frame characters") << true << true << ".." << names("BIA");
    QTest::newRow("user empty") << true << true << "" << names("BIA");
    QTest::newRow("user cancelled") << true << false << "ANA" << names("BIA");
    QTest::newRow("channel as typed, any length") << false << true << "rede-longa" << names("NETWORK,rede-longa");
    QTest::newRow("channel cancelled") << false << false << "REDE1" << names("NETWORK");
}

void TestTFormConfig::addName()
{
    QFETCH(bool, user);
    QFETCH(bool, confirmed);
    QFETCH(QString, answer);
    QFETCH(QStringList, listed);

    ConfigStation s;
    s.station.tools().names().AddUserName(QStringLiteral("BIA"));
    s.station.setting(Setup, QStringLiteral("DEFAULT_USER"), SettingString, QStringLiteral("BIA"));
    s.form().Exibir();
    QLineEdit* channelEdit = s.form().ComboCanal()->lineEdit();
    QTest::keyClicks(channelEdit, QStringLiteral("x"));
    const QString channelShown = s.form().ComboCanal()->currentText();

    bool openDuringPrompt = false;
    s.station.prompter().onPrompt = [&] { openDuringPrompt = s.station.tools().DialogoAberto(); };
    s.station.queued().queueText(confirmed ? std::optional<QString>(answer) : std::nullopt);
    s.form().findChild<QToolButton*>(user ? QStringLiteral("SButUsuario") : QStringLiteral("SButCanal"))->click();

    QVERIFY(openDuringPrompt);
    // The prompt's bracket has closed; the dialog's own stays open while it shows.
    QVERIFY(s.station.tools().DialogoAberto());
    QCOMPARE(s.station.queued().asked().size(), 1);
    const QueuedPrompter::Asked& asked = s.station.queued().asked().first();
    QCOMPARE(asked.title, user ? QStringLiteral("Adicionar usuário") : QStringLiteral("Adicionar canal"));
    QCOMPARE(asked.text, user ? QStringLiteral("Usuário:\n") : QStringLiteral("Canal:\n"));

    QComboBox* box = user ? s.form().ComboDefaultUser() : s.form().ComboCanal();
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    QCOMPARE(items, listed);
    QStringList file;
    if (user)
        s.station.tools().names().LoadUserList(file);
    else
        s.station.tools().names().LoadChannelList(file);
    file.sort();
    listed.sort();
    QCOMPARE(file, listed);
    // The refill keeps what the fields show.
    QCOMPARE(s.form().EdDefaultUser()->text(), QStringLiteral("BIA"));
    QCOMPARE(s.form().ComboCanal()->currentText(), channelShown);
}

void TestTFormConfig::soundCopy_data()
{
    QTest::addColumn<bool>("receber");
    QTest::addColumn<QString>("source"); // relative to a folder outside the home
    QTest::addColumn<bool>("copied");

    for (const bool receber : { true, false }) {
        const char* side = receber ? "receive" : "send";
        QTest::addRow("%s ding.wav", side) << receber << "sons/ding.wav" << true;
        QTest::addRow("%s capital extension", side) << receber << "sons/DING.WAV" << true;
        QTest::addRow("%s file gone", side) << receber << "sons/gone.wav" << false;
        QTest::addRow("%s folder named .wav", side) << receber << "sons/pasta.wav" << false;
        QTest::addRow("%s data file name", side) << receber << "sons/canais.dbt" << false;
        // colloqua.ini could not hold the copy's path.
        QTest::addRow("%s name outside Windows-1252", side) << receber << "sons/tom♫.wav" << false;
    }
}

void TestTFormConfig::soundCopy()
{
    QFETCH(bool, receber);
    QFETCH(QString, source);
    QFETCH(bool, copied);

    ConfigStation s;
    QTemporaryDir outside;
    const QString folder = outside.path() + QStringLiteral("/sons/");
    QDir().mkpath(folder + QStringLiteral("pasta.wav"));
    for (const char* name : { "ding.wav", "DING.WAV", "canais.dbt", "tom♫.wav" }) {
        QFile file(folder + QString::fromUtf8(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(someWave('d'));
    }
    const QByteArray channelList = s.station.home().read(QStringLiteral("Dados/canais.dbt"));
    s.station.setting(QStringLiteral("RECEBER"), QStringLiteral("EMITIR_SOM"), SettingBoolean, receber);
    s.station.setting(QStringLiteral("ENVIAR"), QStringLiteral("EMITIR_SOM"), SettingBoolean, !receber);
    s.station.setting(
        QStringLiteral("RECEBER"), QStringLiteral("ARQ_EMITIR_SOM"), SettingString, QStringLiteral("/r.wav"));
    s.station.setting(
        QStringLiteral("ENVIAR"), QStringLiteral("ARQ_EMITIR_SOM"), SettingString, QStringLiteral("/e.wav"));
    s.form().Exibir();
    const QByteArray before = s.iniBytes();

    TFormConfig& form = s.form();
    QLineEdit* own = receber ? form.EdSomReceber() : form.EdSomEnviar();
    QLineEdit* other = receber ? form.EdSomEnviar() : form.EdSomReceber();
    QCheckBox* ownSound = receber ? form.ChBoxEmitirSomReceber() : form.ChBoxEmitirSomEnviar();
    QCheckBox* otherSound = receber ? form.ChBoxEmitirSomEnviar() : form.ChBoxEmitirSomReceber();
    QLabel* ownWarning = receber ? form.ImgAvisoReceber() : form.ImgAvisoEnviar();
    QLabel* otherWarning = receber ? form.ImgAvisoEnviar() : form.ImgAvisoReceber();
    const QString ownBefore = own->text();
    const QString otherBefore = other->text();

    bool openDuringPrompt = false;
    s.station.prompter().onPrompt = [&] { openDuringPrompt = s.station.tools().DialogoAberto(); };
    s.station.queued().queueFile(outside.path() + QLatin1Char('/') + source);
    form.findChild<QToolButton*>(receber ? QStringLiteral("SButReceber") : QStringLiteral("SButEnviar"))->click();
    QVERIFY(openDuringPrompt);
    QCOMPARE(s.station.queued().asked().first().text, QStringLiteral("/\nArquivos Wave (*.wav)"));

    if (copied) {
        const QString destination
            = s.station.home().home().ProgramDir() + QStringLiteral("Dados/") + QFileInfo(source).fileName();
        QCOMPARE(own->text(), destination);
        QCOMPARE(own->toolTip(), destination);
        QCOMPARE(other->toolTip(), otherBefore);
        QCOMPARE(s.station.home().read(QStringLiteral("Dados/") + QFileInfo(source).fileName()), someWave('d'));
        QVERIFY(ownWarning->isHidden());
        QVERIFY(ownSound->isChecked());
        QVERIFY(!otherSound->isChecked());
    } else {
        QCOMPARE(own->text(), ownBefore);
        QVERIFY(!ownWarning->isHidden());
        QCOMPARE(ownWarning->toolTip(), QStringLiteral("Ocorreu um problema ao tentar copiar arquivo de som!"));
        QVERIFY(otherWarning->isHidden());
        QVERIFY(!ownSound->isChecked());
        QVERIFY(otherSound->isChecked());
        QCOMPARE(s.station.home().read(QStringLiteral("Dados/canais.dbt")), channelList);
        if (!source.endsWith(QStringLiteral(".dbt")))
            QVERIFY(!QFileInfo::exists(s.station.home().file(QStringLiteral("Dados/") + QFileInfo(source).fileName())));
    }
    QCOMPARE(other->text(), otherBefore);
    QVERIFY(s.station.queued().texts().size() == 1);
    // Nothing is written before "&Aplicar" or "&Ok".
    QCOMPARE(s.iniBytes(), before);
    form.ButOk()->click();
    QCOMPARE(s.stored(receber ? QStringLiteral("RECEBER") : QStringLiteral("ENVIAR"), QStringLiteral("ARQ_EMITIR_SOM")),
        own->text());
}

void TestTFormConfig::soundCopyKeepsExistingFiles()
{
    ConfigStation s;
    const QString data = s.station.home().home().dataDir() + QLatin1Char('/');
    s.station.home().write(QStringLiteral("Dados/ding.wav"), someWave('1'));
    s.form().Exibir();

    // The copy itself chosen again is kept, not emptied.
    s.station.queued().queueFile(data + QStringLiteral("ding.wav"));
    s.form().CopiarArquivo(TFormConfig::Lado::Receber);
    QCOMPARE(s.form().EdSomReceber()->text(), data + QStringLiteral("ding.wav"));
    QCOMPARE(s.station.home().read(QStringLiteral("Dados/ding.wav")), someWave('1'));

    // Another file of that name replaces it.
    QTemporaryDir outside;
    QFile other(outside.path() + QStringLiteral("/ding.wav"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write(someWave('2'));
    other.close();
    s.station.queued().queueFile(other.fileName());
    s.form().CopiarArquivo(TFormConfig::Lado::Enviar);
    QCOMPARE(s.station.home().read(QStringLiteral("Dados/ding.wav")), someWave('2'));

    // Without a data directory nothing can be copied.
    QVERIFY(QDir(data).removeRecursively());
    s.station.queued().queueFile(other.fileName());
    s.form().CopiarArquivo(TFormConfig::Lado::Enviar);
    QVERIFY(!s.form().ImgAvisoEnviar()->isHidden());
    QVERIFY(!QFileInfo::exists(data));

    // A cancelled chooser changes nothing.
    s.form().CopiarArquivo(TFormConfig::Lado::Receber);
    QVERIFY(s.form().ImgAvisoReceber()->isHidden());
    QVERIFY(!s.form().ImgAvisoEnviar()->isHidden());
}

void TestTFormConfig::cancelWritesNothing()
{
    ConfigStation s;
    s.station.tools().names().AddUserName(QStringLiteral("ANA"));
    s.station.setting(Setup, QStringLiteral("DEFAULT_STATUS"), SettingString, QStringLiteral("AU"));
    const QByteArray before = s.iniBytes();

    for (const bool titleBar : { false, true }) {
        s.form().Exibir();
        QTest::keyClicks(s.form().ComboCanal()->lineEdit(), QStringLiteral("x"));
        s.form().ComboDefaultUser()->setCurrentIndex(0);
        s.form().RdButStatus().at(4)->click();
        s.control<QCheckBox>(QStringLiteral("ChBoxFecharJanela"))->setChecked(true);
        s.control<QSpinBox>(QStringLiteral("EdMaxRegsJanHist"))->setValue(5);
        if (titleBar)
            s.form().close();
        else
            s.form().ButCancelar()->click();
        QVERIFY(!s.form().isVisible());
        QCOMPARE(s.iniBytes(), before);
    }

    s.form().Exibir();
    QCOMPARE(s.form().ComboCanal()->currentText(), QStringLiteral("NETWORK"));
    QVERIFY(s.form().EdDefaultUser()->text().isEmpty());
    QCOMPARE(checkedStatus(s.form()), 3);
    QVERIFY(!s.control<QCheckBox>(QStringLiteral("ChBoxFecharJanela"))->isChecked());
    QCOMPARE(s.control<QSpinBox>(QStringLiteral("EdMaxRegsJanHist"))->value(), 100);
}

void TestTFormConfig::failedSaveKeepsDialogOpen()
{
    ConfigStation s;
    s.form().Exibir();
    // A directory in place of the file: no write can succeed.
    QVERIFY(QFile::remove(s.iniPath()));
    QVERIFY(QDir().mkdir(s.iniPath()));

    s.form().ButOk()->click();
    QVERIFY(s.form().isVisible());
    QCOMPARE(s.station.queued().asked().size(), 1);
    QCOMPARE(s.station.queued().asked().first().kind, Prompter::Kind::Error);
    QVERIFY(s.station.queued().asked().first().text.startsWith(QStringLiteral("Unable to write to ")));
    QVERIFY(!s.form().SalvarAlteracoes());
    QVERIFY(!s.form().SalvaConfiguracoes());
}

void TestTFormConfig::openingResetsPageAndWarnings()
{
    ConfigStation s;
    s.form().Exibir();
    s.station.queued().queueFile(QStringLiteral("/nao/existe.wav"));
    s.form().CopiarArquivo(TFormConfig::Lado::Receber);
    QVERIFY(!s.form().ImgAvisoReceber()->isHidden());
    s.form().PageControl()->setCurrentIndex(1);
    // Showing an open dialog again does not re-read it.
    s.form().Exibir();
    QCOMPARE(s.form().PageControl()->currentIndex(), 1);

    s.reopen();
    QCOMPARE(s.form().PageControl()->currentIndex(), 0);
    QCOMPARE(s.form().PageControl()->tabText(0), QStringLiteral("Principal"));
    QCOMPARE(s.form().PageControl()->tabText(1), QStringLiteral("Gerais"));
    QVERIFY(s.form().ImgAvisoReceber()->isHidden());
    QVERIFY(s.form().ImgAvisoEnviar()->isHidden());
    QCOMPARE(s.form().windowTitle(), QStringLiteral("Configurações"));
    QCOMPARE(s.form().ButOk()->text(), QStringLiteral("&Ok"));
    QVERIFY(s.form().ButOk()->x() < s.form().ButCancelar()->x());
    QVERIFY(s.form().ButCancelar()->x() < s.form().ButAplicar()->x());
    QVERIFY(s.form().width() >= 441 && s.form().height() >= 425);
}

// The first-start writer keeps the keys already in the file and writes the factory values in
// the first-start order.
void TestTFormConfig::factorySettings()
{
    ConfigStation s;
    QVERIFY(QFile::remove(s.iniPath()));
    QVERIFY(s.form().SalvaConfiguracoes());
    const QList<ProfileFile::Entry> entries = ProfileFile(s.iniPath()).readAll();
    QCOMPARE(entries.size(), 26);
    QCOMPARE(entries.first().key, QStringLiteral("LAST_CHANNEL"));
    QCOMPARE(entries.at(17).section, QStringLiteral("ENVIAR"));
    QCOMPARE(entries.last().key, QStringLiteral("BACKUP_DELAY"));
    QCOMPARE(entries.last().value, QStringLiteral("30"));
    QVERIFY(s.iniBytes().startsWith("[SETUP]\r\nLAST_CHANNEL=\r\n"));
}

QTEST_MAIN(TestTFormConfig)
#include "tst_tformconfig.moc"
