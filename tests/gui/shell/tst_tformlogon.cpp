#include "namelists.h"
#include "teststation.h"
#include "tformlogon.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace
{
using Pairs = QList<std::pair<QString, QString>>;

const QString Setup = QStringLiteral("SETUP");

// A station with the given lists and SETUP keys; no settings file when `setup` is empty.
void prepare(TestStation& a, const QStringList& channels, const QStringList& users, const Pairs& setup)
{
    for (const QString& channel : channels)
        a.tools().names().AddChannelName(channel);
    for (const QString& user : users)
        a.tools().names().AddUserName(user);
    for (const auto& [key, value] : setup)
        a.setting(Setup, key, SettingString, value);
}

bool hasFocus(const TFormLogon& logon, const QComboBox* box)
{
    return logon.focusWidget() == box || logon.focusWidget() == box->lineEdit();
}
} // namespace

class TestTFormLogon final : public QObject
{
    Q_OBJECT

private slots:
    void proposedPair_data();
    void proposedPair();
    void typing_data();
    void typing();
    void ok_data();
    void ok();
    void enterKeys();
    void cancelChangesNothing();
    void showStartsAfresh();
};

void TestTFormLogon::proposedPair_data()
{
    QTest::addColumn<QStringList>("channels");
    QTest::addColumn<QStringList>("users");
    QTest::addColumn<Pairs>("setup");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("focusOnUser");

    const QStringList channels { QStringLiteral("VENDAS"), QStringLiteral("NETWORK"), QStringLiteral("ADM") };
    const QStringList users { QStringLiteral("BRUNO"), QStringLiteral("ANA"), QStringLiteral("CARLA") };
    const auto both = [](const char* c1, const char* u1, const char* c2, const char* u2) {
        return Pairs { { QStringLiteral("DEFAULT_CHANNEL"), QString::fromUtf8(c1) },
            { QStringLiteral("DEFAULT_USER"), QString::fromUtf8(u1) },
            { QStringLiteral("LAST_CHANNEL"), QString::fromUtf8(c2) },
            { QStringLiteral("LAST_USER"), QString::fromUtf8(u2) } };
    };
    QTest::newRow("both defaults set: the defaults")
        << channels << users << both("ADM", "ANA", "VENDAS", "BRUNO") << "ADM"
        << "ANA" << true;
    QTest::newRow("default user empty: the last pair, not the default channel")
        << channels << users << both("ADM", "", "VENDAS", "BRUNO") << "VENDAS"
        << "BRUNO" << true;
    QTest::newRow("default channel empty: the last pair, not the default user")
        << channels << users << both("", "ANA", "VENDAS", "BRUNO") << "VENDAS"
        << "BRUNO" << true;
    QTest::newRow("matched without letter case") << channels << users << both("adm", "carla", "", "") << "ADM"
                                                 << "CARLA" << true;
    QTest::newRow("remembered user no longer listed") << channels << users << both("", "", "VENDAS", "ZECA") << "VENDAS"
                                                      << "" << true;
    QTest::newRow("remembered channel no longer listed: the first channel, focus stays")
        << channels << users << both("", "", "RH", "ANA") << "ADM"
        << "ANA" << false;
    QTest::newRow("keys absent: the last channel defaults to NETWORK")
        << channels << users << Pairs { { QStringLiteral("EXIBIR_MSG"), QStringLiteral("1") } } << "NETWORK"
        << "" << true;
    QTest::newRow("first use: no settings file, empty lists") << QStringList() << QStringList() << Pairs() << ""
                                                              << "" << false;
}

void TestTFormLogon::proposedPair()
{
    QFETCH(QStringList, channels);
    QFETCH(QStringList, users);
    QFETCH(Pairs, setup);
    QFETCH(QString, channel);
    QFETCH(QString, user);
    QFETCH(bool, focusOnUser);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    prepare(a, channels, users, setup);
    QCOMPARE(QFileInfo::exists(a.home().home().ProgramDir() + QStringLiteral("colloqua.ini")), !setup.isEmpty());
    TFormLogon& logon = a.station().FormLogon();
    logon.Exibir();
    QCOMPARE(logon.ComboCanal()->currentText(), channel);
    QCOMPARE(logon.ComboUsuario()->currentText(), user);
    QVERIFY(hasFocus(logon, focusOnUser ? logon.ComboUsuario() : logon.ComboCanal()));
    QVERIFY(!logon.Alterado());
    // Both lists are sorted.
    QStringList listed;
    for (int i = 0; i < logon.ComboUsuario()->count(); ++i)
        listed.append(logon.ComboUsuario()->itemText(i));
    QStringList sorted = users;
    sorted.sort();
    QCOMPARE(listed, sorted);
    logon.reject();
}

