// The one way platform-free code reports a failure with a message: it returns
// a Result, the value or the reason, and never throws for a failure its
// caller is expected to meet (a malformed input, an answer that does not
// read). The Windows side decides what a reason becomes: a failure for the
// dialog, a text for the user.
#pragma once

#include <string>
#include <utility>

namespace pix {

template <class T>
struct Result {
    T value{};
    std::string error;  // empty on success

    bool Ok() const noexcept { return error.empty(); }

    static Result Failed(std::string reason) {
        Result result;
        result.error = std::move(reason);
        return result;
    }
};

}  // namespace pix
