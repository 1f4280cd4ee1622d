#include "qt/PngIcon.h"

#include <QImageReader>
#include <QPixmap>

namespace quorvel {

QIcon pngIcon(const QStringList& files) {
    QIcon icon;
    for (const QString& file : files) {
        QImageReader reader(file, "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (image.isNull()) {
            return {};
        }
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace quorvel
