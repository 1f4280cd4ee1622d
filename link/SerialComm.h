#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

// The serial component on the window: what the handlers use of it and nothing more. It keeps the
// port state; callers ask it instead of remembering. Every failure is thrown as a RunTimeError,
// 8002 when the port number maps to no usable serial port.
// Its receive event (characters have arrived) is delivered to the window by the platform layer.
class SerialComm {
public:
    virtual ~SerialComm() = default;

    virtual void setCommPort(std::int16_t port) = 0;
    virtual void setSettings(const std::string& settings) = 0;
    // Empty: Com N by CommPort. Otherwise a route text (see RadioRoute.h), which CommPort then does
    // not count for; 380 when the text is no route. Takes effect at the next open, as Settings does.
    virtual void setRoute(const std::string& route) = 0;
    virtual bool portOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual void setRThreshold(std::int16_t threshold) = 0;
    virtual void setRTSEnable(bool enable) = 0;
    virtual void setDTREnable(bool enable) = 0;
    // Sends the characters of the text, one byte each, nothing added.
    virtual void output(const std::string& text) = 0;
    // Everything received and not yet read; empties the receive buffer. A failure the component met
    // on its own since the last read (a vanished device it could not take up again on its return)
    // is thrown here instead, once, after a receive event that announced it.
    virtual std::string input() = 0;
};

} // namespace quorvel
