#include "fakeclock.h"
#include "frame.h"
#include "imagesets.h"

#include <QColor>
#include <QImage>
#include <QTest>

namespace
{
enum class SetName
{
    Arvore,
    Status,
    Faces,
    Normal,
    MsgChegou,
};

const ImageList& imageSet(const ImageSets& sets, SetName name)
{
    switch (name) {
    case SetName::Arvore:
        return sets.ImageListArvore();
    case SetName::Status:
        return sets.ImageListStatus();
    case SetName::Faces:
        return sets.ImageListFaces();
    case SetName::Normal:
        return sets.ImageListNormal();
    case SetName::MsgChegou:
        return sets.ImageListMsgChegou();
    }
    Q_UNREACHABLE();
}

QImage image(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

template<typename Predicate> int countPixels(const QImage& picture, Predicate predicate)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            count += predicate(picture.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

int opaquePixels(const QImage& picture)
{
    return countPixels(picture, [](QRgb pixel) { return qAlpha(pixel) > 128; });
}

enum class Family
{
    Green,
    Amber,
    Red,
    Yellow,
    Blue,
    Grey,
    Other,
};

Family family(QRgb pixel)
{
    const QColor colour = QColor::fromRgb(pixel);
    if (colour.hsvSaturation() < 60)
        return Family::Grey;
    const int hue = colour.hsvHue();
    if (hue < 18 || hue >= 340)
        return Family::Red;
    if (hue < 42)
        return Family::Amber;
    if (hue < 65)
        return Family::Yellow;
    if (hue >= 90 && hue < 170)
        return Family::Green;
    if (hue >= 200 && hue < 240)
        return Family::Blue;
    return Family::Other;
}

int pixelsOf(const QImage& picture, Family wanted)
{
    return countPixels(picture, [wanted](QRgb pixel) {
        // White glyphs say nothing about the colour.
        const bool white = qRed(pixel) > 235 && qGreen(pixel) > 235 && qBlue(pixel) > 235;
        return qAlpha(pixel) > 200 && !white && family(pixel) == wanted;
    });
}

// The colour family most of the picture's opaque pixels belong to; the envelope badge of the
// message-arrived icons can be left out.
Family mainFamily(const QImage& picture, bool ignoreBlue = false)
{
    Family best = Family::Other;
    int bestCount = -1;
    for (const Family candidate :
        { Family::Green, Family::Amber, Family::Red, Family::Yellow, Family::Blue, Family::Grey, Family::Other }) {
        const int count = candidate == Family::Blue && ignoreBlue ? 0 : pixelsOf(picture, candidate);
        if (count > bestCount) {
            best = candidate;
            bestCount = count;
        }
    }
    return best;
}
} // namespace

Q_DECLARE_METATYPE(SetName)
Q_DECLARE_METATYPE(Family)

class TestImageSets : public QObject
{
    Q_OBJECT

private slots:
    void countAndSize_data() { everySet(); }
    void countAndSize();
    void everyPictureIsDrawnAtItsSize_data() { everySet(); }
    void everyPictureIsDrawnAtItsSize();
    void picturesOfOneSetDiffer_data() { everySet(); }
    void picturesOfOneSetDiffer();
    void hiDpiPicturesHaveMorePixels_data() { everySet(); }
    void hiDpiPicturesHaveMorePixels();
    void outOfRangeIsEmpty_data() { everySet(); }
    void outOfRangeIsEmpty();
    void everyFaceAFrameCarriesHasAPicture_data();
    void everyFaceAFrameCarriesHasAPicture();
    void statusPicturesFollowStatusOrder_data();
    void statusPicturesFollowStatusOrder();
    void invisibleIsHollowOfflineIsFilled();
    void treeUsersLookLikeTheStatusMenu();
    void messageArrivedAddsABadge();
    void faceMoodsByColour();
    void controlFaceIsNotARoundFace();
    void iconsScaleForTheTray();
    void headerSplashAndApplicationIcon();

private:
    static void everySet();

    ImageSets m_sets;
};

void TestImageSets::everySet()
{
    QTest::addColumn<SetName>("set");
    QTest::addColumn<int>("count");
    QTest::addColumn<QSize>("size");
    QTest::newRow("ImageListArvore") << SetName::Arvore << 7 << QSize(16, 16);
    QTest::newRow("ImageListStatus") << SetName::Status << 5 << QSize(16, 16);
    QTest::newRow("ImageListFaces") << SetName::Faces << 10 << QSize(30, 30);
    QTest::newRow("ImageListNormal") << SetName::Normal << 5 << QSize(16, 16);
    QTest::newRow("ImageListMsgChegou") << SetName::MsgChegou << 5 << QSize(16, 16);
}

void TestImageSets::countAndSize()
{
    QFETCH(SetName, set);
    QFETCH(int, count);
    QFETCH(QSize, size);
    const ImageList& list = imageSet(m_sets, set);
    QCOMPARE(list.count(), count);
    QCOMPARE(list.size(), size);
}

void TestImageSets::everyPictureIsDrawnAtItsSize()
{
    QFETCH(SetName, set);
    QFETCH(int, count);
    QFETCH(QSize, size);
    const ImageList& list = imageSet(m_sets, set);
    for (int index = 0; index < count; ++index) {
        const QPixmap pixmap = list.pixmap(index, 1.0);
        QVERIFY2(!pixmap.isNull(), qPrintable(list.path(index)));
        QCOMPARE(pixmap.size(), size);
        // A picture must cover a good part of its square to be legible at this size.
        const int covered = opaquePixels(image(pixmap));
        QVERIFY2(covered > size.width() * size.height() / 5, qPrintable(list.path(index)));
        QVERIFY(!list.icon(index).isNull());
    }
}

void TestImageSets::picturesOfOneSetDiffer()
{
    QFETCH(SetName, set);
    QFETCH(int, count);
    const ImageList& list = imageSet(m_sets, set);
    for (int a = 0; a < count; ++a) {
        for (int b = a + 1; b < count; ++b) {
            QVERIFY2(image(list.pixmap(a, 1.0)) != image(list.pixmap(b, 1.0)),
                qPrintable(QStringLiteral("%1 and %2 look the same").arg(a).arg(b)));
        }
    }
}

void TestImageSets::hiDpiPicturesHaveMorePixels()
{
    QFETCH(SetName, set);
    QFETCH(int, count);
    QFETCH(QSize, size);
    const ImageList& list = imageSet(m_sets, set);
    for (int index = 0; index < count; ++index) {
        const QPixmap pixmap = list.pixmap(index, 2.0);
        QCOMPARE(pixmap.size(), size * 2);
        QCOMPARE(pixmap.devicePixelRatio(), 2.0);
        QCOMPARE(pixmap.deviceIndependentSize().toSize(), size);

        const QPixmap fromIcon = list.icon(index).pixmap(size, 2.0);
        QCOMPARE(fromIcon.size(), size * 2);
        QCOMPARE(fromIcon.devicePixelRatio(), 2.0);
    }
}

void TestImageSets::outOfRangeIsEmpty()
{
    QFETCH(SetName, set);
    QFETCH(int, count);
    const ImageList& list = imageSet(m_sets, set);
    for (const int index : { -1, count, count + 1, 1000 }) {
        QVERIFY(list.icon(index).isNull());
        QVERIFY(list.pixmap(index).isNull());
        QVERIFY(list.pixmap(index, 2.0).isNull());
        QVERIFY(list.path(index).isEmpty());
    }
}

void TestImageSets::everyFaceAFrameCarriesHasAPicture_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("index");
    // The history window draws the picture of whatever digit a received frame holds.
    for (int digit = 0; digit <= 9; ++digit)
        QTest::addRow("digit %d", digit) << QString::number(digit) << digit;
    QTest::newRow("letter: the default face") << QStringLiteral("x") << 5;
    QTest::newRow("two digits: the first one") << QStringLiteral("42") << 4;
}

void TestImageSets::everyFaceAFrameCarriesHasAPicture()
{
    QFETCH(QString, face);
    QFETCH(int, index);
    TDados frame;
    const FakeClock clock;
    ParseFrame(QStringLiteral("M[ANA|JOAO|070512143005|") + face + QStringLiteral("]S[]D[oi]"), frame, clock);
    QCOMPARE(frame.FaceIndex, index);
    QVERIFY(!m_sets.ImageListFaces().pixmap(frame.FaceIndex).isNull());
}

void TestImageSets::statusPicturesFollowStatusOrder_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<Family>("colour");
    QTest::newRow("0 online") << 0 << Family::Green;
    QTest::newRow("1 away") << 1 << Family::Amber;
    QTest::newRow("2 busy") << 2 << Family::Red;
    QTest::newRow("3 invisible") << 3 << Family::Grey;
    QTest::newRow("4 offline") << 4 << Family::Grey;
}

