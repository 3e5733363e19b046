#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTest>

// The help pages beside the built program: every page the windows open is there, and every
// link inside them leads somewhere.
namespace
{
// What a page must say for a browser to read its accented letters right.
constexpr char MetaCharset[] = "<meta charset=\"utf-8\">";

QString sourceDir()
{
    return QDir::cleanPath(QStringLiteral(COLLOQUA_TEST_DATA_DIR "/../.."));
}

QString helpDir()
{
    return QFileInfo(QStringLiteral(COLLOQUA_APP_PATH)).absolutePath() + QStringLiteral("/help/");
}

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The page names the windows hand to the document opener: "HelpDir() + QStringLiteral(...)"
// or "openHelpPage(QStringLiteral(...))", with the file that opens each.
QList<std::pair<QString, QString>> openedPages()
{
    static const QRegularExpression opened(
        QStringLiteral("(?:openHelpPage\\(|HelpDir\\(\\)\\s*\\+\\s*)QStringLiteral\\(\"([^\"]+)\"\\)"));
    QList<std::pair<QString, QString>> pages;
    QDirIterator it(sourceDir() + QStringLiteral("/src/gui"), { QStringLiteral("*.cpp") }, QDir::Files,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        auto matches = opened.globalMatch(readText(path));
        while (matches.hasNext())
            pages.append({ matches.next().captured(1), QFileInfo(path).fileName() });
    }
    return pages;
}

QStringList captures(const QString& pattern, const QString& text)
{
    QStringList found;
    auto matches = QRegularExpression(pattern).globalMatch(text);
    while (matches.hasNext())
        found.append(matches.next().captured(1));
    return found;
}

QStringList idsOf(const QString& html)
{
    return captures(QStringLiteral("\\sid=\"([^\"]+)\""), html);
}

QStringList helpPages()
{
    return QDir(helpDir()).entryList({ QStringLiteral("*.htm"), QStringLiteral("*.html") }, QDir::Files, QDir::Name);
}

void addPageRows()
{
    QTest::addColumn<QString>("page");
    const QStringList pages = helpPages();
    for (const QString& page : pages)
        QTest::newRow(qPrintable(page)) << page;
}
} // namespace

class TestHelpFiles final : public QObject
{
    Q_OBJECT

private slots:
    void windowsOpenTheManualAndTheThreeVersionPages();
    void openedPageIsBesideTheProgram_data();
    void openedPageIsBesideTheProgram();
    void everyManualPageIsInstalled_data();
    void everyManualPageIsInstalled();
    void pageIsUtf8AsItDeclares_data() { addPageRows(); }
    void pageIsUtf8AsItDeclares();
    void idsAreUnique_data() { addPageRows(); }
    void idsAreUnique();
    void linksResolve_data() { addPageRows(); }
    void linksResolve();
    void tableOfContentsListsEverySection_data() { addPageRows(); }
    void tableOfContentsListsEverySection();
};

void TestHelpFiles::windowsOpenTheManualAndTheThreeVersionPages()
{
    QSet<QString> names;
    for (const auto& [page, opener] : openedPages())
        names.insert(page);
    // If the scan stops finding them, the checks below would pass on nothing.
    QCOMPARE(names,
        (QSet<QString> { QStringLiteral("index.html"), QStringLiteral("Colloqua-Future.htm"),
            QStringLiteral("Colloqua-RevisionHist.htm"), QStringLiteral("Colloqua-RevisionHist-DEVELOPERS.htm") }));
}

void TestHelpFiles::openedPageIsBesideTheProgram_data()
{
    QTest::addColumn<QString>("page");
    for (const auto& [page, opener] : openedPages())
        QTest::addRow("%s in %s", qPrintable(page), qPrintable(opener)) << page;
}

