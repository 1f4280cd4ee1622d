#pragma once

#include "link/SerialDevices.h"

#include <vector>

namespace quorvel {

// The serial devices present, in the order to offer them (offeredSerialDevices).
class SerialDeviceList {
public:
    virtual ~SerialDeviceList() = default;
    virtual std::vector<SerialDevice> devices() const = 0;
};

} // namespace quorvel
