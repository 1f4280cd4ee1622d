#include "link/RunTimeError.h"

#include <new>

namespace quorvel {

RunTimeError RunTimeError::fromCurrentException() noexcept {
    try {
        throw;
    } catch (const RunTimeError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return {err::kOutOfMemory, "Out of memory"};
    } catch (const std::exception& e) {
        return {err::kInternalError, std::string("Internal error: ") + e.what()};
    } catch (...) {
        return {err::kInternalError, "Internal error"};
    }
}

} // namespace quorvel
