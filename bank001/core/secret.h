// Secrets in memory: the client secret, a token, and whatever carries one
// (an Authorization header, the body of the token's answer). Every byte that
// held one is overwritten before its memory goes back to the heap or its
// owner ends, so that a dump of the process, the page file or a crash report
// taken later finds nothing of them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace bank001 {

// Overwrites size bytes with zeros by volatile writes, which no optimiser
// may drop as dead stores.
void Wipe(void* data, std::size_t size) noexcept;

// Wipes every block before giving it back: a string that grows leaves no copy
// of its old contents in the heap, a container no copy of its elements.
template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* block, std::size_t n) noexcept {
        Wipe(block, n * sizeof(T));
        std::allocator<T>().deallocate(block, n);
    }

    template <class U>
    bool operator==(const WipingAllocator<U>&) const noexcept { return true; }
    template <class U>
    bool operator!=(const WipingAllocator<U>&) const noexcept { return false; }
};

using SecretText = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

// Owns one secret text. Move-only, and copied only on purpose (Copy). What
// it held is wiped when it ends, is replaced or is moved from: the string's
// small inline buffer too, which no allocator ever sees.
class Secret {
public:
    Secret() noexcept = default;
    explicit Secret(std::string_view text) : text_(text.data(), text.size()) {}
    Secret(Secret&& other) noexcept : text_(std::move(other.text_)) { other.Clear(); }
    Secret& operator=(Secret&& other) noexcept {
        if (this != &other) {
            Clear();
            text_ = std::move(other.text_);
            other.Clear();
        }
        return *this;
    }
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { Clear(); }

    Secret Copy() const { return Secret(View()); }

    std::string_view View() const noexcept { return {text_.data(), text_.size()}; }
    bool Empty() const noexcept { return text_.empty(); }
    std::size_t Size() const noexcept { return text_.size(); }

    void Reserve(std::size_t size) { text_.reserve(size); }
    void Append(std::string_view text) { text_.append(text.data(), text.size()); }
    Secret& operator+=(char c) {
        text_ += c;
        return *this;
    }
    void Clear() noexcept {
        Wipe(&text_[0], text_.capacity());
        text_.clear();
    }

private:
    SecretText text_;
};

}  // namespace bank001
