// qt_tests: every Qt test class in one program; the first argument names the class to run.

#include <array>
#include <cstdio>
#include <cstring>

// QT_TEST_RUN(Name) for each *Test.cpp of this folder, listed by the build.
#include "QtTestList.h"

#define QT_TEST_RUN(Name) int run##Name(int argc, char** argv);
QT_TESTS
#undef QT_TEST_RUN

namespace {

struct Test {
    const char* name;
    int (*run)(int argc, char** argv);
};

#define QT_TEST_RUN(Name) Test{#Name, run##Name},
constexpr std::array kTests{QT_TESTS};
#undef QT_TEST_RUN

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2) {
        for (const Test& test : kTests) {
            if (std::strcmp(argv[1], test.name) == 0) {
                // The test sees its options only, after the program's own path.
                argv[1] = argv[0];
                return test.run(argc - 1, argv + 1);
            }
        }
    }
    std::fputs("usage: qt_tests TEST [QtTest options]\ntests:", stderr);
    for (const Test& test : kTests) {
        std::fprintf(stderr, " %s", test.name);
    }
    std::fputs("\n", stderr);
    return 2;
}
