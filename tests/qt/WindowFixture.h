#pragma once

// The real window wired to fake serial port, settings store and clock, with its boxes answered
// by the test unless a test wants the real ones.

#include "qt/QtMainWindow.h"
#include "qt/QtTimer.h"
#include "tests/fakes/FakeControls.h"
#include "tests/fakes/FakeSerialComm.h"
#include "tests/fakes/FakeSettingsStore.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::testing {

struct WindowFixture {
    fakes::FakeSerialComm comm;
    fakes::FakeSettingsStore settings;
    fakes::FakeClock clock;
    QtMainWindow window{comm, settings, clock};
    // The port folder, the wine COM mapping and the by-id folder, all empty and the test's own: a
    // device picked in a test never lands in the user's folders.
    QTemporaryDir folders;
    PortSearchDirs portDirs{(folders.path() + "/ports").toStdString(), (folders.path() + "/dosdevices").toStdString()};
    QString byIdFolder = folders.path() + "/by-id";

    std::vector<DialogRequest> boxes;    // every box shown, in order
    std::deque<std::string> answers;     // what input boxes return; Cancel when empty
    std::function<void()> whileBoxShown; // runs while a box waits for the user

    WindowFixture() {
        window.portFolder() = PortFolder(portDirs);
        window.serialDevices().setByIdFolder(byIdFolder);
        window.dialogs().setAnswerer([this](const DialogRequest& request) {
            boxes.push_back(request);
            if (whileBoxShown) {
                whileBoxShown();
            }
            if (request.kind == DialogRequest::Kind::Message || answers.empty()) {
                return std::string();
            }
            std::string answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }

    // Start-up with the given settings, the port left closed ("0": start-up's message is answered).
    void load(const std::string& poll = "1") {
        settings.set("poll", poll);
        window.load();
    }

    // Start-up, then a port that is open, as after choosing a working port.
    void loadWithPortOpen(const std::string& poll = "1") {
        load(poll);
        comm.open = true;
    }

    bool showActive() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    template <typename T> T* find(const char* name) { return window.findChild<T*>(QString::fromLatin1(name)); }
    QtTimer& tmrPoll() { return *find<QtTimer>("tmrPoll"); }
    QtTimer& tmrK3Con() { return *find<QtTimer>("tmrK3Con"); }

    // The power-set commands written (the poll timer's "PC;" queries left out).
    std::vector<std::string> setCommands() const {
        std::vector<std::string> commands;
        for (const std::string& text : comm.written) {
            if (text != "PC;") {
                commands.push_back(text);
            }
        }
        return commands;
    }

    std::string lastBoxPrompt() const { return boxes.empty() ? "<none>" : boxes.back().prompt; }
};

// Runs `open`, which shows the modal widget of that name, and `act` on it once it is active; a widget
// that `act` left open is then closed with Escape. False when it never showed.
inline bool actInModal(const QString& name, const std::function<void(QWidget*)>& act,
                       const std::function<void()>& open) {
    bool shown = false;
    QTimer poller;
    QObject::connect(&poller, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        // Keys go where the focus is, so the box has to be the active window first.
        if (modal == nullptr || modal->objectName() != name || QApplication::activeWindow() != modal) {
            return;
        }
        poller.stop();
        shown = true;
        act(modal);
        if (QApplication::activeModalWidget() == modal) {
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    });
    poller.start(5);
    open();
    return shown;
}

} // namespace quorvel::testing
