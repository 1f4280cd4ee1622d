#include "qt/CatTrace.h"

namespace quorvel {

Q_LOGGING_CATEGORY(lcCat, "quorvel.cat", QtInfoMsg)

QString visibleBytes(QByteArrayView bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    QString shown;
    shown.reserve(bytes.size() + 2);
    shown += u'"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '\r':
            shown += QLatin1StringView("\\r");
            break;
        case '\n':
            shown += QLatin1StringView("\\n");
            break;
        case '\t':
            shown += QLatin1StringView("\\t");
            break;
        case '"':
        case '\\':
            shown += u'\\';
            shown += QLatin1Char(c);
            break;
        default:
            if (byte < 0x20 || byte > 0x7e) {
                shown += QLatin1StringView("\\x");
                shown += QLatin1Char(kHex[byte >> 4]);
                shown += QLatin1Char(kHex[byte & 0xf]);
            } else {
                shown += QLatin1Char(c);
            }
        }
    }
    shown += u'"';
    return shown;
}

} // namespace quorvel
