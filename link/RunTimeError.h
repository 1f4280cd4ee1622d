#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace quorvel {

// The run-time error numbers the program raises or reacts to. The serial numbers follow the
// classic serial control so that a report reads the same to an operator who knows it.
namespace err {
constexpr int kInvalidProcedureCall = 5;
constexpr int kOverflow = 6;
constexpr int kOutOfMemory = 7;
constexpr int kTypeMismatch = 13;
constexpr int kInternalError = 51;
constexpr int kFileAlreadyExists = 58;
constexpr int kTooManyFiles = 67;
constexpr int kFileAccess = 75;
constexpr int kObjectNotSet = 91;
constexpr int kInvalidPropertyValue = 380;
constexpr int kInvalidPortNumber = 8002;
constexpr int kPortAlreadyOpen = 8005;
constexpr int kPortPermissionDenied = 8010;
constexpr int kPortNotOpen = 8018;
constexpr int kPortIoFailed = 8020;
} // namespace err

// A handler's failure: a number and a description, shown by the handler's own error report.
class RunTimeError : public std::runtime_error {
public:
    RunTimeError(int number, const std::string& description) : std::runtime_error(description), m_number(number) {}

    int number() const noexcept { return m_number; }
    std::string description() const { return what(); }

    static RunTimeError typeMismatch() { return {err::kTypeMismatch, "Type mismatch"}; }
    static RunTimeError overflow() { return {err::kOverflow, "Overflow"}; }
    static RunTimeError invalidPropertyValue() { return {err::kInvalidPropertyValue, "Invalid property value"}; }

    // Turns whatever a handler caught into the error it reports; called only inside a catch block.
    static RunTimeError fromCurrentException() noexcept;

private:
    int m_number;
};

} // namespace quorvel
