#pragma once

#include <QIcon>
#include <QProxyStyle>

namespace quorvel {

// The application's style, except that the menu bar's extension button gets its icon from Qt's
// own PNG files through QtGui's PNG reader, when the icon is first drawn. Qt's built-in styles read those files with
// QIcon::addFile, which loads every image-format plugin installed (about 1 MiB of libraries, and their start-up time)
// for the one icon the window shows at start. A style from a plugin draws that icon its own way and
// is left alone, as is every other icon.
class BuiltInIconStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Takes ownership of base, as QProxyStyle does.
    explicit BuiltInIconStyle(QStyle* base);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

    // Makes this the application's style in place of the current one. A no-op for a style from a
    // plugin, whose icons are not Qt's files.
    static void install();
};

} // namespace quorvel
