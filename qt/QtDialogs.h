#pragma once

#include "panel/Dialogs.h"

#include <functional>
#include <string>

class QWidget;

namespace quorvel {

class QtApplicationTitle;

// What a box would show: the title already resolved (the application title for a message box
// given none).
struct DialogRequest {
    enum class Kind { Message, Input, Question };
    Kind kind = Kind::Message;
    std::string prompt;
    int style = 0;
    std::string title;
    std::string defaultText;
    std::string detail;
};

// Message boxes and the input box, modal to the window. An answerer, when set, stands in for the
// user: the box is not shown and the answerer's text is what the input box returns (an empty text
// is Cancel); for a question "yes" is Yes and anything else No; for a message box its text is ignored.
class QtDialogs : public Dialogs {
public:
    using Answerer = std::function<std::string(const DialogRequest&)>;

    QtDialogs(const QtApplicationTitle& appTitle, QWidget* window);

    void msgBox(const std::string& prompt, int style, const std::optional<std::string>& title,
                const std::string& detail = {}) override;
    bool askYesNo(const std::string& prompt, const std::string& detail) override;
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override;

    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

private:
    // The window until it is first shown; boxes before that stand on their own.
    QWidget* boxParent() const;

    const QtApplicationTitle& m_appTitle;
    QWidget* m_window;
    Answerer m_answerer;
};

} // namespace quorvel
