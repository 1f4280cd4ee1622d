#pragma once

#include "link/RunTimeError.h"
#include "panel/SharingDoors.h"

#include <optional>
#include <vector>

namespace quorvel::fakes {

// The doors and their box: records every setting of the doors; the box gives the answer a test
// put in (nothing: cancelled), and a door can be made to refuse.
class FakeSharing : public SharingDoors, public SharingDialog {
public:
    void setDoors(const SharingChoice& doors) override {
        set.push_back(doors);
        if (refuses) {
            throw RunTimeError(err::kPortAlreadyOpen, "The address is in use by another program");
        }
    }
    std::optional<SharingChoice> chooseDoors(const SharingChoice& current) override {
        shown.push_back(current);
        return answer;
    }

    std::vector<SharingChoice> set;
    std::vector<SharingChoice> shown;
    std::optional<SharingChoice> answer;
    bool refuses = false;
};

} // namespace quorvel::fakes
