// SPDX-License-Identifier: MIT
// Buffers placed against a page without access: mmap, then mprotect of the two guard pages.
#include "support/guard_page.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <new>

namespace vorn::test {

guarded_buffer::guarded_buffer(std::size_t size, flush where) : size_(size) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t usable = (size + page - 1) / page * page;
    mapping_size_ = usable + 2 * page;
    void* p =
        mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        throw std::bad_alloc();
    }
    mapping_ = static_cast<unsigned char*>(p);
    if (mprotect(mapping_, page, PROT_NONE) != 0 ||
        mprotect(mapping_ + page + usable, page, PROT_NONE) != 0) {
        munmap(mapping_, mapping_size_);
        throw std::bad_alloc();
    }
    data_ = where == flush::end ? mapping_ + page + usable - size : mapping_ + page;
}

guarded_buffer::~guarded_buffer() {
    munmap(mapping_, mapping_size_);
}

std::string_view guarded_buffer::hold(std::string_view bytes) noexcept {
    const std::size_t n = bytes.size() < size_ ? bytes.size() : size_;
    if (n != 0) {
        std::memcpy(data_, bytes.data(), n);
    }
    return {chars(), n};
}

}  // namespace vorn::test
