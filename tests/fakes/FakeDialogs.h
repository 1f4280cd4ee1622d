#pragma once

#include "panel/ConnectionDialog.h"
#include "panel/Dialogs.h"

#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quorvel::fakes {

// Records every box; input boxes and questions answer from queues (an empty text, like Cancel, and
// No when they run out).
class FakeDialogs : public Dialogs {
public:
    struct Message {
        std::string prompt;
        int style;
        std::optional<std::string> title;
        std::string detail;
        bool operator==(const Message&) const = default;
        friend std::ostream& operator<<(std::ostream& os, const Message& m) {
            os << "{\"" << m.prompt << "\", " << m.style << ", " << (m.title ? "\"" + *m.title + "\"" : "no title");
            return (m.detail.empty() ? os : os << ", detail \"" << m.detail << "\"") << "}";
        }
    };
    // What an information box (style 64, the application title) records.
    static Message information(const std::string& text, const std::string& detail = {}) {
        return {text, 64, std::nullopt, detail};
    }

    struct Input {
        std::string prompt;
        std::string title;
        std::string defaultText;
    };

    void msgBox(const std::string& prompt, int style, const std::optional<std::string>& title,
                const std::string& detail = {}) override {
        messages.push_back({prompt, style, title, detail});
        if (onMessage) {
            onMessage();
        }
    }
    bool askYesNo(const std::string& prompt, const std::string& detail) override {
        questions.push_back({prompt, 36, std::nullopt, detail});
        if (yesNoAnswers.empty()) {
            return false;
        }
        const bool yes = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return yes;
    }
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override {
        inputs.push_back({prompt, title, defaultText});
        if (answers.empty()) {
            return {};
        }
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Message> messages;
    std::vector<Input> inputs;
    std::deque<std::string> answers;
    std::vector<Message> questions; // Yes/No questions, recorded with the question style (36)
    std::deque<bool> yesNoAnswers;  // No when it runs out
    std::function<void()> onMessage;
};

// Records what each opening offered and answers with the next choice queued (Cancel when none is).
class FakeConnectionDialog : public ConnectionDialog {
public:
    std::optional<ConnectionChoice> choose(const ConnectionOffer& offer) override {
        offers.push_back(offer);
        if (choices.empty()) {
            return std::nullopt;
        }
        ConnectionChoice choice = choices.front();
        choices.pop_front();
        return choice;
    }
    std::vector<ConnectionOffer> offers;
    std::deque<ConnectionChoice> choices;
};

} // namespace quorvel::fakes
