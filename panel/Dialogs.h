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
    // Without a title the box carries the application title. A detail, when not empty, is more
    // for the user to read on request (what was looked at, what to do); the prompt stays as it is.
    virtual void msgBox(const std::string& prompt, int style, const std::optional<std::string>& title,
                        const std::string& detail = {}) = 0;
    // A question with Yes and No buttons; true for Yes. No is the default, so that a hasty Enter
    // changes nothing.
    virtual bool askYesNo(const std::string& prompt, const std::string& detail) = 0;
    // The text entered, or an empty text when cancelled.
    virtual std::string inputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) = 0;
};

} // namespace quorvel
