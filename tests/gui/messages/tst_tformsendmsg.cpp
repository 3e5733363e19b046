#include "drags.h"
#include "fakeclock.h"
#include "frame.h"
#include "historyfiles.h"
#include "imagesets.h"
#include "menus.h"
#include "teststation.h"
#include "tformhistmsg.h"
#include "tformsendmsg.h"
#include "torbchecklistbox.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

namespace
{
const QString Channel = QStringLiteral("NETWORK");

// A computer of the in-memory network that only listens: what the send window sends it.
class Listener
{
public:
    Listener(FakeMailslotNetwork& network, const QString& computer)
        : m_backend(network.attach(computer))
    {
        m_backend->create(Channel);
    }

    // The text frames that reached this computer since the last call.
    QList<TDados> textFrames()
    {
        QList<TDados> frames;
        FakeClock clock;
        while (m_backend->info().count > 0) {
            const QStringList lines = QString::fromLatin1(m_backend->read()).split(QStringLiteral("\r\n"));
            TDados frame;
            ParseFrame(lines.value(3), frame, clock);
            if (frame.Command.isEmpty())
                frames.append(frame);
        }
        return frames;
    }

private:
    std::unique_ptr<FakeMailslotBackend> m_backend;
};

QStringList sentTextRecords(TestStation& station)
{
    return HistoryFiles::ReadHistoryRecords(station.tools().history().sentPath()).filter(QStringLiteral("S[]"));
}

void logOn(TestStation& station)
{
    station.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QVERIFY(station.com().EstaConectado());
}

QImage faceImage(TestStation& station, int face)
{
    return station.tools().images().ImageListFaces().pixmap(face).toImage();
}
} // namespace

class TestTFormSendMSG final : public QObject
{
    Q_OBJECT

private slots:
    void checkListSortedWithCompanions();
    void addingEntries();
    void nothingToSendKeepsWindowOpen();
    void twoOfThreeChecked();
    void lostCharactersWarnedThenSent();
    void faceChoice_data();
    void faceChoice();
    void soundAndHistoryAfterSend_data();
    void soundAndHistoryAfterSend();
    void closeEmptiesRecipientsAndKeepsText();
    void tooltipFollowsMarks();
    void removerDesconectado_data();
    void removerDesconectado();
    void typedKeys_data();
    void typedKeys();
    void textLimitedTo300();
    void menusAndShortcuts();
    void expandAndContract();
    void loadUsersAndDrops();
    void longNameKeepsLayout();
    void clickOnListHidesWarning();
    void sharedKeys_data();
    void sharedKeys();
};

void TestTFormSendMSG::checkListSortedWithCompanions()
{
    TOrbCheckListBox list;
    list.setCollation(QLocale(QLocale::Portuguese, QLocale::Brazil));
    QCOMPARE(list.AddItem(QStringLiteral("c"), QStringLiteral("carla (pc-c)"), false), 0);
    QCOMPARE(list.AddItem(QStringLiteral("a"), QStringLiteral("Ana (pc-a)"), true), 0);
    QCOMPARE(list.AddItem(QStringLiteral("b"), QStringLiteral("BRUNO (pc-b)"), true), 1);
    QCOMPARE(list.Items(),
        (QStringList { QStringLiteral("Ana (pc-a)"), QStringLiteral("BRUNO (pc-b)"), QStringLiteral("carla (pc-c)") }));
    QCOMPARE(list.IndexOf(QStringLiteral("bruno (PC-B)")), 1);
    QCOMPARE(list.IndexOf(QStringLiteral("bruno")), -1);
    // Companions and marks stay with their items when others go.
    delete list.takeItem(0);
    QCOMPARE(list.Companion(0), QStringLiteral("b"));
    QCOMPARE(list.Companion(1), QStringLiteral("c"));
    QVERIFY(list.CheckedWhenAdded(0));
    QVERIFY(!list.Checked(1));
    QCOMPARE(list.Companion(7), QString());
    QVERIFY(!list.Checked(-1));
}

