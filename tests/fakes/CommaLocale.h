#pragma once

// Puts the process in a locale whose decimal separator is a comma, as on many European station
// computers, for as long as the object lives. Build machines often carry no such locale, so the
// build compiles one with localedef, once, into the folder QUORVEL_COMMA_LOCALE_DIR names.

#include <clocale>
#include <locale>
#include <stdexcept>
#include <stdlib.h> // setenv, unsetenv
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace quorvel::fakes {

// The C library keeps, unreferenced, the search path it builds from LOCPATH when it loads a
// locale; that is its own and no leak of the program's.
class LibraryAllocationsUnchecked {
public:
#if defined(__SANITIZE_ADDRESS__)
    LibraryAllocationsUnchecked() {
        __lsan_disable();
    }
    ~LibraryAllocationsUnchecked() {
        __lsan_enable();
    }
#else
    // User-provided, so that a guard doing nothing here is not taken for an unused variable.
    LibraryAllocationsUnchecked() {}
    ~LibraryAllocationsUnchecked() {}
#endif
    LibraryAllocationsUnchecked(const LibraryAllocationsUnchecked&) = delete;
    LibraryAllocationsUnchecked& operator=(const LibraryAllocationsUnchecked&) = delete;
};

class CommaLocale {
public:
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
            if (use(name)) {
                return;
            }
        }
#if defined(QUORVEL_COMMA_LOCALE_DIR)
        setenv("LOCPATH", QUORVEL_COMMA_LOCALE_DIR, 1);
        if (!use("de_DE.UTF-8")) {
            unsetenv("LOCPATH");
        }
#endif
    }

    ~CommaLocale() {
        const LibraryAllocationsUnchecked unchecked;
        std::setlocale(LC_ALL, "C");
        std::locale::global(std::locale::classic());
        unsetenv("LOCPATH");
    }

    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool active() const {
        return m_active;
    }

private:
    bool use(const char* name) {
        const LibraryAllocationsUnchecked unchecked;
        if (std::setlocale(LC_ALL, name) == nullptr) {
            return false;
        }
        if (std::localeconv()->decimal_point != std::string(",")) {
            std::setlocale(LC_ALL, "C");
            return false;
        }
        try {
            std::locale::global(std::locale(name));
        } catch (const std::runtime_error&) {
            // The C library's setting is the one that printf-style conversions follow; keep it.
        }
        m_active = true;
        return true;
    }

    bool m_active = false;
};

} // namespace quorvel::fakes
