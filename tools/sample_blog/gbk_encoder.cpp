#include "tools/sample_blog/gbk_encoder.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace sample_blog {
namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Iconv = std::unique_ptr<void, IconvCloser>;

Iconv open_iconv(const char* to, const char* from) {
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::system_error(errno, std::generic_category(), "iconv_open");
    }
    return Iconv(cd);
}

std::string to_utf16le(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// The code point at `unit` and how many code units it takes; a lone surrogate stands for itself.
std::pair<char32_t, std::size_t> code_point_at(std::u16string_view text, std::size_t unit) {
    const char16_t c = text[unit];
    if (c >= 0xD800 && c <= 0xDBFF && unit + 1 < text.size() && text[unit + 1] >= 0xDC00 &&
        text[unit + 1] <= 0xDFFF) {
        return {0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[unit + 1] - 0xDC00), 2};
    }
    return {c, 1};
}

} // namespace

std::string encode_gbk(std::u16string_view text) {
    const Iconv cd = open_iconv("CP936", "UTF-16LE");
    std::string input = to_utf16le(text);
    char* in_ptr = input.data();
    std::size_t in_left = input.size();
    std::string out;
    std::array<char, 4096> buffer;
    while (in_left > 0) {
        char* out_ptr = buffer.data();
        std::size_t out_left = buffer.size();
        const std::size_t result =
            iconv(static_cast<iconv_t>(cd.get()), &in_ptr, &in_left, &out_ptr, &out_left);
        out.append(buffer.data(), buffer.size() - out_left);
        if (result != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            throw std::system_error(errno, std::generic_category(), "iconv");
        }
        const auto [code_point, units] = code_point_at(text, (input.size() - in_left) / 2);
        out += "&#" + std::to_string(code_point) + ";";
        in_ptr += units * 2;
        in_left -= units * 2;
    }
    return out;
}

} // namespace sample_blog
