// SPDX-License-Identifier: MIT
// What the streaming codecs share: the pieces of input they read as one stream, and what a
// decoding step reports.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_CHUNKS_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_CHUNKS_HPP

#include <cstddef>
#include <cstdint>

namespace vorn::core::v2::detail {

// One piece of input, bytes or characters, read in place. An array of chunks is read as one
// continuous stream, in array order.
struct data_chunk {
    const unsigned char* data;
    std::size_t size;
};

// The total size of `count` chunks. Throws std::length_error if it does not fit in size_t.
std::size_t total_size(const data_chunk* chunks, std::uint32_t count);

// A refused stream is carried on as this one-character leftover. Neither encoding accepts the
// character, so no continuation can make the stream valid again and finishing it refuses it:
// the refusal is remembered by the stream itself, whatever is fed later.
inline constexpr char refused_marker = '!';

// True when the stream starts with the refused marker, and so is refused whatever follows.
inline bool starts_refused(const data_chunk* chunks, std::uint32_t count) noexcept {
    for (std::uint32_t i = 0; i < count; ++i) {
        if (chunks[i].size != 0) {
            return chunks[i].data[0] == static_cast<unsigned char>(refused_marker);
        }
    }
    return false;
}

// What the text fed to a decoder so far is; the values of the public decode_status.
enum class decode_status_kind : std::uint32_t {
    complete = 0,    // a whole text (or none): finishing gives its bytes
    incomplete = 1,  // it ends inside a group, and more input can still complete it
    refused = 2,     // no continuation can make it valid
};

// What a decoding step did.
struct decode_outcome {
    std::size_t written = 0;        // bytes written to the output
    std::size_t leftover_size = 0;  // characters held back for the next step
    char leftover[4] = {};
    bool refused = false;  // the stream is refused: drop every byte decoded so far

    static decode_outcome refusal() noexcept {
        decode_outcome outcome;
        outcome.leftover_size = 1;
        outcome.leftover[0] = refused_marker;
        outcome.refused = true;
        return outcome;
    }
};

}  // namespace vorn::core::v2::detail

#endif
