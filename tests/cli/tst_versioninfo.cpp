#include "colloquaversion.h"
#include "fileversioninfo.h"
#include "versionresource.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
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

constexpr quint32 PtBrAnsi = 0x0416u | (0x04E4u << 16);

const QStringList FixedLinesOfApp
    = { QStringLiteral("Plataforma (OS): Desconhecido"), QStringLiteral("Tipo de Arquivo: Aplicacao") };

VersionResourceContent content(quint32 translation, const QString& table, QList<QPair<QString, QString>> strings)
{
    VersionResourceContent c;
    c.translations = { translation };
    c.stringTableKey = table;
    c.strings = std::move(strings);
    c.fixed->fileType = 1;
    return c;
}

VersionResourceContent ordinary()
{
    return content(PtBrAnsi, QStringLiteral("041604E4"),
        { { QStringLiteral("FileVersion"), QStringLiteral("2.5.0.17") },
            { QStringLiteral("ProductName"), QStringLiteral("Colloqua") } });
}

// Where the node with this key starts in the block.
qsizetype nodeOffset(const QByteArray& block, const char* key)
{
    QByteArray wide;
    for (const char* c = key; *c; ++c)
        wide.append(*c).append('\0');
    wide.append(2, '\0');
    const qsizetype hit = block.indexOf(wide);
    Q_ASSERT(hit >= 6);
    return hit - 6;
}

void putWord(QByteArray& bytes, qsizetype offset, quint16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

struct Read
{
    bool verFound = false;
    QString version;
    bool attrFound = false;
    QStringList lines;
};

class VersionFiles
{
public:
    QString write(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QString::number(++m_count));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the test file");
        return path;
    }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};

Read read(const QString& path)
{
    Read r;
    r.verFound = MyFileVerInfo(path, r.version);
    r.lines = { QStringLiteral("kept") };
    r.attrFound = MyFileVersionAtributes(path, r.lines);
    r.lines.removeFirst();
    return r;
}

// A block amid other bytes, as in an executable: not at the start, not on a 32-bit boundary.
QByteArray inFile(const QByteArray& block)
{
    return QByteArray("\x7f"
                      "ELF and other bytes")
        + block + QByteArray(37, '\xCC');
}

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run cliVersion(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(COLLOQUA_CLI_PATH), QStringList { QStringLiteral("version") } + args);
    if (!process.waitForFinished(30000))
        qFatal("colloqua-cli version did not finish");
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError()) };
}
} // namespace

class TestVersionInfo final : public QObject
{
    Q_OBJECT

private slots:
    void ownExecutables_data();
    void ownExecutables();
    void cliVersionCommand();
    void noBlock_data();
    void noBlock();
    void damaged_data();
    void damaged();
    void everyTruncationFindsNothing();
    void randomDamageNeverCrashes();
    void lookup_data();
    void lookup();
    void eachKey_data();
    void eachKey();
    void fixedPart_data();
    void fixedPart();
    void strayKeyBeforeBlock();

private:
    VersionFiles m_files;
};

void TestVersionInfo::ownExecutables_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::newRow("colloqua") << QStringLiteral(COLLOQUA_APP_PATH) << QStringLiteral("colloqua")
                              << QStringLiteral("Colloqua - mensageiro de escritório sem servidor");
    QTest::newRow("colloqua-cli") << QStringLiteral(COLLOQUA_CLI_PATH) << QStringLiteral("colloqua-cli")
                                  << QStringLiteral("Colloqua - companheiro de terminal");
}

void TestVersionInfo::ownExecutables()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, description);
    const Read r = read(path);
    QVERIFY(r.verFound);
    QCOMPARE(r.version, fileVersion());
    QVERIFY(r.attrFound);
    QStringList lines = r.lines;
    // A debug build marks itself; the other lines do not depend on the build.
    lines.removeAll(QStringLiteral("Atributos: *Debug* "));
    QCOMPARE(lines.size(), 11);
    QVERIFY(lines.at(4).startsWith(QStringLiteral("Copyright: Copyright (C) ")));
    lines.removeAt(4);
    QCOMPARE(lines,
        QStringList({ QStringLiteral("Empresa: Engenheiros fundadores do Colloqua"),
            QStringLiteral("Descrição: ") + description, QStringLiteral("Versão do Arquivo: ") + fileVersion(),
            QStringLiteral("Nome Interno: ") + name, QStringLiteral("Nome Original do Arquivo: ") + name,
            QStringLiteral("Produto: Colloqua"), QStringLiteral("Versão do Produto: " COLLOQUA_VERSION),
            QStringLiteral("Comentários: Mensageiro de escritório sem servidor para desktops Linux") })
            + FixedLinesOfApp);
}

