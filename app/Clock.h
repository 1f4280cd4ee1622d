#pragma once

namespace quorvel {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int currentYear() const = 0;
};

// The system clock's calendar year, in local time.
class SystemClock final : public Clock {
public:
    int currentYear() const override;
};

} // namespace quorvel
