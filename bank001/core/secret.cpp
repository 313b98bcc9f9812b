#include "bank001/core/secret.h"

namespace bank001 {

void Wipe(void* data, std::size_t size) noexcept {
    volatile unsigned char* byte = static_cast<volatile unsigned char*>(data);
    while (size-- > 0) *byte++ = 0;
}

}  // namespace bank001
