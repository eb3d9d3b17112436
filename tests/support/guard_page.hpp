// SPDX-License-Identifier: MIT
// Buffers placed against a page without access, for tests that a reader or writer never
// touches a byte outside the range it is given, vector loads and masked stores included.
#ifndef VORN_CORE_TESTS_SUPPORT_GUARD_PAGE_HPP
#define VORN_CORE_TESTS_SUPPORT_GUARD_PAGE_HPP

#include <cstddef>
#include <string_view>

namespace vorn::test {

// A mapping of readable and writable pages with a page without access on each side, and a
// window of `size` bytes in it placed flush against one of the two guards: one byte past the
// window's end (`flush::end`) or one byte before its start (`flush::start`) is inaccessible,
// so a read or write there ends the test with SIGSEGV. Not copyable; unmaps on destruction.
class guarded_buffer {
  public:
    enum class flush { end, start };

    guarded_buffer(std::size_t size, flush where);
    ~guarded_buffer();
    guarded_buffer(const guarded_buffer&) = delete;
    guarded_buffer& operator=(const guarded_buffer&) = delete;

    unsigned char* data() noexcept { return data_; }
    char* chars() noexcept { return reinterpret_cast<char*>(data_); }
    std::size_t size() const noexcept { return size_; }

    // Copies `bytes` (at most size() of them) to the window and returns the window's view of
    // them: with flush::end, pass exactly size() bytes so that the text ends at the guard.
    std::string_view hold(std::string_view bytes) noexcept;

  private:
    unsigned char* mapping_;
    std::size_t mapping_size_;
    unsigned char* data_;
    std::size_t size_;
};

// Copies `text` into a window of exactly its size flush against a guard (at its end, then at
// its start) and calls `check(view)` once for each placement.
template <class Check>
void with_guarded_text(std::string_view text, Check check) {
    for (const auto where : {guarded_buffer::flush::end, guarded_buffer::flush::start}) {
        guarded_buffer buffer(text.size(), where);
        check(buffer.hold(text));
    }
}

}  // namespace vorn::test

#endif
