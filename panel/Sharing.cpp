// Sharing the radio with other programs: the doors as stored, the box that sets them, and the
// number of programs connected, said in words on the link lamp.
#include "link/RunTimeError.h"
#include "panel/Form1.h"
#include "share/ShareAddress.h"

namespace quorvel {

namespace {
constexpr std::string_view kSharingPrefix = "Sharing error: ";
} // namespace

std::string sharingWords(bool open, std::size_t programs) {
    if (!open) {
        return {};
    }
    if (programs == 0) {
        return "Shared, no other program connected";
    }
    return "Shared with " + std::to_string(programs) + (programs == 1 ? " program" : " programs");
}

void Form1::sharing_Load() {
    trapped(kSharingPrefix, [this] {
        if (m_c.sharing != nullptr) {
            openDoors({getSetting("share", ""), getSetting("sharelink", "")});
        }
    });
}

void Form1::mnuSharing_Click() {
    trapped(kSharingPrefix, [this] {
        if (m_c.sharing == nullptr || m_c.sharingDialog == nullptr) {
            return;
        }
        const std::optional<SharingChoice> chosen =
            m_c.sharingDialog->chooseDoors({getSetting("share", ""), getSetting("sharelink", "")});
        if (!chosen) {
            return;
        }
        if (!chosen->address.empty() && !parseShareAddress(chosen->address)) {
            m_c.dialogs.msgBox("\"" + chosen->address + "\" is not an address and port, such as " +
                                   std::string(kDefaultShareAddress) + ".",
                               kMsgOkOnly, std::string("Sharing"));
            return;
        }
        saveSetting("share", chosen->address);
        saveSetting("sharelink", chosen->link);
        openDoors(*chosen);
    });
}

void Form1::sharing_Changed(std::size_t programs) {
    trapped(kSharingPrefix, [this, programs] { m_c.shpK3Con.setNote(sharingWords(m_sharing, programs)); });
}

void Form1::openDoors(const SharingChoice& doors) {
    // Set before the doors open, so that a program connecting at once is counted in the right words.
    m_sharing = !doors.address.empty() || !doors.link.empty();
    m_c.shpK3Con.setNote(sharingWords(m_sharing, 0));
    if (!doors.address.empty() && !parseShareAddress(doors.address)) {
        m_c.sharing->setDoors({{}, doors.link});
        throw RunTimeError(err::kInvalidPropertyValue, "The sharing address \"" + doors.address +
                                                           "\" is not an address and port, such as " +
                                                           std::string(kDefaultShareAddress));
    }
    m_c.sharing->setDoors(doors);
}

} // namespace quorvel
