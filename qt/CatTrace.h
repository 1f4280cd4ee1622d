#pragma once

#include <QByteArrayView>
#include <QLoggingCategory>
#include <QString>

namespace quorvel {

// What goes over the radio's line, one message per exchange or port event: "tx" and "rx" with
// the bytes, "open", "close", "lost" and "reopen" with the device. Off unless turned on (by the
// command line or QT_LOGGING_RULES="quorvel.cat.debug=true"); qCDebug tests the category before
// it formats anything, so a quiet trace costs the reply path one flag test.
Q_DECLARE_LOGGING_CATEGORY(lcCat)

// The bytes as one printable line between double quotes: control characters, '"', '\' and bytes
// above 0x7e written as escapes (\r, \n, \t, \", \\, \xNN).
QString visibleBytes(QByteArrayView bytes);

} // namespace quorvel
