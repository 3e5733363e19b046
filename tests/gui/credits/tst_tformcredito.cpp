#include "colloquaversion.h"
#include "creditstext.h"
#include "fileversioninfo.h"
#include "teststation.h"
#include "tformcredito.h"
#include "tformmain.h"
#include "versionresource.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTest>

namespace
{
// The project version in four parts, as the version blocks carry it.
QString fileVersion()
{
    QStringList parts = QStringLiteral(COLLOQUA_VERSION).split(QLatin1Char('.'));
    while (parts.size() < 4)
        parts.append(QStringLiteral("0"));
    return parts.join(QLatin1Char('.'));
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

QByteArray blockWithLanguage(quint16 language)
{
    VersionResourceContent content;
    content.translations = { language | (0x04E4u << 16) };
    // Tables are named with four hexadecimal digits each for language and code page.
    content.stringTableKey = QStringLiteral("%1").arg(language, 4, 16, QLatin1Char('0')) + QStringLiteral("04E4");
    content.strings = { { QStringLiteral("FileVersion"), QStringLiteral("9.8.7.6") } };
    content.fixed->fileType = 1;
    return QByteArray("before") + buildVersionResource(content);
}
} // namespace

class TestTFormCredito final : public QObject
{
    Q_OBJECT

private slots:
    void creditsTextShownOnce();
    void versionInformation_data();
    void versionInformation();
    void tabsSwitchPages_data();
    void tabsSwitchPages();
    void makersLink_data();
    void makersLink();

private:
    QTemporaryDir m_dir;
};

void TestTFormCredito::creditsTextShownOnce()
{
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormCredito& credits = a.station().FormCredito();
    for (int opening = 0; opening < 2; ++opening) {
        a.station().FormMain().Creditos();
        QVERIFY(credits.isVisible());
        QVERIFY(credits.isModal());
        credits.close();
    }
    QCOMPARE(credits.MemoTXT()->toPlainText(), ColloquaCredits());
    QCOMPARE(credits.MemoTXT()->toPlainText().count(QStringLiteral("AGRADECIMENTOS")), 1);
    QVERIFY(credits.MemoTXT()->isReadOnly());
    QCOMPARE(credits.LbTitiShadow()->text(), QStringLiteral("Colloqua"));
    QCOMPARE(credits.LbTitiOver()->text(), QStringLiteral("Colloqua"));
    // The tray names the running program, and this test program carries no version block.
    QCOMPARE(credits.LbVer()->text(), QString());
    QCOMPARE(credits.Memo()->toPlainText(), QString());
}

void TestTFormCredito::versionInformation_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("lines");

    QStringList appLines;
    MyFileVersionAtributes(QStringLiteral(COLLOQUA_APP_PATH), appLines);
    QTest::newRow("our own program") << QStringLiteral(COLLOQUA_APP_PATH) << fileVersion()
                                     << appLines.join(QLatin1Char('\n'));
    QTest::newRow("two-digit language") << writeFile(m_dir, QStringLiteral("short"), blockWithLanguage(0x416))
                                        << QStringLiteral("9.8.7.6")
                                        << QStringLiteral("Versão do Arquivo: 9.8.7.6\n"
                                                          "Plataforma (OS): Desconhecido\n"
                                                          "Tipo de Arquivo: Aplicacao");
    // No version text stops the showing: the fixed part is not listed either.
    QTest::newRow("four-digit language") << writeFile(m_dir, QStringLiteral("long"), blockWithLanguage(0x1416))
                                         << QString() << QString();
    QTest::newRow("no block") << writeFile(m_dir, QStringLiteral("plain"), "plain bytes") << QString() << QString();
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing")) << QString() << QString();
}

void TestTFormCredito::versionInformation()
{
    QFETCH(QString, path);
    QFETCH(QString, version);
    QFETCH(QString, lines);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormCredito& credits = a.station().FormCredito();
    QCOMPARE(credits.LbVer()->text(), QStringLiteral("0.0.00.000"));
    // Shown once with our program first, so that nothing of it may linger.
    credits.MostraCreditos(QStringLiteral("Colloqua"), QStringLiteral(COLLOQUA_APP_PATH), ColloquaCredits());
    QVERIFY(!credits.LbVer()->text().isEmpty());
    credits.close();

    credits.MostraCreditos(QStringLiteral("Título"), path, QStringLiteral("texto"));
    QCOMPARE(credits.LbVer()->text(), version);
    QCOMPARE(credits.Memo()->toPlainText(), lines);
    QCOMPARE(credits.MemoTXT()->toPlainText(), QStringLiteral("texto"));
    QCOMPARE(credits.LbTitiOver()->text(), QStringLiteral("Título"));
}

void TestTFormCredito::tabsSwitchPages_data()
{
    QTest::addColumn<QList<int>>("tabs");
    QTest::addColumn<bool>("fileInformation");
    QTest::newRow("as opened") << QList<int> {} << false;
    QTest::newRow("file information") << QList<int> { 1 } << true;
    QTest::newRow("and back") << QList<int> { 1, 0 } << false;
}

void TestTFormCredito::tabsSwitchPages()
{
    QFETCH(QList<int>, tabs);
    QFETCH(bool, fileInformation);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormCredito& credits = a.station().FormCredito();
    credits.MostraCreditos(QStringLiteral("Colloqua"), QStringLiteral(COLLOQUA_APP_PATH), ColloquaCredits());
    QTabBar* tabSet = credits.TabSet1();
    QCOMPARE(tabSet->count(), 2);
    QCOMPARE(tabSet->tabText(0), QStringLiteral("Creditos"));
    QCOMPARE(tabSet->tabText(1), QStringLiteral("Informações do arquivo"));
    for (const int tab : tabs)
        QTest::mouseClick(tabSet, Qt::LeftButton, {}, tabSet->tabRect(tab).center());
    QCOMPARE(credits.currentPage(),
        fileInformation ? static_cast<QWidget*>(credits.Memo()) : static_cast<QWidget*>(credits.MemoTXT()));
}

void TestTFormCredito::makersLink_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("left click opens the page") << Qt::LeftButton << QStringList { TFormCredito::MakerWebPage() };
    QTest::newRow("right click does nothing") << Qt::RightButton << QStringList();
}

void TestTFormCredito::makersLink()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QStringList, opened);
    FakeMailslotNetwork network;
    TestStation a(QStringLiteral("pc-a"), network);
    TFormCredito& credits = a.station().FormCredito();
    credits.MostraCreditos(QStringLiteral("Colloqua"), QString(), ColloquaCredits());
    QTest::mouseClick(credits.Label2(), button);
    QCOMPARE(a.opener().opened(), opened);
}

QTEST_MAIN(TestTFormCredito)
#include "tst_tformcredito.moc"