void TestTFormSendMSG::addingEntries()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.AdicionarDestinatario(QStringLiteral("CARLA (pc-c)"));
    send.AdicionarDestinatario(QStringLiteral("bruno (pc-b)"));
    send.AdicionarDestinatario(QStringLiteral("ANA (pc-a)"));
    send.ChLBoxDestino()->setChecked(1, false);
    // Already there, whatever the case: untouched, still unticked.
    send.AdicionarDestinatario(QStringLiteral("BRUNO (PC-B)"));
    QCOMPARE(send.Destinatarios(),
        (QStringList { QStringLiteral("ANA (pc-a)"), QStringLiteral("bruno (pc-b)"), QStringLiteral("CARLA (pc-c)") }));
    QVERIFY(!send.isChecked(QStringLiteral("bruno (pc-b)")));
    QVERIFY(send.isChecked(QStringLiteral("ANA (pc-a)")));
    QCOMPARE(send.DicaDestinatarios(), QStringLiteral("Destino:\nANA,\nCARLA"));
}

// The warnings themselves: tst_outgoingmessage.
void TestTFormSendMSG::nothingToSendKeepsWindowOpen()
{
    const QString text = QStringLiteral("oi");
    const QString warning = QStringLiteral("Não foi selecionado destinatário!");
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    Listener everyone(network, QStringLiteral("pc-b"));
    a.home().write(QStringLiteral("Dados/enviou.wav"), QByteArrayLiteral("RIFF"));
    a.setting(QStringLiteral("ENVIAR"), QStringLiteral("ARQ_EMITIR_SOM"), SettingString,
        a.home().file(QStringLiteral("Dados/enviou.wav")));
    logOn(a);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.ChLBoxDestino()->setAllChecked(false);
    send.MemoMsg()->setPlainText(text);

    // "Enviar e Fechar" with nothing to send leaves the window open with its warning.
    send.MenuEnviarEFecharClick();
    QVERIFY(send.isVisible());
    QCOMPARE(send.Aviso(), warning);
    QCOMPARE(send.MemoMsg()->toPlainText(), text);
    QVERIFY(everyone.textFrames().isEmpty());
    QVERIFY(sentTextRecords(a).isEmpty());
    QVERIFY(a.sound().played().isEmpty());
    QVERIFY(!a.station().FormHistMSG().isVisible());

    // The warning covers the face picture; its icon opens the face menu.
    QVERIFY(QTest::qWaitForWindowExposed(&send));
    QVERIFY(!send.ImgFace()->isVisible());
    QTest::mouseClick(send.ImgWarning(), Qt::LeftButton);
    QTRY_VERIFY(send.PopMenuFaces()->isVisible());
    send.PopMenuFaces()->hide();
    QCOMPARE(send.Aviso(), warning);

    // Typing in the text hides the warning.
    QTest::keyClick(send.MemoMsg(), Qt::Key_A);
    QCOMPARE(send.Aviso(), QString());
}

void TestTFormSendMSG::twoOfThreeChecked()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    Listener b(network, QStringLiteral("pc-b"));
    Listener c(network, QStringLiteral("pc-c"));
    Listener d(network, QStringLiteral("pc-d"));
    a.setting(QStringLiteral("ENVIAR"), QStringLiteral("EXIBIR_MSG"), SettingBoolean, false);
    logOn(a);
    b.textFrames();
    c.textFrames();
    d.textFrames();
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    send.AdicionarDestinatario(QStringLiteral("DORA (pc-d)"));
    send.AdicionarDestinatario(QStringLiteral("CARLA (pc-c)"));
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.ChLBoxDestino()->setChecked(send.ChLBoxDestino()->IndexOf(QStringLiteral("CARLA (pc-c)")), false);
    send.MemoMsg()->setPlainText(QStringLiteral("reunião às 15h"));

    send.MenuEnviarClick();

    const QList<TDados> toB = b.textFrames();
    const QList<TDados> toD = d.textFrames();
    QCOMPARE(toB.size(), 1);
    QCOMPARE(toD.size(), 1);
    QVERIFY(c.textFrames().isEmpty());
    QCOMPARE(toB.first().ToUser, QStringLiteral("BRUNO"));
    QCOMPARE(toD.first().ToUser, QStringLiteral("DORA"));
    QCOMPARE(toB.first().FromUser, QStringLiteral("ANA"));
    QVERIFY(toB.first().SentAt.isValid());
    QCOMPARE(toB.first().SentAt, toD.first().SentAt);
    QCOMPARE(toD.first().MessageText, QStringLiteral("reunião às 15h"));

    // Both in the sent history, in list order, exactly as they went out.
    const QStringList records = sentTextRecords(a);
    QCOMPARE(records.size(), 2);
    QVERIFY(records.at(0).startsWith(QStringLiteral("M[ANA|BRUNO|")));
    QVERIFY(records.at(1).startsWith(QStringLiteral("M[ANA|DORA|")));
    QCOMPARE(records.at(0).section(QLatin1Char('|'), 2, 2), records.at(1).section(QLatin1Char('|'), 2, 2));

    // The recipients and their marks stay; the text is gone.
    QCOMPARE(send.Destinatarios().size(), 3);
    QVERIFY(!send.isChecked(QStringLiteral("CARLA (pc-c)")));
    QVERIFY(send.MemoMsg()->toPlainText().isEmpty());
    QCOMPARE(send.Aviso(), QString());
}

