#pragma once

#include <QIcon>
#include <QStringList>

namespace quorvel {

// An icon of the PNG files given, one pixmap per file, read by QtGui's own PNG reader. QIcon::addFile,
// like any image reader left to guess the format, loads every image-format plugin installed to ask
// each whether it knows the file. A null icon when a file cannot be read as PNG.
QIcon pngIcon(const QStringList& files);

} // namespace quorvel
