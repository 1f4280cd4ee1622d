#include "qt/FontWarmUp.h"

#include <fontconfig/fontconfig.h>

#include <clocale>
#include <cstdlib>
#include <locale.h> // newlocale, uselocale
#include <malloc.h>
#include <string>
#include <system_error>

namespace quorvel {

namespace {

// Fontconfig reads the environment on the warm-up thread without a lock, while Qt unsets a
// variable or two on the main thread. glibc's unsetenv closes the gap by moving every later entry
// one place down, so a read at that moment could step over one of them. Moved to the end first,
// these leave every variable fontconfig reads where it is.
void moveToEnd(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return;
    }
    const std::string kept(value);
    ::unsetenv(name);
    ::setenv(name, kept.c_str(), 1); // a new variable goes last
}

void loadFontConfiguration() {
    // Qt sets the program's locale meanwhile; this thread reads the configuration's numbers in the
    // C locale of its own, as fontconfig reads them in any locale.
    const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    if (c != nullptr) {
        ::uselocale(c);
    }
    FcInit();
    if (c != nullptr) {
        ::uselocale(LC_GLOBAL_LOCALE);
        ::freelocale(c);
    }
}

} // namespace

FontWarmUp::FontWarmUp() {
#ifdef __GLIBC__
    // One heap for the program's few threads: an arena of the warm-up's own would keep the pages
    // of its scratch work for the rest of the run (a third of a MiB).
    mallopt(M_ARENA_MAX, 1);
#endif
    for (const char* name : kVariablesQtUnsets) {
        moveToEnd(name);
    }
    try {
        m_thread = std::thread(loadFontConfiguration);
    } catch (const std::system_error&) {
        // No thread to be had: Qt reads the configuration itself when the first font is asked for.
    }
}

void FontWarmUp::finish() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace quorvel
