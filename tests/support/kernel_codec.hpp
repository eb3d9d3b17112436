// SPDX-License-Identifier: MIT
// Whole texts encoded and decoded with the kernels of a chosen level, for the suites and fuzz
// targets that hold every level this processor supports to the library's results. The runs
// between the given cuts (rounded down to whole groups) go to the kernel one call each, so that
// the kernels see runs of every length starting at every group.
#ifndef VORN_CORE_TESTS_SUPPORT_KERNEL_CODEC_HPP
#define VORN_CORE_TESTS_SUPPORT_KERNEL_CODEC_HPP

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binary_encoding/base64_codec.hpp"
#include "binary_encoding/kernels.hpp"
#include "binary_encoding/tables.hpp"
#include "vorn/core/binary_encoding.hpp"

namespace vorn::test {

using kernel_level = core::v2::detail::kernel_level;

// True when this processor can run the kernels of `level`.
inline bool kernel_level_supported(kernel_level level) {
    return static_cast<unsigned>(level) <=
           static_cast<unsigned>(core::v2::detail::hardware_kernel_level());
}

inline const core::v2::detail::base64_kernels& base64_kernels_of(kernel_level level,
                                                                 core::v2::binary_encoding e) {
    return e == core::v2::binary_encoding::base64url
               ? core::v2::detail::base64url_kernels_for(level)
               : core::v2::detail::base64_kernels_for(level);
}

// Calls `run(from, to)` for each run of whole units of `unit` in [0, end) between the cuts.
template <class Run>
void for_each_run(std::size_t end, std::size_t unit, const std::vector<std::size_t>& cuts,
                  Run run) {
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        const std::size_t to = std::min(cut / unit * unit, end);
        if (to > from) {
            run(from, to);
            from = to;
        }
    }
    if (end > from) {
        run(from, end);
    }
}

// `data` encoded with the kernels of `level`; the last 0-2 bytes of Base64 by the library's
// final-group writer.
inline std::string kernel_encode(kernel_level level, core::v2::binary_encoding e,
                                 const std::vector<unsigned char>& data,
                                 const std::vector<std::size_t>& cuts = {}) {
    const bool hex = e == core::v2::binary_encoding::hex;
    const std::size_t unit = hex ? 1 : 3;
    const std::size_t whole = data.size() / unit * unit;
    std::string text;
    for_each_run(whole, unit, cuts, [&](std::size_t from, std::size_t to) {
        const std::size_t at = text.size();
        if (hex) {
            text.resize(at + 2 * (to - from));
            core::v2::detail::hex_kernels_for(level).encode(data.data() + from, to - from,
                                                            text.data() + at);
        } else {
            text.resize(at + (to - from) / 3 * 4);
            base64_kernels_of(level, e).encode(data.data() + from, (to - from) / 3,
                                               text.data() + at);
        }
    });
    if (!hex) {
        char last[4];
        text.append(last, core::v2::detail::base64_encode_final(
                              *base64_kernels_of(level, e).alphabet, data.data() + whole,
                              data.size() - whole, last));
    }
    return text;
}

// `text` decoded strictly with the kernels of `level`: the whole groups (or digit pairs) by the
// kernel, a final group that is padded (or, in Base64url, short) by the library's final-group
// decoder. Nothing for a refused text. The output has exactly the room the kernels may use, so
// that a write past it shows under AddressSanitizer.
inline std::optional<std::vector<unsigned char>> kernel_decode(
    kernel_level level, core::v2::binary_encoding e, std::string_view text,
    const std::vector<std::size_t>& cuts = {}) {
    const bool hex = e == core::v2::binary_encoding::hex;
    const std::size_t unit = hex ? 2 : 4;
    const std::size_t bytes_per_unit = hex ? 1 : 3;
    std::size_t tail = text.size() % unit;
    if (!hex && tail == 0 && !text.empty() && text.back() == core::v2::detail::base64_padding) {
        tail = 4;
    }
    if (hex && tail != 0) {
        return std::nullopt;
    }
    const std::size_t body = text.size() - tail;
    std::vector<unsigned char> out(body / unit * bytes_per_unit);
    bool ok = true;
    for_each_run(body, unit, cuts, [&](std::size_t from, std::size_t to) {
        const char* const in = text.data() + from;
        unsigned char* const at = out.data() + from / unit * bytes_per_unit;
        ok = (hex ? core::v2::detail::hex_kernels_for(level).decode(in, (to - from) / 2, at)
                  : base64_kernels_of(level, e).decode(in, (to - from) / 4, at)) &&
             ok;
    });
    if (!ok) {
        return std::nullopt;
    }
    if (tail != 0) {
        const core::v2::detail::base64_alphabet_spec& a = *base64_kernels_of(level, e).alphabet;
        const core::v2::detail::base64_final_bytes last =
            core::v2::detail::base64_decode_final(a, text.data() + body, tail, {a.url, false});
        if (last.refused) {
            return std::nullopt;
        }
        out.insert(out.end(), last.bytes, last.bytes + last.size);
    }
    return out;
}

}  // namespace vorn::test

#endif