void TestHelpFiles::openedPageIsBesideTheProgram()
{
    QFETCH(QString, page);
    // Exact name: the file system is case-sensitive, unlike the one these names come from.
    QVERIFY2(helpPages().contains(page), qPrintable(helpDir() + page + QStringLiteral(" is missing")));
    QVERIFY(QFileInfo(helpDir() + page).size() > 0);
}

void TestHelpFiles::everyManualPageIsInstalled_data()
{
    QTest::addColumn<QString>("page");
    const QStringList sources = QDir(sourceDir() + QStringLiteral("/docs/manual")).entryList(QDir::Files, QDir::Name);
    for (const QString& page : sources)
        QTest::newRow(qPrintable(page)) << page;
}

void TestHelpFiles::everyManualPageIsInstalled()
{
    QFETCH(QString, page);
    QFile source(sourceDir() + QStringLiteral("/docs/manual/") + page);
    QFile built(helpDir() + page);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QVERIFY2(built.open(QIODevice::ReadOnly), qPrintable(built.fileName()));
    QVERIFY2(source.readAll() == built.readAll(), "the build's copy is stale");
}

void TestHelpFiles::pageIsUtf8AsItDeclares()
{
    QFETCH(QString, page);
    QFile file(helpDir() + page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains(MetaCharset));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    QVERIFY2(!decoder.hasError(), "not valid UTF-8");
    QVERIFY(text.contains(QStringLiteral("<html lang=\"pt-BR\">")));
}

void TestHelpFiles::idsAreUnique()
{
    QFETCH(QString, page);
    const QStringList ids = idsOf(readText(helpDir() + page));
    QStringList twice;
    QSet<QString> seen;
    for (const QString& id : ids) {
        if (seen.contains(id))
            twice.append(id);
        seen.insert(id);
    }
    QVERIFY2(twice.isEmpty(), qPrintable(QStringLiteral("ids used twice: ") + twice.join(QLatin1Char(' '))));
}

void TestHelpFiles::linksResolve()
{
    QFETCH(QString, page);
    const QString html = readText(helpDir() + page);
    const QStringList links = captures(QStringLiteral("\\shref=\"([^\"]*)\""), html);
    QVERIFY(!links.isEmpty());
    QStringList broken;
    for (const QString& link : links) {
        if (link.contains(QLatin1String("://")) || link.startsWith(QLatin1String("mailto:")))
            continue;
        const qsizetype hash = link.indexOf(QLatin1Char('#'));
        const QString file = hash < 0 ? link : link.left(hash);
        const QString anchor = hash < 0 ? QString() : link.mid(hash + 1);
        const QString target = file.isEmpty() ? page : file;
        if (!helpPages().contains(target) && !QFileInfo::exists(helpDir() + target)) {
            broken.append(link);
            continue;
        }
        if (!anchor.isEmpty() && !idsOf(readText(helpDir() + target)).contains(anchor))
            broken.append(link);
    }
    QVERIFY2(broken.isEmpty(), qPrintable(QStringLiteral("broken links: ") + broken.join(QLatin1Char(' '))));
}

void TestHelpFiles::tableOfContentsListsEverySection()
{
    QFETCH(QString, page);
    const QString html = readText(helpDir() + page);
    const qsizetype start = html.indexOf(QLatin1String("<nav>"));
    const qsizetype end = html.indexOf(QLatin1String("</nav>"));
    QVERIFY2(start >= 0 && end > start, "no table of contents");
    const QStringList listed = captures(QStringLiteral("href=\"#([^\"]+)\""), html.mid(start, end - start));
    // Sections and their numbered subsections; unnamed headings are only captions.
    const QStringList sections = captures(QStringLiteral("<h[23] id=\"([^\"]+)\""), html);
    QVERIFY(!sections.isEmpty());
    QStringList missing;
    for (const QString& section : sections) {
        if (!listed.contains(section))
            missing.append(section);
    }
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not in the contents: ") + missing.join(QLatin1Char(' '))));
}

QTEST_GUILESS_MAIN(TestHelpFiles)
#include "tst_helpfiles.moc"
