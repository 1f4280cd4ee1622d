#pragma once

#include "link/RunTimeError.h"
#include "link/SerialComm.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::fakes {

// A serial component with a pretend set of ports. Writes are recorded; received text is queued
// with receive() and handed out by input().
class FakeSerialComm : public SerialComm {
public:
    void setCommPort(std::int16_t p) override {
        log.push_back("CommPort=" + std::to_string(p));
        commPort = p;
    }
    void setSettings(const std::string& s) override {
        log.push_back("Settings=" + s);
        settings = s;
    }
    void setRoute(const std::string& r) override {
        log.push_back("Route=" + r);
        route = r;
    }
    bool portOpen() const override { return open; }
    void setPortOpen(bool o) override {
        log.push_back(o ? "open" : "close");
        if (o) {
            if (!route.empty()) {
                if (invalidRoutes.count(route) != 0) {
                    throw RunTimeError(err::kInvalidPortNumber, "Invalid port number: " + route + " does not exist");
                }
                openedRoutes.push_back(route);
                open = true;
                return;
            }
            if (invalidPorts.count(commPort) != 0) {
                throw RunTimeError(err::kInvalidPortNumber,
                                   "Invalid port number: Com" + std::to_string(commPort) + " maps to no device");
            }
            if (busyPorts.count(commPort) != 0) {
                throw RunTimeError(err::kPortAlreadyOpen, "Port already open");
            }
            openedPorts.push_back(commPort);
        }
        open = o;
    }
    void setRThreshold(std::int16_t t) override {
        log.push_back("RThreshold=" + std::to_string(t));
        rThreshold = t;
    }
    void setRTSEnable(bool e) override {
        log.push_back(std::string("RTSEnable=") + (e ? "true" : "false"));
        rts = e;
    }
    void setDTREnable(bool e) override {
        log.push_back(std::string("DTREnable=") + (e ? "true" : "false"));
        dtr = e;
    }
    void output(const std::string& text) override {
        if (!open && refuseWritesWhenClosed) {
            throw RunTimeError(err::kPortNotOpen, "Operation valid only when the port is open");
        }
        if (writesFail) {
            throw RunTimeError(err::kPortIoFailed, "Write to the port failed");
        }
        written.push_back(text);
    }
    std::string input() override {
        if (inputFailure) {
            const RunTimeError failure = *inputFailure;
            inputFailure.reset();
            throw failure;
        }
        std::string text;
        text.swap(received);
        return text;
    }

    void receive(const std::string& text) { received += text; }

    std::int16_t commPort = 0;
    std::string settings;
    std::string route;
    bool open = false;
    std::int16_t rThreshold = 0;
    bool rts = true;
    bool dtr = true;
    bool refuseWritesWhenClosed = true;
    bool writesFail = false; // an open port whose writes fail, as when the cable is pulled
    std::set<std::int16_t> invalidPorts;
    std::set<std::int16_t> busyPorts;
    std::vector<std::int16_t> openedPorts;
    std::set<std::string> invalidRoutes;
    std::vector<std::string> openedRoutes;
    std::vector<std::string> written;
    std::vector<std::string> log;
    std::string received;
    std::optional<RunTimeError> inputFailure; // thrown by the next read, as a component raises what it met alone
};

} // namespace quorvel::fakes
