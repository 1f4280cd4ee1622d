// The Sharing box and the doors as stored: what opens at start, what the box saves, and the
// number of programs said on the link lamp.
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

using fakes::FormHarness;
using Doors = std::vector<SharingChoice>;

TEST(Sharing, TheStoredDoorsOpenOnceTheWindowHasLoaded) {
    struct Case {
        const char* share;
        const char* link;
        Doors opened;
        std::string report; // the start's error report, if any
    };
    const Case cases[] = {
        {"", "", {{"", ""}}, ""},
        {"127.0.0.1:7373", "", {{"127.0.0.1:7373", ""}}, ""},
        {"", "/home/op/.wine/dosdevices/com9", {{"", "/home/op/.wine/dosdevices/com9"}}, ""},
        // A hand-edited address that is none opens no network door, and says so.
        {"localhost",
         "/tmp/com9",
         {{"", "/tmp/com9"}},
         "Sharing error: 380 - The sharing address \"localhost\" is not an address and port, such as 127.0.0.1:7373"},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.settings.set("share", c.share);
        h.settings.set("sharelink", c.link);
        h.form.sharing_Load();
        EXPECT_EQ(h.sharing.set, c.opened) << c.share;
        EXPECT_EQ(h.dialogs.messages.empty() ? "" : h.lastMessage(), c.report) << c.share;
        EXPECT_TRUE(h.settings.saves.empty()) << "start-up stores nothing of its own";
    }
}

TEST(Sharing, TheBoxShowsTheStoredDoorsAndWhatItChoosesTakesEffectAtOnce) {
    FormHarness h;
    h.settings.set("share", "127.0.0.1:7373");
    h.sharing.answer = SharingChoice{"192.168.1.20:7373", "/tmp/com9"};

    h.form.mnuSharing_Click();

    EXPECT_EQ(h.sharing.shown, (Doors{{"127.0.0.1:7373", ""}}));
    EXPECT_EQ(h.settings.saves, (std::vector<std::string>{"share=192.168.1.20:7373", "sharelink=/tmp/com9"}));
    EXPECT_EQ(h.sharing.set, (Doors{{"192.168.1.20:7373", "/tmp/com9"}}));
    EXPECT_EQ(h.shpK3Con.note, "Shared, no other program connected");

    // Both doors closed: nothing more is said on the lamp.
    h.sharing.answer = SharingChoice{"", ""};
    h.form.mnuSharing_Click();
    EXPECT_EQ(h.sharing.set.back(), (SharingChoice{"", ""}));
    EXPECT_EQ(h.shpK3Con.note, "");
}

TEST(Sharing, CancelledOrUnusableChoicesChangeNothing) {
    FormHarness h;
    h.settings.set("share", "127.0.0.1:7373");

    h.form.mnuSharing_Click(); // cancelled
    h.sharing.answer = SharingChoice{"127.0.0.1", ""};
    h.form.mnuSharing_Click();

    EXPECT_TRUE(h.sharing.set.empty());
    EXPECT_TRUE(h.settings.saves.empty());
    EXPECT_EQ(h.lastMessage(), "\"127.0.0.1\" is not an address and port, such as 127.0.0.1:7373.");
}

TEST(Sharing, ADoorThatCannotOpenIsReportedAndTheChoiceKept) {
    FormHarness h;
    h.sharing.refuses = true;
    h.sharing.answer = SharingChoice{"127.0.0.1:7373", ""};

    h.form.mnuSharing_Click();

    EXPECT_EQ(h.lastMessage(), "Sharing error: 8005 - The address is in use by another program");
    EXPECT_EQ(h.settings.saves, (std::vector<std::string>{"share=127.0.0.1:7373", "sharelink="}));
}

TEST(Sharing, TheLinkLampSaysHowManyProgramsAreConnected) {
    const std::pair<std::size_t, const char*> cases[] = {
        {0, "Shared, no other program connected"},
        {1, "Shared with 1 program"},
        {8, "Shared with 8 programs"},
    };
    FormHarness h;
    h.settings.set("share", "127.0.0.1:7373");
    h.form.sharing_Load();
    for (const auto& [programs, words] : cases) {
        h.form.sharing_Changed(programs);
        EXPECT_EQ(h.shpK3Con.note, words);
    }
    EXPECT_EQ(sharingWords(false, 3), "") << "nothing is said while both doors are closed";
}

} // namespace
} // namespace quorvel
