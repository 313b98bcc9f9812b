#include "base/core/dpi.h"

#include <cstdint>

namespace pix::dpi {

int Scale(int value, int fromDpi, int toDpi) noexcept {
    // Integer arithmetic: a half is exactly a half, whatever the factor.
    const std::int64_t product = static_cast<std::int64_t>(value) * toDpi;
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t rounded = (2 * magnitude + fromDpi) / (2 * static_cast<std::int64_t>(fromDpi));
    return static_cast<int>(product < 0 ? -rounded : rounded);
}

}  // namespace pix::dpi
