#include "imagesets.h"

#include "svgiconengine.h"

#include <QGuiApplication>
#include <QStringList>

// The pictures are compiled into this static library; a resource file in a static library is
// only linked in when something names it.
static void initColloquaResources()
{
    Q_INIT_RESOURCE(colloqua);
}

namespace
{
QString picture(const QString& name)
{
    return QStringLiteral(":/colloqua/") + name;
}

QStringList pictures(const QString& folder, const QStringList& names, const QString& suffix = {})
{
    QStringList paths;
    for (const QString& name : names)
        paths.append(picture(folder + QLatin1Char('/') + name + suffix + QStringLiteral(".svg")));
    return paths;
}

// In status order: online, away, busy, invisible, offline.
const QStringList& statusNames()
{
    static const QStringList names { QStringLiteral("online"), QStringLiteral("away"), QStringLiteral("busy"),
        QStringLiteral("invisible"), QStringLiteral("offline") };
    return names;
}

QStringList treePictures()
{
    QStringList paths = pictures(QStringLiteral("status"), statusNames());
    paths.append(picture(QStringLiteral("tree/group-closed.svg")));
    paths.append(picture(QStringLiteral("tree/group-open.svg")));
    return paths;
}

QStringList facePictures()
{
    return pictures(QStringLiteral("faces"),
        { QStringLiteral("0-bravo"), QStringLiteral("1-mal-humorado"), QStringLiteral("2-indiferente"),
            QStringLiteral("3-atento"), QStringLiteral("4-alegre"), QStringLiteral("5-bem-humorado"),
            QStringLiteral("6-neutral"), QStringLiteral("7-neutral"), QStringLiteral("8-neutral"),
            QStringLiteral("9-control") });
}

qreal applicationPixelRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

// Runs before the members are built, so their files are there when they are parsed.
QSize withResources(QSize size)
{
    initColloquaResources();
    return size;
}
} // namespace

ImageSets::ImageSets()
    : m_arvore(withResources(SmallSize), treePictures())
    , m_status(SmallSize, pictures(QStringLiteral("status"), statusNames()))
    , m_faces(FaceSize, facePictures())
    , m_normal(SmallSize, pictures(QStringLiteral("tray"), statusNames()))
    , m_msgChegou(SmallSize, pictures(QStringLiteral("tray"), statusNames(), QStringLiteral("-message")))
    , m_applicationIcon(new SvgIconEngine(picture(QStringLiteral("colloqua.svg")), QSize(64, 64)))
{ }

QPixmap ImageSets::headerPicture() const
{
    return headerPicture(applicationPixelRatio());
}

QPixmap ImageSets::headerPicture(qreal devicePixelRatio) const
{
    return SvgIconEngine::render(picture(QStringLiteral("header.svg")), HeaderSize, devicePixelRatio);
}

QPixmap ImageSets::menuHeaderPicture(qreal devicePixelRatio) const
{
    return SvgIconEngine::render(picture(QStringLiteral("menu-header.svg")), MenuHeaderSize, devicePixelRatio);
}

QPixmap ImageSets::splashPicture() const
{
    return splashPicture(applicationPixelRatio());
}

QPixmap ImageSets::splashPicture(qreal devicePixelRatio) const
{
    return SvgIconEngine::render(picture(QStringLiteral("splash.svg")), SplashSize, devicePixelRatio);
}
