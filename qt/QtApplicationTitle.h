#pragma once

#include "panel/Application.h"

#include <string>

namespace quorvel {

// The application title, kept here for the message boxes. It is deliberately not Qt's application
// display name: on X11 Qt appends that to every window title ("Quorvel - Quorvel").
class QtApplicationTitle : public Application {
public:
    void setTitle(const std::string& title) override { m_title = title; }
    const std::string& title() const { return m_title; }

private:
    std::string m_title;
};

} // namespace quorvel