void TestTFormLogon::typing_data()
{
    QTest::addColumn<bool>("userField");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("user: letters become capitals, the dot is dropped") << true << "ab.c"
                                                                       << "ABC";
    QTest::newRow("user: every forbidden character dropped") << true << "a'b(c)d[e]f|g"
                                                             << "ABCDEFG";
    QTest::newRow("user: digits and signs kept") << true << "joao-2 x_y"
                                                 << "JOAO-2 X_Y";
    QTest::newRow("user: at most 15 characters") << true << "abcdefghijklmnopq"
                                                 << "ABCDEFGHIJKLMNO";
    QTest::newRow("channel: capitals, dot dropped") << false << "ven.das"
                                                    << "VENDAS";
    QTest::newRow("channel: at most 8 characters") << false << "financeiro"
                                                   << "FINANCEI";
}

void TestTFormLogon::typing()
{
    QFETCH(bool, userField);
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormLogon& logon = a.station().FormLogon();
    logon.Exibir();
    QComboBox* box = userField ? logon.ComboUsuario() : logon.ComboCanal();
    QTest::keyClicks(box->lineEdit(), typed);
    QCOMPARE(box->currentText(), shown);
    QVERIFY(logon.Alterado());
    logon.reject();
}

void TestTFormLogon::ok_data()
{
    QTest::addColumn<QString>("session"); // "USER/CHANNEL" logged on before, or empty
    QTest::addColumn<QString>("typedUser"); // typed over the proposed user; empty: nothing typed
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("afterwards"); // "USER/CHANNEL STATUS" or "" when logged off

    const QString question = QStringLiteral("Deseja alterar para usuário \"BRUNO\" no canal \"VENDAS\"?");
    QTest::newRow("logged off, nothing typed: logs on") << ""
                                                        << "" << false << ""
                                                        << "ANA/VENDAS ON";
    QTest::newRow("logged off, typed: logs on without asking") << ""
                                                               << "bruno" << false << ""
                                                               << "BRUNO/VENDAS ON";
    QTest::newRow("same session, nothing typed: nothing happens") << "ANA/VENDAS"
                                                                  << "" << false << ""
                                                                  << "ANA/VENDAS AU";
    QTest::newRow("another session proposed, nothing typed: switches without asking") << "CARLA/VENDAS"
                                                                                      << "" << false << ""
                                                                                      << "ANA/VENDAS ON";
    QTest::newRow("typed while logged on, Yes: switches") << "ANA/VENDAS"
                                                          << "bruno" << true << question << "BRUNO/VENDAS ON";
    QTest::newRow("typed while logged on, No: stays") << "ANA/VENDAS"
                                                      << "bruno" << false << question << "ANA/VENDAS AU";
    QTest::newRow("same name retyped while logged on: still asks")
        << "ANA/VENDAS"
        << "ana" << false << QStringLiteral("Deseja alterar para usuário \"ANA\" no canal \"VENDAS\"?")
        << "ANA/VENDAS AU";
}

void TestTFormLogon::ok()
{
    QFETCH(QString, session);
    QFETCH(QString, typedUser);
    QFETCH(bool, answer);
    QFETCH(QString, question);
    QFETCH(QString, afterwards);

    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    prepare(a, { QStringLiteral("VENDAS") }, { QStringLiteral("ANA"), QStringLiteral("BRUNO") }, {});
    if (!session.isEmpty()) {
        const QStringList parts = session.split(QLatin1Char('/'));
        a.com().Conectar(parts.at(0), parts.at(1), QStringLiteral("ON"));
        // A reconnection would set ON again: Away shows whether the session was left alone.
        a.com().AlterarStatus(2);
    }
    // The proposal: the last pair, overwritten after any logon above.
    a.setting(Setup, QStringLiteral("LAST_CHANNEL"), SettingString, QStringLiteral("VENDAS"));
    a.setting(Setup, QStringLiteral("LAST_USER"), SettingString, QStringLiteral("ANA"));

    TFormLogon& logon = a.station().FormLogon();
    logon.Exibir();
    if (!typedUser.isEmpty()) {
        logon.ComboUsuario()->lineEdit()->selectAll();
        QTest::keyClicks(logon.ComboUsuario()->lineEdit(), typedUser);
    }
    a.queued().queueConfirm(answer);
    bool dialogoAberto = false;
    a.prompter().onPrompt = [&] { dialogoAberto = a.tools().DialogoAberto(); };
    logon.ButOK()->click();

    QVERIFY(!logon.isVisible());
    if (question.isEmpty()) {
        QVERIFY(a.queued().asked().isEmpty());
    } else {
        QCOMPARE(a.queued().asked().size(), 1);
        QCOMPARE(a.queued().asked().at(0).what, QStringLiteral("confirm"));
        QCOMPARE(a.queued().asked().at(0).kind, Prompter::Kind::Warning);
        QCOMPARE(a.queued().asked().at(0).text, question);
        QVERIFY(dialogoAberto);
        QVERIFY(!a.tools().DialogoAberto());
    }
    const QString now = a.com().EstaConectado()
        ? a.com().UsuarioAtual() + QLatin1Char('/') + a.com().CanalAtual() + QLatin1Char(' ') + a.com().StatusAtual()
        : QString();
    QCOMPARE(now, afterwards);
}

