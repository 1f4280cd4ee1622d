#pragma once

#include "link/RunTimeError.h"

#include <functional>

namespace quorvel::fakes {

// The number of the run-time error that f raises, 0 when it raises none.
inline int errorNumberOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RunTimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace quorvel::fakes
