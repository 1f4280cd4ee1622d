#pragma once

#include <QProxyStyle>

namespace quorvel {

// The application's style, except that the menu bar's extension button gets an arrow drawn here.
// Qt's own styles load that icon from image files, which brings in every image-format plugin
// installed (half a MiB resident) for a button the window is wide enough never to show; the menu
// bar asks for the icon when it is made all the same. Every other icon is the base style's.
class ExtensionArrowStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Takes ownership of base, as QProxyStyle does.
    explicit ExtensionArrowStyle(QStyle* base);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

    // Makes this the application's style in place of the current one, if that is one of Qt's own
    // (Fusion, Windows). A style from a plugin draws its icons its own way and is left alone.
    static void install();
};

} // namespace quorvel