// The rest of what becomes of a typed text: tst_outgoingmessage.
void TestTFormSendMSG::lostCharactersWarnedThenSent()
{
    const QString typed = QStringLiteral("ok ✓ Жж 😀 ✓ ç?");
    const QString warning = QStringLiteral("Serão enviados como \"?\": ✓ Ж ж 😀");
    const QString sent = QStringLiteral("ok ? ?? ?? ? ç?");
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    Listener b(network, QStringLiteral("pc-b"));
    logOn(a);
    b.textFrames();
    TFormSendMSG& send = a.station().FormSendMSG();
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.MemoMsg()->setPlainText(typed);
    QCOMPARE(send.Aviso(), warning);
    QVERIFY(send.EnviarMensagem());
    QCOMPARE(send.Aviso(), QString());
    const QList<TDados> frames = b.textFrames();
    QCOMPARE(frames.size(), 1);
    QVERIFY(frames.first().Valid);
    QCOMPARE(frames.first().MessageText.size(), sent.size());
    QCOMPARE(frames.first().MessageText, sent);
}

void TestTFormSendMSG::faceChoice_data()
{
    QTest::addColumn<QString>("chosen"); // empty: no choice
    QTest::addColumn<int>("face");
    QTest::newRow("default") << QString() << 5;
    QTest::newRow("Bravo") << QStringLiteral("Bravo") << 0;
    QTest::newRow("Mal humorado") << QStringLiteral("Mal humorado") << 1;
    QTest::newRow("Indiferente") << QStringLiteral("Indiferente") << 2;
    QTest::newRow("Atento") << QStringLiteral("Atento") << 3;
    QTest::newRow("Alegre") << QStringLiteral("Alegre") << 4;
    QTest::newRow("Bem humorado") << QStringLiteral("Bem humorado") << 5;
}

void TestTFormSendMSG::faceChoice()
{
    QFETCH(QString, chosen);
    QFETCH(int, face);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    Listener b(network, QStringLiteral("pc-b"));
    logOn(a);
    b.textFrames();
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    QVERIFY(QTest::qWaitForWindowExposed(&send));
    QCOMPARE(menuCaptions(send.PopMenuFaces(), Shortcuts::Shown),
        (QStringList { QStringLiteral("Bravo"), QStringLiteral("Mal humorado"), QStringLiteral("Indiferente"),
            QStringLiteral("Atento"), QStringLiteral("Alegre"), QStringLiteral("Bem humorado") }));

    // A click on the picture opens the face menu.
    QTest::mouseClick(send.ImgFace(), Qt::LeftButton);
    QTRY_VERIFY(send.PopMenuFaces()->isVisible());
    if (!chosen.isEmpty())
        menuEntry(send.PopMenuFaces(), chosen)->trigger();
    send.PopMenuFaces()->hide();
    QCOMPARE(send.IndiceFace(), face);
    QCOMPARE(send.ImgFace()->pixmap().toImage(), faceImage(a, face));
    // Un-minimising is no new showing: the face stays.
    send.showMinimized();
    send.showNormal();
    QCOMPARE(send.IndiceFace(), face);

    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.MemoMsg()->setPlainText(QStringLiteral("oi"));
    send.MenuEnviarClick();
    const QList<TDados> frames = b.textFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first().FaceIndex, face);
    QVERIFY(send.isVisible());
    QCOMPARE(send.IndiceFace(), 5);
    QCOMPARE(send.ImgFace()->pixmap().toImage(), faceImage(a, 5));
}

