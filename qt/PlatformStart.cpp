#include "qt/PlatformStart.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace quorvel {

namespace {
// Qt's category for finding and loading its plugins, the platform's among them.
constexpr const char* kPluginCategory = "qt.qpa.plugin";
} // namespace

PlatformStart::PlatformStart(QString platform) : m_platform(std::move(platform)) {
    s_current = this;
    m_previous = qInstallMessageHandler(&PlatformStart::handle);
}

PlatformStart::~PlatformStart() {
    started();
}

void PlatformStart::started() {
    if (s_current != this) {
        return;
    }
    qInstallMessageHandler(m_previous);
    s_current = nullptr;
    for (const Held& held : std::exchange(m_held, {})) {
        m_previous(held.type, QMessageLogContext(nullptr, 0, nullptr, held.category), held.message);
    }
}

void PlatformStart::handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    PlatformStart* watch = s_current;
    if (type == QtFatalMsg) {
        // Nothing is open yet that would need closing: the window and the port come later.
        const QString platform = watch->m_platform.isEmpty()
                                     ? QStringLiteral("its default platform")
                                     : QStringLiteral("the platform \"%1\"").arg(watch->m_platform);
        std::fprintf(stderr, "quorvel: no display to show the window on (Qt cannot start %s)\n", qPrintable(platform));
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (context.category != nullptr && std::strcmp(context.category, kPluginCategory) == 0) {
        watch->m_held.push_back({type, kPluginCategory, message});
        return;
    }
    watch->m_previous(type, context, message);
}

} // namespace quorvel
