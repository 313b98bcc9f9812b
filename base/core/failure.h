// A failure: what handlers raise and never catch, and what the guard shows.
#pragma once

#include <string>
#include <utility>

namespace pix {

class Failure {
public:
    Failure(std::u16string kind, std::u16string message)
        : kind_(std::move(kind)), message_(std::move(message)) {}

    // The name of the failure's kind ("ConversionError", "AccessViolation", ...).
    const std::u16string& Kind() const noexcept { return kind_; }
    const std::u16string& Message() const noexcept { return message_; }

private:
    std::u16string kind_;
    std::u16string message_;
};

}  // namespace pix