void TestTFormSendMSG::soundAndHistoryAfterSend_data()
{
    QTest::addColumn<int>("settings"); // 0: both on, 1: sound only, 2: history only, 3: no settings file
    QTest::addColumn<bool>("sound");
    QTest::addColumn<bool>("history");
    QTest::newRow("both") << 0 << true << true;
    QTest::newRow("sound only") << 1 << true << false;
    QTest::newRow("history only") << 2 << false << true;
    QTest::newRow("no settings file") << 3 << true << false;
}

void TestTFormSendMSG::soundAndHistoryAfterSend()
{
    QFETCH(int, settings);
    QFETCH(bool, sound);
    QFETCH(bool, history);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    logOn(a);
    a.com().AtualizarIconeBandeja(true);
    const QString wav = a.home().file(QStringLiteral("Dados/enviou.wav"));
    a.home().write(QStringLiteral("Dados/enviou.wav"), QByteArrayLiteral("RIFF"));
    const QString enviar = QStringLiteral("ENVIAR");
    a.setting(enviar, QStringLiteral("ARQ_EMITIR_SOM"), SettingString, wav);
    if (settings == 1)
        a.setting(enviar, QStringLiteral("EXIBIR_MSG"), SettingBoolean, false);
    if (settings == 2)
        a.setting(enviar, QStringLiteral("EMITIR_SOM"), SettingBoolean, false);
    if (settings == 3)
        QVERIFY(QFile::remove(a.tools().home().settingsPath()));

    TFormSendMSG& send = a.station().FormSendMSG();
    TFormHistMSG& hist = a.station().FormHistMSG();
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.MemoMsg()->setPlainText(QStringLiteral("oi"));
    QVERIFY(send.EnviarMensagem());
    // Without a settings file there is no sound file either: the sound is asked for all the same.
    if (settings != 3)
        QCOMPARE(a.sound().played(), sound ? QStringList { wav } : QStringList());
    QCOMPARE(hist.isVisible(), history);
    if (history) {
        QVERIFY(hist.isTopmost());
        QCOMPARE(hist.AbaAtual(), int(TFormHistMSG::Enviadas));
        QCOMPARE(hist.Linhas().filter(QStringLiteral("oi")).size(), 1);
        QCOMPARE(a.tray().icon().cacheKey(), a.tools().images().ImageListNormal().icon(0).cacheKey());
    }
}

void TestTFormSendMSG::closeEmptiesRecipientsAndKeepsText()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    logOn(a);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    QVERIFY(QTest::qWaitForWindowExposed(&send));
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.MemoMsg()->setPlainText(QStringLiteral("rascunho"));
    send.SelecionarFace(0);
    send.SButExpandirClick();
    send.move(60, 70);
    send.resize(400, 300);
    const QPoint pos = send.pos();

    send.Fechar();
    QVERIFY(!send.isVisible());
    QVERIFY(send.Destinatarios().isEmpty());
    QCOMPARE(send.DicaDestinatarios(), QString());
    QCOMPARE(send.AlturaPainelDest(), TFormSendMSG::AlturaContraida);
    QCOMPARE(send.MemoMsg()->toPlainText(), QStringLiteral("rascunho"));
    const QString posicao = QStringLiteral("POSICAO");
    QCOMPARE(a.readSetting(posicao, QStringLiteral("WNDSEND_TOP"), SettingInteger).toInt(), pos.y());
    QCOMPARE(a.readSetting(posicao, QStringLiteral("WNDSEND_LEFT"), SettingInteger).toInt(), pos.x());
    QCOMPARE(a.readSetting(posicao, QStringLiteral("WNDSEND_WIDTH"), SettingInteger).toInt(), 400);
    QCOMPARE(a.readSetting(posicao, QStringLiteral("WNDSEND_HEIGHT"), SettingInteger).toInt(), 300);

    send.show();
    QCOMPARE(send.IndiceFace(), 5);
    QCOMPARE(send.MemoMsg()->toPlainText(), QStringLiteral("rascunho"));
    QVERIFY(send.SButExpandir()->isVisible());
    QVERIFY(!send.SButContrair()->isVisible());
}

