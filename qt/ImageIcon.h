#pragma once

#include <QIcon>
#include <QStringList>

namespace quorvel {

// An icon of the image files given, one pixmap per file, each read as the format named (one of
// QtGui's built-in readers, such as "png"). QIcon::addFile, like any image reader left to guess
// the format, loads every image-format plugin installed to ask each whether it knows the file.
// A null icon when a file cannot be read so.
QIcon imageIcon(const QStringList& files, const char* format);

} // namespace quorvel
