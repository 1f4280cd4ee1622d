// Route texts: what names a route to the radio, and what is refused.
#include "link/RadioRoute.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quorvel {
namespace {

using Kind = RadioRoute::Kind;

TEST(RadioRoute, ReadsEachFormAndWritesItBack) {
    struct Case {
        std::string text;
        RadioRoute route;
        std::string written; // radioRouteText of the route
    };
    const Case cases[] = {
        {"tcp:127.0.0.1:4001", {Kind::Tcp, "127.0.0.1", 4001, {}}, "tcp:127.0.0.1:4001"},
        {"rigctld:shack-pi.local:4532", {Kind::Rigctld, "shack-pi.local", 4532, {}}, "rigctld:shack-pi.local:4532"},
        {"flrig:localhost:12345", {Kind::Flrig, "localhost", 12345, {}}, "flrig:localhost:12345"},
        {"TCP:radio:1", {Kind::Tcp, "radio", 1, {}}, "tcp:radio:1"},
        {"tcp:radio:65535", {Kind::Tcp, "radio", 65535, {}}, "tcp:radio:65535"},
        {"tcp:radio:00080", {Kind::Tcp, "radio", 80, {}}, "tcp:radio:80"},
        {"tcp:[::1]:4000", {Kind::Tcp, "::1", 4000, {}}, "tcp:[::1]:4000"},
        {"rigctld:[fe80::1:2]:4532", {Kind::Rigctld, "fe80::1:2", 4532, {}}, "rigctld:[fe80::1:2]:4532"},
        {"/dev/ttyUSB0", {Kind::Device, {}, 0, "/dev/ttyUSB0"}, "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0",
         {Kind::Device, {}, 0, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
         "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {"/home/op/my radio", {Kind::Device, {}, 0, "/home/op/my radio"}, "/home/op/my radio"},
    };
    for (const Case& c : cases) {
        const std::optional<RadioRoute> route = parseRadioRoute(c.text);
        ASSERT_TRUE(route.has_value()) << c.text;
        EXPECT_EQ(*route, c.route) << c.text;
        EXPECT_EQ(radioRouteText(*route), c.written) << c.text;
        EXPECT_EQ(parseRadioRoute(radioRouteText(*route)), route) << c.text;
    }
}

TEST(RadioRoute, RefusesTextThatIsNoRoute) {
    for (const std::string text : {
             "",
             "/",
             "com1",
             "1",
             "dev/ttyUSB0",
             "udp:host:4000",
             "tcp:host",
             "tcp::4000",
             "tcp:host:",
             "tcp:host:0",
             "tcp:host:65536",
             "tcp:host:123456",
             "tcp:host:-1",
             "tcp:host:+80",
             "tcp:host:80 ",
             " tcp:host:80",
             "tcp:host:8o",
             "tcp:ho st:80",
             "tcp:::1:4000",
             "tcp:[]:4000",
             "tcp:[host]:4000",
             "tcp:[::1:4000",
             "tcp:host/x:80",
             "rigctld:",
             "flrig",
             "/dev/tty\nUSB0",
         }) {
        EXPECT_EQ(parseRadioRoute(text), std::nullopt) << '"' << text << '"';
    }
}

} // namespace
} // namespace quorvel
