#include "platform/body_buffer.h"

#include <algorithm>
#include <cstdint>

#include <sys/mman.h>

namespace platform {
namespace {

constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;

// The whole huge pages within [data, data + size). A hint: the system may decline it.
void advise_huge_pages(char* data, std::size_t size) {
#if defined(MADV_HUGEPAGE)
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + huge_page - 1) & ~(huge_page - 1);
    const std::uintptr_t last = (begin + size) & ~(huge_page - 1);
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)size;
#endif
}

} // namespace

std::size_t NextBodyCapacity(std::size_t needed, std::size_t capacity, std::size_t limit) {
    constexpr std::size_t long_body_bytes = std::size_t{4} << 20;
    const std::size_t wanted = std::max(needed, 2 * capacity);
    if (wanted > long_body_bytes) {
        return std::max(limit, needed);
    }
    std::size_t next = limit;
    while (next / 2 >= wanted) {
        next /= 2;
    }
    return std::max(next, needed);
}

void GrowBody(std::string& body, std::size_t capacity) {
    if (capacity <= body.capacity()) {
        return;
    }
    std::string grown;
    grown.reserve(capacity);
    // Before the content is copied in: the copy is what touches the new memory first.
    advise_huge_pages(grown.data(), grown.capacity());
    grown.append(body);
    body.swap(grown);
}

} // namespace platform
