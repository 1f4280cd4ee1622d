// Help > About.
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

using fakes::FormHarness;

// The version without the metadata's leading zeros, the maker's notice with the clock's year read
// at each showing, the licence and the absence of warranty; no line starts with a blank.
TEST(AboutBox, ShowsTheVersionTheNoticeWithTheYearOfTheClockAndTheLicence) {
    FormHarness h;
    h.clock.year = 2031;

    h.form.mnuHelpAbout_Click();
    h.clock.year = 2040;
    h.form.mnuHelpAbout_Click();

    ASSERT_EQ(h.dialogs.messages.size(), 2U);
    for (const auto& message : h.dialogs.messages) {
        EXPECT_EQ(message.style, 0) << "one OK button and no icon";
        EXPECT_EQ(message.title, std::optional<std::string>("Quorvel"));
    }
    EXPECT_EQ(h.dialogs.messages[0].prompt, "Quorvel 1.0.2 by Orlend\r\n"
                                            "Copyright (c) 2031 Orlend. All rights reserved.\r\n"
                                            "Licensed under the GNU General Public License, version 3 or later.\r\n"
                                            "This program comes with ABSOLUTELY NO WARRANTY.");
    const std::string& later = h.dialogs.messages[1].prompt;
    EXPECT_NE(later.find("Copyright (c) 2040 Orlend."), std::string::npos) << later;
    EXPECT_EQ(later.find("2031"), std::string::npos) << "the year is read at each showing";
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
