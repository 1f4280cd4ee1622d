#pragma once

#include "panel/Colors.h"

#include <string>

namespace quorvel {

// A filled shape used as an indicator lamp.
class Lamp {
public:
    virtual ~Lamp() = default;
    virtual void setFillColor(Color color) = 0;
    // Words said after the lamp's state, in its tool tip and to screen readers; empty for none.
    virtual void setNote(const std::string& words) = 0;
};

} // namespace quorvel
