#include "platform/request_address.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace platform {
namespace {

bool is_c0_or_space(unsigned char byte) {
    return byte <= 0x20;
}

bool is_tab_or_newline(char byte) {
    return byte == '\t' || byte == '\n' || byte == '\r';
}

// C0 controls and everything above '~': DEL and every byte of a non-ASCII character.
bool in_c0_control_set(unsigned char byte) {
    return byte < 0x20 || byte > 0x7E;
}

bool in_query_set(unsigned char byte, bool special) {
    return in_c0_control_set(byte) || byte == ' ' || byte == '"' || byte == '#' || byte == '<' ||
           byte == '>' || (special && byte == '\'');
}

bool in_path_set(unsigned char byte) {
    return in_query_set(byte, false) || byte == '?' || byte == '^' || byte == '`' || byte == '{' ||
           byte == '}';
}

void append_encoded(std::string& out, unsigned char byte) {
    constexpr std::string_view hex = "0123456789ABCDEF";
    out += '%';
    out += hex[byte >> 4];
    out += hex[byte & 0x0F];
}

// "http:" and its kin, whose paths treat a backslash as a slash.
bool is_special_scheme(std::string_view scheme) {
    static constexpr std::array<std::string_view, 5> special = {"http", "https", "ws", "wss",
                                                                "ftp"};
    std::string lower(scheme);
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return std::ranges::find(special, lower) != special.end();
}

// The length of "scheme:" at the start, or 0 when there is none.
std::size_t scheme_length(std::string_view address) {
    if (address.empty() || !std::isalpha(static_cast<unsigned char>(address[0]))) {
        return 0;
    }
    const auto end = std::ranges::find_if_not(address, [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '-' || c == '.';
    });
    return end != address.end() && *end == ':' ? static_cast<std::size_t>(end - address.begin()) + 1
                                               : 0;
}

} // namespace

std::string request_address(std::string_view typed) {
    // Browsers drop surrounding blanks and controls, and tabs and line breaks anywhere.
    while (!typed.empty() && is_c0_or_space(static_cast<unsigned char>(typed.front()))) {
        typed.remove_prefix(1);
    }
    while (!typed.empty() && is_c0_or_space(static_cast<unsigned char>(typed.back()))) {
        typed.remove_suffix(1);
    }
    std::string address;
    std::ranges::copy_if(typed, std::back_inserter(address),
                         [](char byte) { return !is_tab_or_newline(byte); });

    const std::size_t scheme_end = scheme_length(address);
    const bool special =
        scheme_end > 0 && is_special_scheme(std::string_view(address).substr(0, scheme_end - 1));
    std::size_t position = scheme_end;
    std::string out = address.substr(0, scheme_end);
    if (std::string_view(address).substr(position).starts_with("//")) {
        const std::string_view ends = special ? "/?#\\" : "/?#";
        const std::size_t host_end =
            std::min(address.find_first_of(ends, position + 2), address.size());
        out.append(address, position, host_end - position);
        position = host_end;
    }

    bool in_query = false;
    for (; position < address.size(); ++position) {
        const auto byte = static_cast<unsigned char>(address[position]);
        if (byte == '#') {
            break; // the fragment stays with the client
        }
        if (!in_query && byte == '?') {
            in_query = true;
            out += '?';
        } else if (!in_query && special && byte == '\\') {
            out += '/';
        } else if (in_query ? in_query_set(byte, special) : in_path_set(byte)) {
            append_encoded(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

} // namespace platform
