#include "qt/BuiltInIconStyle.h"

#include "qt/PngIcon.h"

#include <QApplication>
#include <QStyleOption>

namespace quorvel {

namespace {

// The files Qt's common style reads for this icon; where a Qt version keeps them elsewhere, the
// icon comes from the base style as before.
QIcon extensionIcon(const QString& stem) {
    const QString folder = QStringLiteral(":/qt-project.org/styles/commonstyle/images/");
    return pngIcon({folder + stem + QStringLiteral("-8.png"), folder + stem + QStringLiteral("-16.png"),
                    folder + stem + QStringLiteral("-32.png")});
}

} // namespace

BuiltInIconStyle::BuiltInIconStyle(QStyle* base) : QProxyStyle(base) {}

QIcon BuiltInIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                     const QWidget* widget) const {
    if (standardIcon == SP_ToolBarHorizontalExtensionButton) {
        // The base style's own rule for which way the arrows point.
        const bool rightToLeft =
            option != nullptr ? option->direction == Qt::RightToLeft : QGuiApplication::isRightToLeft();
        QIcon icon = extensionIcon(rightToLeft ? QStringLiteral("toolbar-ext-h-rtl") : QStringLiteral("toolbar-ext-h"));
        if (!icon.isNull()) {
            return icon;
        }
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

void BuiltInIconStyle::install() {
    QStyle* current = QApplication::style();
    if (qobject_cast<BuiltInIconStyle*>(current) != nullptr) {
        return;
    }
    const QString name = current->name();
    if (name.compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0 &&
        name.compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0) {
        return;
    }
    QApplication::setStyle(new BuiltInIconStyle(current));
}

} // namespace quorvel