void TestTFormLogon::enterKeys()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormLogon& logon = a.station().FormLogon();
    logon.Exibir();
    QVERIFY(hasFocus(logon, logon.ComboCanal()));

    // An empty user name: Enter in the user field closes the dialog and does nothing else.
    QTest::keyClicks(logon.ComboCanal()->lineEdit(), QStringLiteral("vendas"));
    QTest::keyClick(logon.ComboCanal()->lineEdit(), Qt::Key_Return);
    QVERIFY(logon.isVisible());
    QVERIFY(hasFocus(logon, logon.ComboUsuario()));
    QTest::keyClick(logon.ComboUsuario()->lineEdit(), Qt::Key_Enter);
    QVERIFY(!logon.isVisible());
    QVERIFY(!a.com().EstaConectado());

    logon.Exibir();
    QTest::keyClicks(logon.ComboCanal()->lineEdit(), QStringLiteral("vendas"));
    QTest::keyClicks(logon.ComboUsuario()->lineEdit(), QStringLiteral("ana"));
    QTest::keyClick(logon.ComboUsuario()->lineEdit(), Qt::Key_Return);
    QVERIFY(!logon.isVisible());
    QVERIFY(a.com().EstaConectado());
    QCOMPARE(a.com().UsuarioAtual(), QStringLiteral("ANA"));
    QCOMPARE(a.com().CanalAtual(), QStringLiteral("VENDAS"));
}

void TestTFormLogon::cancelChangesNothing()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    a.com().Conectar(QStringLiteral("ANA"), QStringLiteral("VENDAS"), QStringLiteral("ON"));
    const QByteArray settings = a.home().read(QStringLiteral("colloqua.ini"));
    TFormLogon& logon = a.station().FormLogon();
    for (const bool escape : { false, true }) {
        logon.Exibir();
        QTest::keyClicks(logon.ComboUsuario()->lineEdit(), QStringLiteral("bruno"));
        if (escape)
            QTest::keyClick(&logon, Qt::Key_Escape);
        else
            logon.ButCancela()->click();
        QVERIFY(!logon.isVisible());
        QVERIFY(a.queued().asked().isEmpty());
        QCOMPARE(a.com().UsuarioAtual(), QStringLiteral("ANA"));
        QCOMPARE(a.home().read(QStringLiteral("colloqua.ini")), settings);
    }
}

void TestTFormLogon::showStartsAfresh()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    prepare(a, { QStringLiteral("VENDAS") }, { QStringLiteral("ANA") },
        { { QStringLiteral("LAST_CHANNEL"), QStringLiteral("VENDAS") },
            { QStringLiteral("LAST_USER"), QStringLiteral("ANA") } });
    TFormLogon& logon = a.station().FormLogon();
    logon.Exibir();
    logon.ComboUsuario()->lineEdit()->selectAll();
    QTest::keyClicks(logon.ComboUsuario()->lineEdit(), QStringLiteral("zeca"));
    logon.reject();
    // A name added since the last showing is listed; nothing typed before survives.
    a.tools().names().AddUserName(QStringLiteral("BRUNO"));
    logon.Exibir();
    QVERIFY(!logon.Alterado());
    QCOMPARE(logon.ComboUsuario()->currentText(), QStringLiteral("ANA"));
    QCOMPARE(logon.ComboUsuario()->count(), 2);
    logon.reject();
}

QTEST_MAIN(TestTFormLogon)
#include "tst_tformlogon.moc"
