// A rectangle by its edges, in whatever coordinates its user gives it: the
// arithmetic of layouts that no platform type should reach.
#pragma once

namespace pix {

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    constexpr int Width() const noexcept { return right - left; }
    constexpr int Height() const noexcept { return bottom - top; }
    constexpr bool Contains(int x, int y) const noexcept { return x >= left && x < right && y >= top && y < bottom; }
};
constexpr bool operator==(const Box& a, const Box& b) noexcept {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace pix
