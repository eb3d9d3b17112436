// std::string gains room without zero-filling it only through resize_and_overwrite, which
// libstdc++ 12 offers to C++23 code alone; this file is compiled as C++23 for that reason (the
// string's layout and ABI do not depend on the language mode). Built as C++20 it falls back
// to resize, which fills the room with zeros before the codec overwrites it.
#include <stdexcept>

#include "binary_encoding/output.hpp"

namespace vorn::core::v2::detail {

void append_to_text(std::string& text, std::size_t room, std::size_t spare,
                    std::size_t (*write)(char* out, void* context) noexcept, void* context) {
    const std::size_t old_size = text.size();
    if (room > text.max_size() - old_size) {
        throw std::length_error("basic_string::append");
    }
    if (room > text.capacity() - old_size) {
        // Grown here rather than by resize_and_overwrite, which would take no spare room;
        // reserve grows geometrically as well.
        const std::size_t wanted = old_size + room;
        text.reserve(spare <= text.max_size() - wanted ? wanted + spare : wanted);
    }
#if defined(__cpp_lib_string_resize_and_overwrite)
    text.resize_and_overwrite(old_size + room, [&](char* data, std::size_t) noexcept {
        return old_size + write(data + old_size, context);
    });
#else
    text.resize(old_size + room);
    text.resize(old_size + write(text.data() + old_size, context));
#endif
}

}  // namespace vorn::core::v2::detail
