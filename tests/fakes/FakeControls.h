#pragma once

// Test doubles for the window's controls. Each records what was done to it; nothing runs by itself.

#include "app/Clock.h"
#include "link/RunTimeError.h"
#include "panel/Application.h"
#include "panel/Lamp.h"
#include "panel/MenuItem.h"
#include "panel/PushButton.h"
#include "panel/RegexMatcher.h"
#include "panel/SerialDeviceList.h"
#include "panel/Slider.h"
#include "panel/TextBox.h"
#include "panel/Timer.h"
#include "panel/Window.h"

#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace quorvel::fakes {

class FakeLamp : public Lamp {
public:
    void setFillColor(Color color) override {
        if (fails) {
            throw RunTimeError(err::kInternalError, "Lamp cannot be drawn");
        }
        this->color = color;
        history.push_back(color);
    }
    void setNote(const std::string& words) override { note = words; }
    Color color = kButtonFace;
    std::string note;
    std::vector<Color> history;
    bool fails = false; // lets a test reach the error report of a handler that only sets a colour
};

class FakeMenuItem : public MenuItem {
public:
    void setChecked(bool checked) override { this->checked = checked; }
    bool checked = false;
};

class FakePushButton : public PushButton {
public:
    void setFocus() override {
        ++focusCount;
        if (onFocus) {
            onFocus();
        }
    }
    int focusCount = 0;
    std::function<void()> onFocus; // lets a test run the focus change the platform would cause
};

class FakeSlider : public Slider {
public:
    void setMax(std::int32_t v) override { calls.push_back("Max=" + std::to_string(max = v)); }
    void setTickFrequency(std::int32_t v) override {
        calls.push_back("TickFrequency=" + std::to_string(tickFrequency = v));
    }
    void setLargeChange(std::int32_t v) override { calls.push_back("LargeChange=" + std::to_string(largeChange = v)); }
    void setSmallChange(std::int32_t v) override { calls.push_back("SmallChange=" + std::to_string(smallChange = v)); }
    std::int32_t value() const override { return current; }
    void setValue(std::int32_t v) override {
        if (refuseValuesAboveMax && v > max) {
            throw RunTimeError::invalidPropertyValue();
        }
        calls.push_back("Value=" + std::to_string(current = v));
    }
    void setToolTipText(const std::string& text) override { toolTip = text; }

    std::int32_t max = 100;
    std::int32_t tickFrequency = 10;
    std::int32_t largeChange = 1;
    std::int32_t smallChange = 1;
    std::int32_t current = 0;
    std::string toolTip;
    bool refuseValuesAboveMax = false;
    std::vector<std::string> calls;
};

class FakeTextBox : public TextBox {
public:
    std::string text() const override { return content; }
    void setText(const std::string& t) override { content = t; }
    void setSelStart(int start) override { selStart = start; }
    void setSelLength(int length) override { selLength = length; }
    std::string content;
    int selStart = -1;
    int selLength = -1;
};

// Fired by hand with fire(); counts how often its interval started afresh.
class FakeTimer : public Timer {
public:
    explicit FakeTimer(std::chrono::milliseconds interval) : Timer(interval) {}
    void fire() {
        if (ticking()) {
            onTick();
        }
    }
    bool ticking() const { return enabled() && interval().count() > 0; }
    std::function<void()> onTick = [] {};
    int restarts = 0;

protected:
    void restart(bool ticking, std::chrono::milliseconds /*interval*/) override {
        if (ticking) {
            ++restarts;
        }
    }
};

class FakeWindow : public Window {
public:
    double left() const override { return leftTwips; }
    double top() const override { return topTwips; }
    void setLeft(double twips) override {
        leftTwips = twips;
        calls.push_back("left");
    }
    void setTop(double twips) override {
        topTwips = twips;
        calls.push_back("top");
    }
    void endProgram() override { ended = true; }
    double leftTwips = 1234;
    double topTwips = 4321;
    bool ended = false;
    std::vector<std::string> calls;
};

class FakeApplication : public Application {
public:
    void setTitle(const std::string& t) override { title = t; }
    std::string title;
};

class FakeClock : public Clock {
public:
    int currentYear() const override { return year; }
    int year = 2031;
};

class FakeSerialDeviceList : public SerialDeviceList {
public:
    std::vector<SerialDevice> devices() const override { return present; }
    std::vector<SerialDevice> present;
};

// A working matcher on the standard library's engine, so that the handlers' tests see real
// matching; the program uses Qt's.
class StdRegexMatcher : public RegexMatcher {
public:
    void setPattern(const std::string& pattern) override {
        try {
            m_regex = std::regex(pattern, std::regex::ECMAScript);
            m_hasPattern = true;
        } catch (const std::regex_error&) {
            throw RunTimeError(err::kInvalidProcedureCall, "Invalid procedure call or argument");
        }
    }
    bool test(const std::string& text) const override { return m_hasPattern && std::regex_search(text, m_regex); }

private:
    std::regex m_regex;
    bool m_hasPattern = false;
};

} // namespace quorvel::fakes