void TestImageSets::statusPicturesFollowStatusOrder()
{
    QFETCH(int, status);
    QFETCH(Family, colour);
    QCOMPARE(mainFamily(image(m_sets.ImageListStatus().pixmap(status, 1.0))), colour);
    QCOMPARE(mainFamily(image(m_sets.ImageListArvore().pixmap(status, 1.0))), colour);
    QCOMPARE(mainFamily(image(m_sets.ImageListNormal().pixmap(status, 1.0))), colour);
    QCOMPARE(mainFamily(image(m_sets.ImageListMsgChegou().pixmap(status, 2.0)), true), colour);
}

void TestImageSets::invisibleIsHollowOfflineIsFilled()
{
    // Both are grey; only the middle tells them apart.
    const QImage invisible = image(m_sets.ImageListStatus().pixmap(3, 1.0));
    const QImage offline = image(m_sets.ImageListStatus().pixmap(4, 1.0));
    QVERIFY(qAlpha(invisible.pixel(8, 8)) < 40);
    QVERIFY(qAlpha(offline.pixel(8, 8)) > 200);
    QVERIFY(opaquePixels(offline) > opaquePixels(invisible) * 3 / 2);
}

void TestImageSets::treeUsersLookLikeTheStatusMenu()
{
    for (int status = 0; status < 5; ++status) {
        QCOMPARE(
            image(m_sets.ImageListArvore().pixmap(status, 1.0)), image(m_sets.ImageListStatus().pixmap(status, 1.0)));
    }
    // A group must not be mistaken for a user.
    for (const int group : { ImageSets::ClosedGroupImage, ImageSets::OpenGroupImage }) {
        QCOMPARE(mainFamily(image(m_sets.ImageListArvore().pixmap(group, 1.0))), Family::Blue);
    }
}