// The tooltip's rule: tst_outgoingmessage.
void TestTFormSendMSG::tooltipFollowsMarks()
{
    const QStringList ticked { QStringLiteral("ANA (pc-a)"), QStringLiteral("CARLA (pc-c)") };
    const QStringList unticked { QStringLiteral("BRUNO (pc-b)") };
    const QString tooltip = QStringLiteral("Destino:\nANA,\nCARLA");
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    for (const QString& name : ticked + unticked)
        send.AdicionarDestinatario(name);
    for (const QString& name : unticked) {
        // Unticked by a click on its box, as a user would.
        TOrbCheckListBox* list = send.ChLBoxDestino();
        list->item(list->IndexOf(name))->setCheckState(Qt::Unchecked);
    }
    QCOMPARE(send.DicaDestinatarios(), tooltip);
    QCOMPARE(send.ChLBoxDestino()->toolTip().isEmpty(), tooltip.isEmpty());
}

void TestTFormSendMSG::removerDesconectado_data()
{
    QTest::addColumn<QString>("leaving");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("warning");
    const QString ana = QStringLiteral("ANA (pc-a)");
    const QString bruno = QStringLiteral("BRUNO (pc-b)");
    QTest::newRow("absent") << QStringLiteral("CARLA (pc-c)") << QStringList { ana, bruno } << QString();
    QTest::newRow("same user, other computer")
        << QStringLiteral("BRUNO (pc-x)") << QStringList { ana, bruno } << QString();
    QTest::newRow("present") << bruno << QStringList { ana } << QStringLiteral("Usuário \"BRUNO (pc-b)\" desconectou.");
    QTest::newRow("other letter case") << QStringLiteral("bruno (PC-B)") << QStringList { ana }
                                       << QStringLiteral("Usuário \"bruno (PC-B)\" desconectou.");
}

void TestTFormSendMSG::removerDesconectado()
{
    QFETCH(QString, leaving);
    QFETCH(QStringList, remaining);
    QFETCH(QString, warning);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.AdicionarDestinatario(QStringLiteral("ANA (pc-a)"));
    send.ChLBoxDestino()->setChecked(0, false);
    send.RemoverDesconectado(leaving);
    QCOMPARE(send.Destinatarios(), remaining);
    QCOMPARE(send.Aviso(), warning);
    QVERIFY(!send.isChecked(QStringLiteral("ANA (pc-a)")));
    QCOMPARE(send.DicaDestinatarios(), remaining.size() == 2 ? QStringLiteral("Destino:\nBRUNO") : QString());
}

void TestTFormSendMSG::typedKeys_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("bom dia") << QStringLiteral("bom dia");
    QTest::newRow("brackets and bar refused") << QStringLiteral("a[b]c|d") << QStringLiteral("abcd");
    QTest::newRow("only refused") << QStringLiteral("[]|") << QString();
    QTest::newRow("braces allowed") << QStringLiteral("{x}") << QStringLiteral("{x}");
}

void TestTFormSendMSG::typedKeys()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    QTest::keyClicks(send.MemoMsg(), typed);
    QCOMPARE(send.MemoMsg()->toPlainText(), text);
    // Enter alone makes a new line; Backspace hides a warning like any typed key.
    QTest::keyClick(send.MemoMsg(), Qt::Key_Return);
    QCOMPARE(send.MemoMsg()->toPlainText(), text + QLatin1Char('\n'));
    send.AdicionarDestinatario(QStringLiteral("X (pc-x)"));
    send.RemoverDesconectado(QStringLiteral("X (pc-x)"));
    QVERIFY(!send.Aviso().isEmpty());
    QTest::keyClick(send.MemoMsg(), Qt::Key_Backspace);
    QCOMPARE(send.Aviso(), QString());
    QCOMPARE(send.MemoMsg()->toPlainText(), text);
}

void TestTFormSendMSG::textLimitedTo300()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    QTest::keyClicks(send.MemoMsg(), QString(310, QLatin1Char('a')));
    QCOMPARE(send.MemoMsg()->toPlainText(), QString(300, QLatin1Char('a')));
    // Pasted in the middle: what does not fit is cut from the pasted part.
    send.MemoMsg()->setPlainText(QString(290, QLatin1Char('a')));
    QTextCursor cursor = send.MemoMsg()->textCursor();
    cursor.setPosition(10);
    send.MemoMsg()->setTextCursor(cursor);
    send.MemoMsg()->insertPlainText(QString(20, QLatin1Char('b')));
    const QString expected
        = QString(10, QLatin1Char('a')) + QString(10, QLatin1Char('b')) + QString(280, QLatin1Char('a'));
    QCOMPARE(send.MemoMsg()->toPlainText(), expected);
    // Put in whole: the end is cut.
    send.MemoMsg()->setPlainText(QString(200, QLatin1Char('x')) + QString(200, QLatin1Char('y')));
    QCOMPARE(send.MemoMsg()->toPlainText(), QString(200, QLatin1Char('x')) + QString(100, QLatin1Char('y')));
}

