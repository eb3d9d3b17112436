#include <cstdint>

#include "binary_encoding/state.hpp"
#include "byte_array/byte_array_access.hpp"

namespace vorn::core::v2::detail {

unsigned char* append_room(byte_array& bytes, std::size_t room) {
    const std::size_t size = bytes.size();
    const std::size_t capacity = bytes.capacity();
    if (room > capacity - size && room <= SIZE_MAX - size) {
        // The array's own policy grows by 1 KiB steps beyond 1 KiB; a long stream of appends
        // would move the bytes on almost every call. Doubling keeps the cost linear.
        const std::size_t wanted = size + room;
        const std::size_t doubled = capacity <= SIZE_MAX / 2 ? 2 * capacity : wanted;
        core::detail::byte_array_access::reserve(bytes, wanted > doubled ? wanted : doubled);
    }
    return core::detail::byte_array_access::append_uninitialized(bytes, room);
}

}  // namespace vorn::core::v2::detail
