#include "offline/post_numbers.h"

#include "offline/address.h"

namespace offline {
namespace {

std::optional<std::string> key_of(std::string_view address) {
    const std::optional<std::string> resolved = ResolveWebAddress(address, address);
    if (!resolved) {
        return std::nullopt;
    }
    return PostPageKey(*resolved);
}

} // namespace

void PostNumbers::add(std::string_view address, std::size_t number) {
    if (const auto key = key_of(address)) {
        m_numbers.emplace(*key, number);
    }
}

std::optional<std::size_t> PostNumbers::find(std::string_view address) const {
    const auto key = key_of(address);
    if (!key) {
        return std::nullopt;
    }
    const auto found = m_numbers.find(*key);
    return found == m_numbers.end() ? std::nullopt : std::optional(found->second);
}

} // namespace offline
