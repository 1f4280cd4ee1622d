#pragma once

namespace quorvel {

class MenuItem {
public:
    virtual ~MenuItem() = default;
    virtual void setChecked(bool checked) = 0;
};

} // namespace quorvel