void TestVersionInfo::cliVersionCommand()
{
    QStringList lines;
    QVERIFY(MyFileVersionAtributes(QStringLiteral(COLLOQUA_APP_PATH), lines));
    const Run app = cliVersion({ QStringLiteral(COLLOQUA_APP_PATH) });
    QCOMPARE(app.exitCode, 0);
    QCOMPARE(app.out, lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));

    const Run self = cliVersion({});
    QCOMPARE(self.exitCode, 0);
    QVERIFY(self.out.contains(QStringLiteral("Nome Interno: colloqua-cli\n")));

    const Run none = cliVersion({ m_files.write("no block here") });
    QCOMPARE(none.exitCode, 1);
    QVERIFY(none.out.isEmpty());
    QVERIFY(none.err.contains(QStringLiteral("no version information")));
}

void TestVersionInfo::noBlock_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty file") << m_files.write({});
    QTest::newRow("text file") << m_files.write("FileVersion 1.0\r\n");
    QTest::newRow("missing file") << m_files.dir() + QStringLiteral("/missing");
    QTest::newRow("directory") << m_files.dir();
    QTest::newRow("empty name") << QString();
    // The test program is not built with a block.
    QTest::newRow("this test") << QCoreApplication::applicationFilePath();
}

void TestVersionInfo::noBlock()
{
    QFETCH(QString, path);
    const Read r = read(path);
    QVERIFY(!r.verFound);
    QVERIFY(r.version.isEmpty());
    QVERIFY(!r.attrFound);
    QVERIFY(r.lines.isEmpty());
}

enum class Damage
{
    RootTooLong,
    RootTooShort,
    ChildLengthZero,
    KeyWithoutEnd,
    TranslationValuePastNode,
    ChildPastParent,
};

void TestVersionInfo::damaged_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("root longer than the file") << int(Damage::RootTooLong);
    QTest::newRow("root shorter than its header") << int(Damage::RootTooShort);
    QTest::newRow("child of length 0") << int(Damage::ChildLengthZero);
    QTest::newRow("key without terminator") << int(Damage::KeyWithoutEnd);
    QTest::newRow("translation value past its node") << int(Damage::TranslationValuePastNode);
    QTest::newRow("child past its parent") << int(Damage::ChildPastParent);
}

void TestVersionInfo::damaged()
{
    QFETCH(int, damage);
    QByteArray block = buildVersionResource(ordinary());
    QVERIFY(read(m_files.write(inFile(block))).verFound);
    switch (Damage(damage)) {
    case Damage::RootTooLong:
        putWord(block, 0, quint16(block.size() + 40));
        break;
    case Damage::RootTooShort:
        putWord(block, 0, 4);
        break;
    case Damage::ChildLengthZero:
        putWord(block, nodeOffset(block, "StringFileInfo"), 0);
        break;
    case Damage::KeyWithoutEnd:
        // The string node ends inside its own key.
        putWord(block, nodeOffset(block, "ProductName"), 12);
        break;
    case Damage::TranslationValuePastNode:
        putWord(block, nodeOffset(block, "Translation") + 2, 400);
        break;
    case Damage::ChildPastParent: {
        const qsizetype table = nodeOffset(block, "StringFileInfo") + 36;
        putWord(block, table, quint16(block.size()));
        break;
    }
    }
    // The damaged block stands at the end, so a length past it runs off the file.
    const Read r = read(m_files.write(QByteArray("head") + block));
    QVERIFY(!r.verFound);
    QVERIFY(r.version.isEmpty());
    QVERIFY(!r.attrFound);
    QVERIFY(r.lines.isEmpty());
}

void TestVersionInfo::everyTruncationFindsNothing()
{
    const QByteArray block = buildVersionResource(ordinary());
    for (qsizetype size = 0; size < block.size(); ++size) {
        QByteArray part = QByteArray("lead") + block.left(size);
        const std::optional<VersionResource> found = VersionResource::find(part);
        QVERIFY2(!found, qPrintable(QStringLiteral("cut at %1").arg(size)));
    }
    QVERIFY(VersionResource::find(QByteArray(QByteArray("lead") + block)));
}

void TestVersionInfo::randomDamageNeverCrashes()
{
    const QByteArray block = buildVersionResource(ordinary());
    QRandomGenerator random(20261208);
    int found = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = block;
        const int flips = 1 + random.bounded(4);
        for (int i = 0; i < flips; ++i)
            bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        bytes.truncate(bytes.size() - random.bounded(3));
        if (const std::optional<VersionResource> resource = VersionResource::find(bytes)) {
            ++found;
            resource->fixedInfo();
            resource->translations();
            resource->queryString(u"\\StringFileInfo\\041604E4\\FileVersion");
        }
    }
    QVERIFY(found > 0); // some damage leaves a readable block
}

