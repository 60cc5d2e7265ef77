#include "window/RoomPictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPixmap>

QIcon BitmapToIcon(const QString& fileName) {
    // Icons are pixmaps, which exist only in a GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return {};
    }
    QImageReader reader(fileName);
    reader.setAutoTransform(false);
    const QImage loaded = reader.read();
    if (loaded.isNull() || loaded.width() <= 0 || loaded.height() <= 0) {
        return {};
    }
    const QRgb transparent = loaded.pixel(0, loaded.height() - 1) & 0xFFFFFFu;

    // Stretched as GDI does on colour bitmaps: nearest pixel, no blending, so
    // the transparent colour survives exactly.
    QImage icon =
        loaded.convertToFormat(QImage::Format_ARGB32)
            .scaled(SystemIconSize, SystemIconSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    for (int y = 0; y < icon.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(icon.scanLine(y));
        for (int x = 0; x < icon.width(); ++x) {
            if ((line[x] & 0xFFFFFFu) == transparent) {
                line[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    return QIcon(QPixmap::fromImage(icon));
}
