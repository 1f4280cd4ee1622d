#pragma once

#include <optional>
#include <string>

namespace quorvel {

// Message box styles used by the program.
constexpr int kMsgOkOnly = 0;
constexpr int kMsgInformation = 64;

// Modal boxes. Both return when the user has dismissed them.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Without a title the box carries the application title.
    virtual void msgBox(const std::string& prompt, int style, const std::optional<std::string>& title) = 0;
    // The text entered, or an empty text when cancelled.
    virtual std::string inputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) = 0;
};

} // namespace quorvel
