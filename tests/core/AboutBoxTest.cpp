// Help > About.
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

using fakes::FormHarness;

TEST(AboutBox, ShowsTheVersionLineThenTheNoticeWithTheYearOfTheClock) {
    FormHarness h;
    h.clock.year = 2031;

    h.form.mnuHelpAbout_Click();
    h.clock.year = 2040;
    h.form.mnuHelpAbout_Click();

    ASSERT_EQ(h.dialogs.messages.size(), 2U);
    for (const auto& message : h.dialogs.messages) {
        const std::string& text = message.prompt;
        // Seven blanks, then a version without the metadata's leading zeros.
        EXPECT_EQ(text.substr(0, text.find("\r\n") + 2), "       Quorvel 1.0.2 by Orlend\r\n");
        EXPECT_EQ(text.find('\n'), text.rfind('\n')) << "two lines: " << text;
        EXPECT_NE(text.find("Orlend", text.find('\n')), std::string::npos) << "the notice names the maker";
        EXPECT_EQ(message.style, 0) << "one OK button and no icon";
        EXPECT_EQ(message.title, std::optional<std::string>("Quorvel"));
    }
    const auto notice = [&](std::size_t i) {
        const std::string& text = h.dialogs.messages[i].prompt;
        return text.substr(text.find('\n') + 1);
    };
    EXPECT_NE(notice(0).find("2031"), std::string::npos) << notice(0);
    EXPECT_NE(notice(1).find("2040"), std::string::npos) << notice(1);
    EXPECT_EQ(notice(1).find("2031"), std::string::npos) << "the year is read at each showing";
}

TEST(AboutBox, CarriesItsOwnTitleBeforeStartUpToo) {
    FormHarness h;

    h.form.mnuHelpAbout_Click();

    ASSERT_EQ(h.dialogs.messages.size(), 1U);
    EXPECT_EQ(h.app.title, "") << "no application title has been set yet";
    EXPECT_EQ(h.dialogs.messages.front().title, std::optional<std::string>("Quorvel"));
}

} // namespace
} // namespace quorvel
