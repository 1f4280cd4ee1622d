#pragma once

#include <optional>
#include <string>

namespace quorvel {

// The operator's doors for other programs: the network door's "ADDRESS:PORT" and the path the
// pseudo-terminal door is linked at. An empty text keeps that door closed.
struct SharingChoice {
    std::string address;
    std::string link;

    friend bool operator==(const SharingChoice&, const SharingChoice&) = default;
};

// The doors through which other programs share the radio.
class SharingDoors {
public:
    virtual ~SharingDoors() = default;
    // Opens, moves or closes both doors at once. A door that cannot open throws a RunTimeError
    // naming it; the other door is set as asked all the same.
    virtual void setDoors(const SharingChoice& doors) = 0;
};

// The box in which the operator chooses the doors.
class SharingDialog {
public:
    virtual ~SharingDialog() = default;
    // The doors chosen, or nothing when the box was cancelled.
    virtual std::optional<SharingChoice> chooseDoors(const SharingChoice& current) = 0;
};

} // namespace quorvel
