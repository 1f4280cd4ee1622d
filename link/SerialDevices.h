#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// A serial device the operator can pick: the path a port link is to point at, and the text that
// names it in a list.
struct SerialDevice {
    std::string path;
    std::string label;
    bool operator==(const SerialDevice&) const = default;
};

// A name in the system's by-id folder, the device node it leads to and the USB product text read
// for that node (empty when none was found).
struct ByIdName {
    std::string path; // e.g. /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0
    std::string node; // e.g. /dev/ttyUSB0
    std::string product;
};

// A serial port the system reports, with its own description (empty when none).
struct SystemSerialPort {
    std::string path; // e.g. /dev/ttyACM0
    std::string description;
};

// The product text a by-id name carries: "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0" gives
// "FTDI FT232R USB UART A10K3XYZ". The bus, interface and port parts are left out; the maker,
// model and serial number cannot be told apart, as udev joins them all with underscores.
std::string byIdProductText(std::string_view name);

// The devices to offer: the by-id names first, as they survive unplugging and a new order of
// plugging in, then every other port the system reports that no by-id name already leads to, the
// plug-in ports before the built-in ones and each kind in its numeric order.
std::vector<SerialDevice> offeredSerialDevices(const std::vector<ByIdName>& byId,
                                               const std::vector<SystemSerialPort>& others);

} // namespace quorvel