void TestTFormSendMSG::menusAndShortcuts()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    Listener b(network, QStringLiteral("pc-b"));
    a.setting(QStringLiteral("ENVIAR"), QStringLiteral("EXIBIR_MSG"), SettingBoolean, false);
    logOn(a);
    b.textFrames();
    TFormSendMSG& send = a.station().FormSendMSG();
    QMenu* mensagem = send.MenuBar()->actions().value(0)->menu();
    QVERIFY(mensagem);
    QCOMPARE(send.MenuBar()->actions().size(), 1);
    QCOMPARE(menuCaptions(mensagem, Shortcuts::Shown),
        (QStringList { QStringLiteral("Carregar Usuários"), QStringLiteral("Destinatários"), QStringLiteral("-"),
            QStringLiteral("Enviar\tShift+Enter"), QStringLiteral("Enviar e Fechar\tCtrl+Enter"), QStringLiteral("-"),
            QStringLiteral("Fechar\tCtrl+F4") }));
    QMenu* destinatarios = menuEntry(mensagem, QStringLiteral("Destinatários"))->menu();
    QCOMPARE(menuCaptions(destinatarios, Shortcuts::Shown),
        (QStringList { QStringLiteral("Marcar todos"), QStringLiteral("Desmarcar todos"), QStringLiteral("Remover"),
            QStringLiteral("Remover todos") }));
    QCOMPARE(menuCaptions(send.PopMenuDestino(), Shortcuts::Shown),
        (QStringList { QStringLiteral("Marcar todos"), QStringLiteral("Desmarcar todos"), QStringLiteral("-"),
            QStringLiteral("Remover\tDel"), QStringLiteral("Remover todos\tCtrl+Del") }));

    send.show();
    TOrbCheckListBox* list = send.ChLBoxDestino();
    for (const char* name : { "ANA (pc-a)", "BRUNO (pc-b)", "CARLA (pc-c)" })
        send.AdicionarDestinatario(QString::fromLatin1(name));
    menuEntry(destinatarios, QStringLiteral("Desmarcar todos"))->trigger();
    QVERIFY(!list->AnyChecked());
    QCOMPARE(send.DicaDestinatarios(), QString());
    menuEntry(send.PopMenuDestino(), QStringLiteral("Marcar todos"))->trigger();
    QCOMPARE(list->CheckedItems().size(), 3);
    QCOMPARE(send.DicaDestinatarios(), QStringLiteral("Destino:\nANA,\nBRUNO,\nCARLA"));
    // "Remover" without a selection does nothing; Del removes the selected entry.
    list->clearSelection();
    menuEntry(destinatarios, QStringLiteral("Remover"))->trigger();
    QCOMPARE(list->count(), 3);
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(send.Destinatarios(), (QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("CARLA (pc-c)") }));
    QCOMPARE(send.DicaDestinatarios(), QStringLiteral("Destino:\nBRUNO,\nCARLA"));
    QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(send.Destinatarios().isEmpty());

    // Shift+Enter sends and keeps the window; Ctrl+Enter sends and closes it.
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    QTest::keyClicks(send.MemoMsg(), QStringLiteral("um"));
    QTest::keyClick(send.MemoMsg(), Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(send.isVisible());
    QCOMPARE(b.textFrames().size(), 1);
    QVERIFY(send.MemoMsg()->toPlainText().isEmpty());
    QTest::keyClicks(send.MemoMsg(), QStringLiteral("dois"));
    QTest::keyClick(send.MemoMsg(), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(!send.isVisible());
    QCOMPARE(b.textFrames().size(), 1);
    QVERIFY(send.Destinatarios().isEmpty());

    // "Enviar para" sends and closes; Ctrl+F4 only closes.
    send.show();
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.MemoMsg()->setPlainText(QStringLiteral("tres"));
    send.ButEnviarPara()->click();
    QVERIFY(!send.isVisible());
    QCOMPARE(b.textFrames().size(), 1);
    send.show();
    send.MemoMsg()->setPlainText(QStringLiteral("quatro"));
    QTest::keyClick(send.MemoMsg(), Qt::Key_F4, Qt::ControlModifier);
    QVERIFY(!send.isVisible());
    QVERIFY(b.textFrames().isEmpty());
    QCOMPARE(send.MemoMsg()->toPlainText(), QStringLiteral("quatro"));
}

void TestTFormSendMSG::expandAndContract()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    QVERIFY(QTest::qWaitForWindowExposed(&send));
    QCOMPARE(send.AlturaPainelDest(), TFormSendMSG::AlturaContraida);
    QVERIFY(send.SButExpandir()->isVisible());
    QVERIFY(!send.SButContrair()->isVisible());
    QCOMPARE(send.SButExpandir()->toolTip(), QStringLiteral("Expandir lista de destinatários"));
    QCOMPARE(send.SButContrair()->toolTip(), QStringLiteral("Contrair lista de destinatários"));

    send.SButExpandir()->click();
    QCOMPARE(send.AlturaPainelDest(), TFormSendMSG::AlturaExpandida);
    QVERIFY(!send.SButExpandir()->isVisible());
    QVERIFY(send.SButContrair()->isVisible());
    // A taller window gives the room to the text.
    send.resize(send.width(), send.height() + 100);
    QTRY_COMPARE(send.AlturaPainelDest(), TFormSendMSG::AlturaExpandida);

    send.SButContrair()->click();
    QCOMPARE(send.AlturaPainelDest(), TFormSendMSG::AlturaContraida);
    QVERIFY(send.SButExpandir()->isVisible());

    // Dragged all the way down the splitter stops at the minimum.
    QSplitter* splitter = send.Splitter();
    const QList<int> sizes = splitter->sizes();
    splitter->setSizes({ sizes.at(0) + sizes.at(1) - 5, 5 });
    QTRY_COMPARE(send.AlturaPainelDest(), TFormSendMSG::AlturaMinima);
    QVERIFY(!send.SButExpandir()->isVisible());
    QVERIFY(send.SButContrair()->isVisible());
}