void TestVersionInfo::lookup_data()
{
    QTest::addColumn<QList<quint32>>("translations");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("withFixed");
    QTest::addColumn<QString>("version"); // empty: not found
    QTest::addColumn<QStringList>("lines"); // empty: not found

    const QList<QPair<QString, QString>> strings = { { QStringLiteral("FileVersion"), QStringLiteral("3.1") } };
    const QString line = QStringLiteral("Versão do Arquivo: 3.1");
    const auto withFixed = [&](QStringList lines) { return lines + FixedLinesOfApp; };

    QTest::newRow("pt-BR, Windows-1252") << QList<quint32> { PtBrAnsi } << QStringLiteral("041604E4") << true
                                         << QStringLiteral("3.1") << withFixed({ line });
    QTest::newRow("table key in lower case")
        << QList<quint32> { 0x0409u | (0x04B0u << 16) } << QStringLiteral("040904b0") << true << QStringLiteral("3.1")
        << withFixed({ line });
    // "0" + "1416": five digits name a table that no file has.
    QTest::newRow("language of four significant digits")
        << QList<quint32> { 0x1416u | (0x04E4u << 16) } << QStringLiteral("141604E4") << true << QString()
        << withFixed({});
    QTest::newRow("code page of four significant digits")
        << QList<quint32> { 0x0416u | (0xFDE9u << 16) } << QStringLiteral("0416FDE9") << true << QString()
        << withFixed({});
    QTest::newRow("only the first translation counts")
        << QList<quint32> { PtBrAnsi, 0x0409u | (0x04B0u << 16) } << QStringLiteral("040904B0") << true << QString()
        << withFixed({});
    QTest::newRow("no translation: nothing at all")
        << QList<quint32> {} << QStringLiteral("041604E4") << true << QString() << QStringList();
    QTest::newRow("no fixed part") << QList<quint32> { PtBrAnsi } << QStringLiteral("041604E4") << false
                                   << QStringLiteral("3.1") << QStringList { line };
}

void TestVersionInfo::lookup()
{
    QFETCH(QList<quint32>, translations);
    QFETCH(QString, table);
    QFETCH(bool, withFixed);
    QFETCH(QString, version);
    QFETCH(QStringList, lines);
    VersionResourceContent c = content(0, table, { { QStringLiteral("FileVersion"), QStringLiteral("3.1") } });
    c.translations = translations;
    if (!withFixed)
        c.fixed.reset();
    const Read r = read(m_files.write(inFile(buildVersionResource(c))));
    QCOMPARE(r.verFound, !version.isEmpty());
    QCOMPARE(r.version, version);
    QCOMPARE(r.attrFound, !lines.isEmpty());
    QCOMPARE(r.lines, lines);
}

void TestVersionInfo::eachKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("line");
    QTest::newRow("CompanyName") << QStringLiteral("CompanyName") << QStringLiteral("Empresa: v");
    QTest::newRow("FileDescription") << QStringLiteral("FileDescription") << QStringLiteral("Descrição: v");
    QTest::newRow("FileVersion") << QStringLiteral("FileVersion") << QStringLiteral("Versão do Arquivo: v");
    QTest::newRow("InternalName") << QStringLiteral("InternalName") << QStringLiteral("Nome Interno: v");
    QTest::newRow("LegalCopyright") << QStringLiteral("LegalCopyright") << QStringLiteral("Copyright: v");
    QTest::newRow("OriginalFilename") << QStringLiteral("OriginalFilename")
                                      << QStringLiteral("Nome Original do Arquivo: v");
    QTest::newRow("ProductName") << QStringLiteral("ProductName") << QStringLiteral("Produto: v");
    QTest::newRow("ProductVersion") << QStringLiteral("ProductVersion") << QStringLiteral("Versão do Produto: v");
    QTest::newRow("Comments") << QStringLiteral("Comments") << QStringLiteral("Comentários: v");
    QTest::newRow("key case ignored") << QStringLiteral("COMMENTS") << QStringLiteral("Comentários: v");
    QTest::newRow("other keys not shown") << QStringLiteral("PrivateBuild") << QString();
}

void TestVersionInfo::eachKey()
{
    QFETCH(QString, key);
    QFETCH(QString, line);
    const Read r = read(m_files.write(
        inFile(buildVersionResource(content(PtBrAnsi, QStringLiteral("041604E4"), { { key, QStringLiteral("v") } })))));
    QCOMPARE(r.lines, (line.isEmpty() ? QStringList() : QStringList { line }) + FixedLinesOfApp);
    QCOMPARE(r.verFound, key == QLatin1StringView("FileVersion"));
}

