#include "qt/ExtensionArrowStyle.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

// Two chevrons, "»", in the given colour on a transparent image. Small ones are drawn in whole
// pixels with 45-degree strokes; Qt draws a one-pixel pen without antialiasing on the pixel whose
// top-left corner the point names.
QImage rightArrows(const QSize& size, const QColor& colour) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const int side = std::min(size.width(), size.height());
    if (side < 6) {
        return image;
    }
    const bool smooth = side >= 16;
    const qreal reach = std::max(2, qRound(side * 0.28)); // each chevron's half height and depth
    const qreal gap = std::max(3, qRound(side * 0.22));   // from one chevron to the next
    const QPointF centre = smooth ? QRectF(QPointF(), size).center()
                                  : QPointF((size.width() - 1) / 2.0, std::floor((size.height() - 1) / 2.0));
    const qreal left = smooth ? centre.x() - (reach + gap) / 2 : std::floor(centre.x() - (reach + gap) / 2);
    QPainterPath arrows;
    for (const qreal start : {left, left + gap}) {
        arrows.moveTo(start, centre.y() - reach);
        arrows.lineTo(start + reach, centre.y());
        arrows.lineTo(start, centre.y() + reach);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    painter.setPen(QPen(colour, smooth ? side / 8.0 : 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPath(arrows);
    return image;
}

// The arrows point the way the text runs, in the palette's button text.
class ExtensionArrowEngine final : public QIconEngine {
public:
    explicit ExtensionArrowEngine(bool rightToLeft) : m_rightToLeft(rightToLeft) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/) override {
        const QPalette::ColorGroup group = mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
        const QImage image = rightArrows(size, QGuiApplication::palette().color(group, QPalette::ButtonText));
        return QPixmap::fromImage(m_rightToLeft ? image.mirrored(true, false) : image);
    }

    QIconEngine* clone() const override { return new ExtensionArrowEngine(*this); }

private:
    bool m_rightToLeft;
};

} // namespace

ExtensionArrowStyle::ExtensionArrowStyle(QStyle* base) : QProxyStyle(base) {}

QIcon ExtensionArrowStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                        const QWidget* widget) const {
    if (standardIcon == SP_ToolBarHorizontalExtensionButton) {
        // The base style's own rule for which way the arrows point.
        const bool rightToLeft =
            option != nullptr ? option->direction == Qt::RightToLeft : QGuiApplication::isRightToLeft();
        return QIcon(new ExtensionArrowEngine(rightToLeft));
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

void ExtensionArrowStyle::install() {
    QStyle* current = QApplication::style();
    if (qobject_cast<ExtensionArrowStyle*>(current) != nullptr) {
        return;
    }
    const QString name = current->name();
    if (name.compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0 &&
        name.compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0) {
        return;
    }
    QApplication::setStyle(new ExtensionArrowStyle(current));
}

} // namespace quorvel