void TestTFormSendMSG::loadUsersAndDrops()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    logOn(a);
    TFormSendMSG& send = a.station().FormSendMSG();
    // Nobody known: nothing is looked at.
    QVERIFY(!send.CarregarUsuarios());

    UserTree& master = a.session().master();
    master.CriarGrupo(QStringLiteral("Vendas"));
    master.AtualizarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-b"), 0);
    master.AtualizarUsuario(QStringLiteral("BRUNO"), QStringLiteral("pc-c"), 0);
    master.AtualizarUsuario(QStringLiteral("CARLA"), QStringLiteral("pc-d"), 0);
    master.AtualizarUsuario(QStringLiteral("DORA"), QStringLiteral("pc-e"), 4);
    a.session().MontarArvore();
    a.com().MostrarArvore();

    // A drop from the tree: the user on both computers.
    UserTreeWidget* tree = a.com().TreeView();
    const auto bruno = dragOf(tree, QStringLiteral("BRUNO (pc-b)"));
    QVERIFY(bruno);
    QVERIFY(dropAt(send.MemoMsg()->viewport(), QPoint(5, 5), bruno.get()).accepted());
    QCOMPARE(send.Destinatarios(), (QStringList { QStringLiteral("BRUNO (pc-b)"), QStringLiteral("BRUNO (pc-c)") }));
    QVERIFY(send.isVisible());
    // Any other drag is refused, by the list, the text and the window.
    QMimeData text;
    text.setText(QStringLiteral("CARLA (pc-d)"));
    for (QWidget* target :
        { send.ChLBoxDestino()->viewport(), send.MemoMsg()->viewport(), static_cast<QWidget*>(&send) })
        QVERIFY(!dropAt(target, QPoint(5, 5), &text).accepted());
    QCOMPARE(send.Destinatarios().size(), 2);

    // "Carregar Usuários": everybody the tree shows (not the offline DORA).
    send.RemoverDesconectado(QStringLiteral("BRUNO (pc-c)"));
    send.ChLBoxDestino()->setAllChecked(false);
    QMenu* mensagem = send.MenuBar()->actions().value(0)->menu();
    menuEntry(mensagem, QStringLiteral("Carregar Usuários"))->trigger();
    QCOMPARE(send.Destinatarios(),
        (QStringList {
            QStringLiteral("BRUNO (pc-b)"), QStringLiteral("BRUNO (pc-c)"), QStringLiteral("CARLA (pc-d)") }));
    QVERIFY(!send.isChecked(QStringLiteral("BRUNO (pc-b)")));
    QVERIFY(send.isChecked(QStringLiteral("CARLA (pc-d)")));
    QCOMPARE(send.Aviso(), QString());

    // A group dropped on the list: its entries.
    send.Fechar();
    const auto group = dragOf(tree, QStringLiteral("Vendas"));
    QVERIFY(group);
    QVERIFY(dropAt(send.ChLBoxDestino()->viewport(), QPoint(5, 5), group.get()).accepted());
    QVERIFY(send.isVisible());
}

