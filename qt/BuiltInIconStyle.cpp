#include "qt/BuiltInIconStyle.h"

#include "qt/ImageIcon.h"

#include <QApplication>
#include <QFile>
#include <QIconEngine>
#include <QStyleOption>

#include <utility>

namespace quorvel {

namespace {

// An icon read from its files the first time it is drawn or asked about. The menu bar makes its
// extension button, with this icon, when it is made, and almost no run ever shows the button:
// reading the files then would load libpng for nothing.
class FirstUseIconEngine final : public QIconEngine {
public:
    explicit FirstUseIconEngine(QStringList files) : m_files(std::move(files)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    // The files were found when the icon was made; whether they read is not asked before use.
    bool isNull() override { return false; }
    QIconEngine* clone() const override { return new FirstUseIconEngine(*this); }

private:
    const QIcon& icon() {
        if (!m_read) {
            m_icon = imageIcon(m_files, "png");
            m_read = true;
        }
        return m_icon;
    }

    QStringList m_files;
    QIcon m_icon;
    bool m_read = false;
};

// The files Qt's common style reads for this icon; where a Qt version keeps them elsewhere, the
// icon comes from the base style as before.
QIcon extensionIcon(const QString& stem) {
    const QString folder = QStringLiteral(":/qt-project.org/styles/commonstyle/images/");
    QStringList files{folder + stem + QStringLiteral("-8.png"), folder + stem + QStringLiteral("-16.png"),
                      folder + stem + QStringLiteral("-32.png")};
    for (const QString& file : files) {
        if (!QFile::exists(file)) {
            return {};
        }
    }
    return QIcon(new FirstUseIconEngine(std::move(files)));
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
