#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

class Slider {
public:
    virtual ~Slider() = default;
    virtual void setMax(std::int32_t max) = 0;
    virtual void setTickFrequency(std::int32_t frequency) = 0;
    virtual void setLargeChange(std::int32_t change) = 0;
    virtual void setSmallChange(std::int32_t change) = 0;
    virtual std::int32_t value() const = 0;
    virtual void setValue(std::int32_t value) = 0;
    virtual void setToolTipText(const std::string& text) = 0;
};

} // namespace quorvel
