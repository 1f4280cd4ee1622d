#pragma once

#include "panel/Colors.h"

namespace quorvel {

// A filled shape used as an indicator lamp.
class Lamp {
public:
    virtual ~Lamp() = default;
    virtual void setFillColor(Color color) = 0;
};

} // namespace quorvel
