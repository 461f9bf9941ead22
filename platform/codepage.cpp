#include "platform/codepage.h"

#include "platform/text.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <system_error>
#include <utility>

namespace platform {
namespace {

// The buffers below are handed to iconv as raw bytes in the platform's own order.
static_assert(std::endian::native == std::endian::little, "char16_t buffers are read as UTF-16LE");

// Named with the byte order: plain "UTF-16" would add and strip byte-order marks.
constexpr const char* gbk_name = "CP936";
constexpr const char* utf16_name = "UTF-16LE";

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == invalid()) {
            throw std::system_error(errno, std::generic_category(),
                                    std::string("iconv_open ") + from + " -> " + to);
        }
    }
    ~Iconv() { iconv_close(m_cd); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much as it can; returns 0 when all input was used, otherwise errno.
    int convert(const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left) {
        char* in_cursor = const_cast<char*>(in); // iconv does not write to its input
        const std::size_t result = iconv(m_cd, &in_cursor, &in_left, &out, &out_left);
        in = in_cursor;
        return result == static_cast<std::size_t>(-1) ? errno : 0;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t m_cd;
};

bool is_lead_byte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// How many bytes of an undefined sequence make one U+FFFD. An unmapped pair counts as one
// character, but an ASCII byte after a lead byte starts the next character and is kept.
std::size_t undefined_length(std::string_view rest) {
    if (rest.size() >= 2 && is_lead_byte(static_cast<unsigned char>(rest[0])) &&
        static_cast<unsigned char>(rest[1]) >= 0x80) {
        return 2;
    }
    return 1;
}

// The code point that could not be encoded at the start of `rest` and its length in units;
// a lone surrogate stands for U+FFFD.
std::pair<char32_t, std::size_t> unencodable_at(std::u16string_view rest) {
    const char16_t c = rest[0];
    if (is_high_surrogate(c) && rest.size() >= 2 && is_low_surrogate(rest[1])) {
        return {code_point_of(c, rest[1]), 2};
    }
    if (is_high_surrogate(c) || is_low_surrogate(c)) {
        return {0xFFFD, 1};
    }
    return {c, 1};
}

std::string character_reference(char32_t code_point) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    do {
        hex.insert(hex.begin(), digits[code_point & 0xF]);
        code_point >>= 4;
    } while (code_point != 0);
    return "&#x" + hex + ";";
}

// Output bytes written by iconv straight into the string, which grows as needed.
class ByteSink {
public:
    explicit ByteSink(std::size_t capacity) : m_bytes(capacity + 16, '\0') {}

    char* cursor() { return m_bytes.data() + m_used; }
    std::size_t room() const { return m_bytes.size() - m_used; }
    void advance_to(const char* cursor) {
        m_used = static_cast<std::size_t>(cursor - m_bytes.data());
    }
    void grow(std::size_t at_least) { m_bytes.resize(m_bytes.size() * 2 + at_least); }
    void append(std::string_view bytes) {
        if (room() < bytes.size()) {
            grow(bytes.size());
        }
        std::memcpy(cursor(), bytes.data(), bytes.size());
        m_used += bytes.size();
    }
    std::string take() {
        m_bytes.resize(m_used);
        return std::move(m_bytes);
    }

private:
    std::string m_bytes;
    std::size_t m_used = 0;
};

// glibc finds an unencodable character only after converting ahead of it and then converts
// again up to it, so each error costs as much as the text handed over. After an error the text
// goes over in short runs, which lengthen again while no error comes.
constexpr std::size_t run_after_error = 64;

// Encodes as much of `run` as GBK allows; returns the units used and 0, EILSEQ or EINVAL.
std::pair<std::size_t, int> encode_run(Iconv& iconv, std::u16string_view run, ByteSink& out) {
    const char* const start = reinterpret_cast<const char*>(run.data());
    const char* in = start;
    std::size_t in_left = run.size() * sizeof(char16_t);
    for (;;) {
        char* out_cursor = out.cursor();
        std::size_t out_left = out.room();
        const int error = iconv.convert(in, in_left, out_cursor, out_left);
        out.advance_to(out_cursor);
        if (error == E2BIG) {
            out.grow(in_left);
            continue;
        }
        if (error != 0 && error != EILSEQ && error != EINVAL) {
            throw std::system_error(error, std::generic_category(), "encoding GBK");
        }
        return {static_cast<std::size_t>(in - start) / sizeof(char16_t), error};
    }
}

} // namespace

std::u16string decode_gbk(std::string_view bytes) {
    Iconv iconv(utf16_name, gbk_name);
    // GBK has no character longer than one UTF-16 unit, so one unit per byte is enough.
    std::u16string out(bytes.size(), u'\0');
    const char* in = bytes.data();
    std::size_t in_left = bytes.size();
    char* out_cursor = reinterpret_cast<char*>(out.data());
    std::size_t out_left = out.size() * sizeof(char16_t);
    while (in_left > 0) {
        const int error = iconv.convert(in, in_left, out_cursor, out_left);
        if (error == 0) {
            break;
        }
        if (error != EILSEQ && error != EINVAL) {
            throw std::system_error(error, std::generic_category(), "decoding GBK");
        }
        // The bad bytes take at least as much room as the U+FFFD written for them.
        const std::size_t skip = undefined_length(std::string_view(in, in_left));
        const char16_t replacement = 0xFFFD;
        std::memcpy(out_cursor, &replacement, sizeof replacement);
        out_cursor += sizeof replacement;
        out_left -= sizeof replacement;
        in += skip;
        in_left -= skip;
    }
    out.resize(out.size() - out_left / sizeof(char16_t));
    return out;
}

std::string encode_gbk(std::u16string_view text) {
    Iconv iconv(gbk_name, utf16_name);
    ByteSink out(text.size() * 2);
    std::size_t position = 0;
    std::size_t run_length = text.size();
    while (position < text.size()) {
        const std::u16string_view run = text.substr(position, run_length);
        const auto [units, error] = encode_run(iconv, run, out);
        position += units;
        if (error == 0) {
            run_length = std::min(run_length * 2, text.size());
            continue;
        }
        // Read from the whole text: a run may end between the two halves of a pair.
        const auto [code_point, length] = unencodable_at(text.substr(position));
        out.append(character_reference(code_point));
        position += length;
        run_length = run_after_error;
    }
    return out.take();
}

} // namespace platform
