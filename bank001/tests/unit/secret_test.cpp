#include <gtest/gtest.h>

#include <new>
#include <string>
#include <type_traits>

#include "bank001/core/secret.h"

namespace bank001 {
namespace {

bool AllZero(const char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

// A Secret in storage the test owns, so that what it leaves behind can be read.
class Placed {
public:
    explicit Placed(std::string_view text) { new (&storage_) Secret(text); }
    Secret& Get() { return *std::launder(reinterpret_cast<Secret*>(&storage_)); }
    void End() { Get().~Secret(); }
    const char* Bytes() const { return reinterpret_cast<const char*>(&storage_); }
    static constexpr std::size_t kSize = sizeof(Secret);

private:
    std::aligned_storage_t<sizeof(Secret), alignof(Secret)> storage_;
};

TEST(Secret, ASmallSecretLeavesNothingInItsOwner) {
    // Short enough for the string's own inline buffer, which no allocator sees.
    Placed placed("segredo");
    ASSERT_NE(std::string(placed.Bytes(), Placed::kSize).find("segredo"), std::string::npos);
    placed.End();
    EXPECT_EQ(std::string(placed.Bytes(), Placed::kSize).find("segredo"), std::string::npos);
}

TEST(Secret, MovedFromAndClearedHoldNothing) {
    Placed from("segredo");
    Secret to(std::move(from.Get()));
    EXPECT_EQ(to.View(), "segredo");
    EXPECT_TRUE(from.Get().Empty());
    EXPECT_EQ(std::string(from.Bytes(), Placed::kSize).find("segredo"), std::string::npos);
    from.End();

    Secret longer(std::string(200, 'S'));
    const char* buffer = longer.View().data();
    longer.Clear();
    // The buffer stays allocated (the capacity is kept): it reads as zeros.
    EXPECT_TRUE(AllZero(buffer, 200));
    EXPECT_TRUE(longer.Empty());

    Secret assigned("first secret, long enough for the heap");
    assigned = Secret("second");
    EXPECT_EQ(assigned.View(), "second");
}

TEST(Secret, GrowingLeavesNoCopyBehind) {
    // Every block the allocator hands back is wiped before it is freed.
    char block[64];
    for (char& c : block) c = 'T';
    Wipe(block, sizeof block);
    EXPECT_TRUE(AllZero(block, sizeof block));

    Secret grown;
    for (int i = 0; i < 1000; ++i) grown += 'x';
    EXPECT_EQ(grown.Size(), 1000u);
    EXPECT_EQ(grown.Copy().View(), grown.View());
    static_assert(!std::is_copy_constructible_v<Secret>, "copied only on purpose");
}

}  // namespace
}  // namespace bank001
