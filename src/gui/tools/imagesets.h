#pragma once

#include "imagelist.h"

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The program's shared pictures: the five image sets the windows use by index, the
// communicator's header picture, the splash picture and the application icon.
//
// Index meanings: a status number (0 online, 1 away, 2 busy, 3 invisible, 4 offline) picks
// the picture in ImageListStatus, ImageListNormal, ImageListMsgChegou and, for a user entry,
// ImageListArvore; a face digit picks the picture in ImageListFaces.
class ImageSets final
{
public:
    // Image indexes with a meaning of their own.
    static constexpr int ClosedGroupImage = 5;
    static constexpr int OpenGroupImage = 6;
    static constexpr int ControlFaceImage = 9;

    static constexpr QSize SmallSize { 16, 16 };
    static constexpr QSize FaceSize { 30, 30 };
    static constexpr QSize HeaderSize { 44, 35 };
    static constexpr QSize SplashSize { 300, 150 };
    static constexpr QSize MenuHeaderSize { 79, 82 };

    ImageSets();

    // 7 pictures: a user entry by status (0 to 4), a closed group (5), an open group (6).
    const ImageList& ImageListArvore() const { return m_arvore; }
    // 5 pictures: the status menu entries, by status.
    const ImageList& ImageListStatus() const { return m_status; }
    // 10 pictures of 30x30: the faces 0 to 5, three neutral faces for digits the program never
    // sends (6 to 8), and the picture of control frames (9).
    const ImageList& ImageListFaces() const { return m_faces; }
    // 5 tray icons, by the user's own status.
    const ImageList& ImageListNormal() const { return m_normal; }
    // 5 tray icons, by the user's own status, while a received message waits to be looked at.
    const ImageList& ImageListMsgChegou() const { return m_msgChegou; }

    // The picture at the left of the communicator's header, HeaderSize.
    QPixmap headerPicture() const;
    QPixmap headerPicture(qreal devicePixelRatio) const;
    // The picture at the top of the tray menu, MenuHeaderSize.
    QPixmap menuHeaderPicture(qreal devicePixelRatio) const;
    // The background of the splash window, SplashSize.
    QPixmap splashPicture() const;
    QPixmap splashPicture(qreal devicePixelRatio) const;
    // The program's icon: window icons, and the tray while nobody is logged on.
    QIcon applicationIcon() const { return m_applicationIcon; }

private:
    ImageList m_arvore;
    ImageList m_status;
    ImageList m_faces;
    ImageList m_normal;
    ImageList m_msgChegou;
    QIcon m_applicationIcon;
};
