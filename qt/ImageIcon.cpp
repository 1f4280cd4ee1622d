#include "qt/ImageIcon.h"

#include <QImageReader>
#include <QPixmap>

namespace quorvel {

QIcon imageIcon(const QStringList& files, const char* format) {
    QIcon icon;
    for (const QString& file : files) {
        QImageReader reader(file, format);
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
