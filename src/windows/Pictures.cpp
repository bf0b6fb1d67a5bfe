#include "windows/Pictures.h"

#include "windows/JpegPicture.h"

QIcon ProgramIcon() {
    InitPictureResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/pictures/pathmere.png"), QSize(20, 18));
    for (const int size : {32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/pictures/pathmere-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon AboutIcon() {
    InitPictureResources();
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/pictures/about-icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