void TestTFormSendMSG::longNameKeepsLayout()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    QVERIFY(QTest::qWaitForWindowExposed(&send));
    const QSize before = send.size();
    const QString name = QString(5000, QLatin1Char('W')) + QStringLiteral("<b>x</b> (pc-")
        + QString(3000, QLatin1Char('z')) + QLatin1Char(')');
    send.AdicionarDestinatario(name);
    QVERIFY(send.DicaDestinatarios().endsWith(QStringLiteral("<b>x</b>")));
    // The tooltip shows the markup as text.
    QVERIFY(send.ChLBoxDestino()->toolTip().contains(QStringLiteral("&lt;b&gt;")));
    send.RemoverDesconectado(name);
    QVERIFY(send.Aviso().contains(name));
    QCOMPARE(send.LbWarning()->textFormat(), Qt::PlainText);
    QCoreApplication::processEvents();
    QCOMPARE(send.size(), before);
    QVERIFY(send.minimumSizeHint().width() < 400);
}

void TestTFormSendMSG::clickOnListHidesWarning()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormSendMSG& send = a.station().FormSendMSG();
    send.show();
    QVERIFY(QTest::qWaitForWindowExposed(&send));
    send.AdicionarDestinatario(QStringLiteral("ANA (pc-a)"));
    send.AdicionarDestinatario(QStringLiteral("BRUNO (pc-b)"));
    send.RemoverDesconectado(QStringLiteral("ANA (pc-a)"));
    QVERIFY(!send.Aviso().isEmpty());
    TOrbCheckListBox* list = send.ChLBoxDestino();
    const QRect row = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    QCOMPARE(send.Aviso(), QString());
    QVERIFY(send.isChecked(QStringLiteral("BRUNO (pc-b)")));
    // The space bar changes the mark of the current entry, and the tooltip follows.
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Space);
    QVERIFY(!send.isChecked(QStringLiteral("BRUNO (pc-b)")));
    QCOMPARE(send.DicaDestinatarios(), QString());
    // Below the last entry as well.
    send.SButExpandirClick();
    send.RemoverDesconectado(QStringLiteral("BRUNO (pc-b)"));
    QVERIFY(!send.Aviso().isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, list->viewport()->height() - 3));
    QCOMPARE(send.Aviso(), QString());
}

void TestTFormSendMSG::sharedKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("histBefore");
    QTest::addColumn<bool>("sendAfter");
    QTest::addColumn<bool>("histAfter");
    QTest::newRow("Ctrl+H opens the history") << int(Qt::Key_H) << int(Qt::ControlModifier) << false << true << true;
    QTest::newRow("Alt+H closes the history") << int(Qt::Key_H) << int(Qt::AltModifier) << true << true << false;
    QTest::newRow("Alt+N closes this window") << int(Qt::Key_N) << int(Qt::AltModifier) << true << false << true;
    QTest::newRow("Ctrl+N does nothing here") << int(Qt::Key_N) << int(Qt::ControlModifier) << false << true << false;
}

void TestTFormSendMSG::sharedKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, histBefore);
    QFETCH(bool, sendAfter);
    QFETCH(bool, histAfter);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    logOn(a);
    TFormSendMSG& send = a.station().FormSendMSG();
    TFormHistMSG& hist = a.station().FormHistMSG();
    send.show();
    if (histBefore)
        hist.show();
    QTest::keyClick(send.MemoMsg(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(send.isVisible(), sendAfter);
    QCOMPARE(hist.isVisible(), histAfter);
    // Shortcuts are not typed into the text.
    QVERIFY(send.MemoMsg()->toPlainText().isEmpty());
}

QTEST_MAIN(TestTFormSendMSG)
#include "tst_tformsendmsg.moc"
