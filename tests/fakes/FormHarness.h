#pragma once

// A Form1 wired to fakes, as the platform layer wires it to real controls.

#include "panel/Form1.h"
#include "tests/fakes/FakeControls.h"
#include "tests/fakes/FakeDialogs.h"
#include "tests/fakes/FakeSerialComm.h"
#include "tests/fakes/FakeSettingsStore.h"
#include "tests/fakes/FakeSharing.h"

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::fakes {

struct FormHarness {
    FakeWindow window;
    FakeApplication app;
    FakeDialogs dialogs;
    FakeSettingsStore settings;
    FakeClock clock;
    FakeSerialComm comm;
    FakeTimer tmrPoll{std::chrono::milliseconds{500}};
    FakeTimer tmrK3Con{std::chrono::milliseconds{11000}};
    FakeSlider slider;
    FakeTextBox txtTxPwr;
    FakeLamp shpPAEnabled;
    FakeLamp shpK3Con;
    FakePushButton cmdPoll;
    FakePushButton cmdExit;
    std::array<FakeMenuItem, 16> mnuCom;
    FakeMenuItem mnuPoll;
    FakeSharing sharing;
    FakeConnectionDialog connectionDialog;
    FakeSerialDeviceList serialDevices;
    PortFolder portFolder{PortSearchDirs{}}; // a test that links ports gives it folders of its own
    Form1 form{controls()};

    FormHarness() {
        tmrPoll.onTick = [this] { form.tmrPoll_Timer(); };
        tmrK3Con.onTick = [this] { form.tmrK3Con_Timer(); };
    }

    // The Com items that carry a tick, by number.
    std::vector<int> tickedPorts() const {
        std::vector<int> ticked;
        for (std::size_t i = 0; i < mnuCom.size(); ++i) {
            if (mnuCom.at(i).checked) {
                ticked.push_back(static_cast<int>(i + 1));
            }
        }
        return ticked;
    }

    // Delivers text from the radio as one receive event.
    void reply(const std::string& text) {
        comm.receive(text);
        form.MSComm1_OnComm();
    }

    std::string lastMessage() const { return dialogs.messages.empty() ? "<none>" : dialogs.messages.back().prompt; }

    // Starts the window from the given stored settings, then forgets what start-up did to the fakes,
    // so that a test sees only what its own events do.
    void start(std::initializer_list<std::pair<std::string, std::string>> stored = {}) {
        for (const auto& [key, value] : stored) {
            settings.set(key, value);
        }
        form.Form_Load();
        forget();
    }

    void forget() {
        dialogs.messages.clear();
        dialogs.inputs.clear();
        dialogs.questions.clear();
        connectionDialog.offers.clear();
        settings.saves.clear();
        comm.written.clear();
        comm.log.clear();
        slider.calls.clear();
        shpPAEnabled.history.clear();
        shpK3Con.history.clear();
        window.calls.clear();
        tmrPoll.restarts = 0;
        tmrK3Con.restarts = 0;
        cmdPoll.focusCount = 0;
    }

private:
    Form1Controls controls() {
        std::array<MenuItem*, 16> items{};
        for (std::size_t i = 0; i < items.size(); ++i) {
            items.at(i) = &mnuCom.at(i);
        }
        const auto matcher = [] { return std::make_unique<StdRegexMatcher>(); };
        Form1Controls controls{window,   app,          dialogs,  settings, clock,   comm,  tmrPoll, tmrK3Con, slider,
                               txtTxPwr, shpPAEnabled, shpK3Con, cmdPoll,  cmdExit, items, mnuPoll, matcher};
        controls.sharing = &sharing;
        controls.sharingDialog = &sharing;
        controls.connectionDialog = &connectionDialog;
        controls.serialDevices = &serialDevices;
        controls.portFolder = &portFolder;
        return controls;
    }
};

} // namespace quorvel::fakes
