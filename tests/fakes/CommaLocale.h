#pragma once

// Puts the process in a locale whose decimal separator is a comma, as on many European station
// computers, for as long as the object lives. Build machines often carry no such locale, so when
// none is installed one is compiled into a private folder with localedef.

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <stdexcept>
#include <stdlib.h> // mkdtemp, setenv, unsetenv
#include <string>
#include <system_error>

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
        std::string folder = (std::filesystem::temp_directory_path() / "quorvel-locale-XXXXXX").string();
        if (mkdtemp(folder.data()) == nullptr) {
            return;
        }
        m_folder = folder;
        const std::string build = "localedef -i de_DE -f UTF-8 '" + folder + "/de_DE.UTF-8' >/dev/null 2>&1";
        // localedef answers non-zero for mere warnings; whether the locale loads is what counts.
        [[maybe_unused]] const int status = std::system(build.c_str());
        setenv("LOCPATH", folder.c_str(), 1);
        if (!use("de_DE.UTF-8")) {
            unsetenv("LOCPATH");
        }
    }

    ~CommaLocale() {
        const LibraryAllocationsUnchecked unchecked;
        std::setlocale(LC_ALL, "C");
        std::locale::global(std::locale::classic());
        unsetenv("LOCPATH");
        if (!m_folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }

    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool active() const { return m_active; }

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
    std::string m_folder;
};

} // namespace quorvel::fakes
