#pragma once
// What the fuzz targets share: turning libFuzzer's bytes into program text, and stopping the run
// when a property breaks, so that libFuzzer keeps the input that broke it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Each pair of bytes is one UTF-16 unit, low byte first, so lone and paired surrogates come up
// as often as any other unit; an odd last byte is dropped.
inline std::u16string utf16_from(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return text;
}

inline std::u16string utf16_from(const std::vector<std::uint8_t>& bytes) {
    return utf16_from(bytes.data(), bytes.size());
}

inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

} // namespace fuzz
