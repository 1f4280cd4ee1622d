// qt_tests: every Qt test class in one program; the first argument names the class to run.

#include <array>
#include <cstdio>
#include <cstring>

int runAccessibilityTest(int argc, char** argv);
int runCommandLineTest(int argc, char** argv);
int runDialogsTest(int argc, char** argv);
int runDisplayCheckTest(int argc, char** argv);
int runEventGateTest(int argc, char** argv);
int runMainWindowTest(int argc, char** argv);
int runMenuTest(int argc, char** argv);
int runPowerBoxEventsTest(int argc, char** argv);
int runSerialCommTest(int argc, char** argv);
int runSettingsStoreTest(int argc, char** argv);
int runSliderEventsTest(int argc, char** argv);
int runWindowPlacementTest(int argc, char** argv);

namespace {

struct Test {
    const char* name;
    int (*run)(int argc, char** argv);
};

constexpr std::array kTests{
    Test{"AccessibilityTest", runAccessibilityTest},
    Test{"CommandLineTest", runCommandLineTest},
    Test{"DialogsTest", runDialogsTest},
    Test{"DisplayCheckTest", runDisplayCheckTest},
    Test{"EventGateTest", runEventGateTest},
    Test{"MainWindowTest", runMainWindowTest},
    Test{"MenuTest", runMenuTest},
    Test{"PowerBoxEventsTest", runPowerBoxEventsTest},
    Test{"SerialCommTest", runSerialCommTest},
    Test{"SettingsStoreTest", runSettingsStoreTest},
    Test{"SliderEventsTest", runSliderEventsTest},
    Test{"WindowPlacementTest", runWindowPlacementTest},
};

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