void TestVersionInfo::fixedPart_data()
{
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<quint32>("os");
    QTest::addColumn<quint32>("type");
    QTest::addColumn<quint32>("subtype");
    QTest::addColumn<QStringList>("lines");

    const auto lines = [](const QString& flags, const QString& os, const QString& type) {
        QStringList l;
        if (!flags.isEmpty())
            l.append(QStringLiteral("Atributos: ") + flags);
        return l + QStringList { QStringLiteral("Plataforma (OS): ") + os, QStringLiteral("Tipo de Arquivo: ") + type };
    };
    QTest::newRow("plain application") << 0u << 0u << 1u << 0u
                                       << lines({}, QStringLiteral("Desconhecido"), QStringLiteral("Aplicacao"));
    QTest::newRow("every flag, in table order")
        << 0x3Fu << 0x40004u << 2u << 0u
        << lines(QStringLiteral("*Debug* *Special Build* *Private Build* *Pre-Release Build* *Patched* "),
               QStringLiteral("Win32 API"), QStringLiteral("Dynamic-Link Lib."));
    QTest::newRow("flags outside the mask still shown")
        << 0x01u << 0x4u << 5u << 0u
        << lines(QStringLiteral("*Debug* "), QStringLiteral("Win32 API"), QStringLiteral("Virtual Device"));
    QTest::newRow("MS-DOS") << 0x08u << 0x10000u << 7u << 0u
                            << lines(QStringLiteral("*Private Build* "), QStringLiteral("MS-DOS"),
                                   QStringLiteral("Static-Link Lib."));
    QTest::newRow("16-bit Windows") << 0u << 0x10001u << 0u << 0u
                                    << lines({}, QStringLiteral("16-bit Windows sob MS-DOS"),
                                           QStringLiteral("Desconhecido"));
    QTest::newRow("OS/2 16") << 0u << 0x20000u << 1u << 0u
                             << lines({}, QStringLiteral("16-bit OS/2"), QStringLiteral("Aplicacao"));
    QTest::newRow("OS/2 32") << 0u << 0x30000u << 1u << 0u
                             << lines({}, QStringLiteral("32-bit OS/2"), QStringLiteral("Aplicacao"));
    QTest::newRow("Windows NT") << 0u << 0x40000u << 1u << 0u
                                << lines({}, QStringLiteral("Windows NT"), QStringLiteral("Aplicacao"));
    QTest::newRow("other OS in decimal") << 0u << 0x50004u << 1u << 0u
                                         << lines({}, QStringLiteral("Fora do Padrão. Código: 327684"),
                                                QStringLiteral("Aplicacao"));
    QTest::newRow("keyboard driver") << 0u << 0u << 3u << 2u
                                     << lines({}, QStringLiteral("Desconhecido"),
                                            QStringLiteral("Device driver - Driver de Teclado"));
    QTest::newRow("multimedia driver") << 0u << 0u << 3u << 9u
                                       << lines({}, QStringLiteral("Desconhecido"),
                                              QStringLiteral("Device driver - Driver Multimida"));
    QTest::newRow("driver of subtype 10")
        << 0u << 0u << 3u << 10u
        << lines({}, QStringLiteral("Desconhecido"), QStringLiteral("Device driver - Driver "));
    QTest::newRow("TrueType font") << 0u << 0u << 4u << 3u
                                   << lines(
                                          {}, QStringLiteral("Desconhecido"), QStringLiteral("Fonte - Fonte TrueType"));
    QTest::newRow("font of subtype 4") << 0u << 0u << 4u << 4u
                                       << lines({}, QStringLiteral("Desconhecido"), QStringLiteral("Fonte - Fonte "));
    QTest::newRow("type 6") << 0u << 0u << 6u << 0u << lines({}, QStringLiteral("Desconhecido"), QString());
}

void TestVersionInfo::fixedPart()
{
    QFETCH(quint32, flags);
    QFETCH(quint32, os);
    QFETCH(quint32, type);
    QFETCH(quint32, subtype);
    QFETCH(QStringList, lines);
    VersionResourceContent c = content(PtBrAnsi, QStringLiteral("041604E4"), {});
    c.fixed->fileFlagsMask = 0;
    c.fixed->fileFlags = flags;
    c.fixed->fileOS = os;
    c.fixed->fileType = type;
    c.fixed->fileSubtype = subtype;
    const Read r = read(m_files.write(inFile(buildVersionResource(c))));
    QVERIFY(!r.verFound);
    QVERIFY(r.attrFound);
    QCOMPARE(r.lines, lines);
}

void TestVersionInfo::strayKeyBeforeBlock()
{
    // A lone copy of the root's key (as a string constant of some program) is not a block.
    const QByteArray block = buildVersionResource(ordinary());
    QByteArray stray = QByteArray(6, '\0') + block.mid(6, 32) + QByteArray(64, '\0');
    putWord(stray, 0, 38); // an empty root: just its header and key
    const Read r = read(m_files.write(stray + block));
    QVERIFY(r.verFound);
    QCOMPARE(r.version, QStringLiteral("2.5.0.17"));
}

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
