#pragma once

// The Qt tests are one program, qt_tests: `qt_tests NAME [QtTest options]` runs the test class NAME
// alone, in a process and an application of its own, as a program of its own would. A test file
// ends with one of these in place of QTEST_MAIN or QTEST_GUILESS_MAIN, and QtTestMain.cpp lists it.

#include <QApplication>
#include <QCoreApplication>
#include <QTest>

#define QUORVEL_QT_TEST_RUN(TestObject, Application)                                                                   \
    int run##TestObject(int argc, char** argv) {                                                                       \
        Application app(argc, argv);                                                                                   \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject test;                                                                                               \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

// A test with widgets, as QTEST_MAIN would run it.
#define QUORVEL_QT_TEST(TestObject) QUORVEL_QT_TEST_RUN(TestObject, QApplication)
// A test without widgets or a display, as QTEST_GUILESS_MAIN would run it.
#define QUORVEL_QT_GUILESS_TEST(TestObject) QUORVEL_QT_TEST_RUN(TestObject, QCoreApplication)
