#pragma once
// The saved posts' numbers by the key every spelling of a post's address shares, so that the
// copy and the exports lead the same links to the same posts.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace offline {

class PostNumbers {
public:
    // A saved post, by its own address (the list item's). The first post of a key keeps it.
    void add(std::string_view address, std::size_t number);

    // The post an address in a body leads to, whatever its scheme, query or fragment.
    std::optional<std::size_t> find(std::string_view address) const;

private:
    std::map<std::string, std::size_t, std::less<>> m_numbers;
};

} // namespace offline
