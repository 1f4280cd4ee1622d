#pragma once

namespace quorvel {

class PushButton {
public:
    virtual ~PushButton() = default;
    virtual void setFocus() = 0;
};

} // namespace quorvel
