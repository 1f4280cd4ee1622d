#pragma once

#include <string>

namespace quorvel {

class TextBox {
public:
    virtual ~TextBox() = default;
    virtual std::string text() const = 0;
    virtual void setText(const std::string& text) = 0;
    // Positions and lengths count characters.
    virtual void setSelStart(int start) = 0;
    virtual void setSelLength(int length) = 0;
};

} // namespace quorvel