void TestImageSets::messageArrivedAddsABadge()
{
    for (int status = 0; status < 5; ++status) {
        const QImage normal = image(m_sets.ImageListNormal().pixmap(status, 1.0));
        const QImage arrived = image(m_sets.ImageListMsgChegou().pixmap(status, 1.0));
        QVERIFY(normal != arrived);
        QCOMPARE(pixelsOf(normal, Family::Blue), 0);
        // The envelope must still be a visible mark at the smallest tray size.
        QVERIFY2(pixelsOf(arrived, Family::Blue) >= 20, qPrintable(QString::number(pixelsOf(arrived, Family::Blue))));
    }
}

void TestImageSets::faceMoodsByColour()
{
    const ImageList& faces = m_sets.ImageListFaces();
    QCOMPARE(mainFamily(image(faces.pixmap(0, 1.0))), Family::Red);
    for (int face = 2; face <= 5; ++face)
        QCOMPARE(mainFamily(image(faces.pixmap(face, 1.0))), Family::Yellow);
    // The faces a frame may carry without this program sending them are faded, so they do
    // not pass for a mood.
    for (int face = 6; face <= 8; ++face)
        QCOMPARE(mainFamily(image(faces.pixmap(face, 1.0))), Family::Grey);
}

void TestImageSets::controlFaceIsNotARoundFace()
{
    const ImageList& faces = m_sets.ImageListFaces();
    QVERIFY(image(faces.pixmap(ImageSets::ControlFaceImage, 1.0)) != image(faces.pixmap(5, 1.0)));
    // Round faces leave the corners clear; the control picture is a tile that fills them.
    for (int face = 0; face < faces.count(); ++face) {
        const QImage picture = image(faces.pixmap(face, 1.0));
        const bool cornerPainted = qAlpha(picture.pixel(4, 4)) > 128 && qAlpha(picture.pixel(25, 25)) > 128;
        QCOMPARE(cornerPainted, face == ImageSets::ControlFaceImage);
    }
}

void TestImageSets::iconsScaleForTheTray()
{
    for (const int side : { 16, 22, 24, 32 }) {
        const QSize size(side, side);
        for (int status = 0; status < 5; ++status) {
            for (const ImageList* list : { &m_sets.ImageListNormal(), &m_sets.ImageListMsgChegou() }) {
                const QPixmap pixmap = list->icon(status).pixmap(size, 1.0);
                QCOMPARE(pixmap.size(), size);
                QVERIFY(opaquePixels(image(pixmap)) > side * side / 4);
            }
        }
        QVERIFY(m_sets.ImageListNormal().icon(0).availableSizes().contains(size));
        const QPixmap application = m_sets.applicationIcon().pixmap(size, 1.0);
        QCOMPARE(application.size(), size);
        QVERIFY(opaquePixels(image(application)) > side * side / 4);
    }
}

void TestImageSets::headerSplashAndApplicationIcon()
{
    const QPixmap header = m_sets.headerPicture(1.0);
    QCOMPARE(header.size(), QSize(44, 35));
    QVERIFY(opaquePixels(image(header)) > 44 * 35 / 4);

    const QPixmap sharpHeader = m_sets.headerPicture(2.0);
    QCOMPARE(sharpHeader.size(), QSize(88, 70));
    QCOMPARE(sharpHeader.deviceIndependentSize().toSize(), QSize(44, 35));

    const QPixmap splash = m_sets.splashPicture(1.0);
    QCOMPARE(splash.size(), QSize(300, 150));
    // A background: every pixel painted, so the splash window shows no holes.
    QCOMPARE(opaquePixels(image(splash)), 300 * 150);

    QVERIFY(!m_sets.applicationIcon().isNull());
    QVERIFY(image(m_sets.applicationIcon().pixmap(QSize(16, 16), 1.0))
        != image(m_sets.ImageListNormal().icon(0).pixmap(QSize(16, 16), 1.0)));
}

QTEST_MAIN(TestImageSets)
#include "tst_imagesets.moc"
