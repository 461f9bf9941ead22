#include "platform/body_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr std::size_t kib = 1024;
constexpr std::size_t mib = 1024 * kib;
constexpr std::size_t limit = 32 * mib;

// Receives `total` bytes in pieces of `piece` as a download does; the bytes copied when the
// room grows, and the room at the end.
struct Growth {
    std::size_t copied = 0;
    std::size_t capacity = 0;
};
Growth receive(std::size_t total, std::size_t piece) {
    Growth growth;
    for (std::size_t size = 0; size < total;) {
        const std::size_t needed = std::min(total, size + piece);
        if (needed > growth.capacity) {
            const std::size_t next = platform::NextBodyCapacity(needed, growth.capacity, limit);
            EXPECT_GE(next, needed);
            EXPECT_LE(next, limit);
            growth.copied += size;
            growth.capacity = next;
        }
        size = needed;
    }
    return growth;
}

} // namespace

TEST(BodyBuffer, ALongBodyIsCopiedLittleAndASmallOneTakesLittleRoom) {
    // A page at the limit: growing by doubling would copy 31 MiB on the window's thread.
    const Growth long_page = receive(limit - 8, 16 * kib);
    EXPECT_LE(long_page.copied, 8 * mib);
    EXPECT_EQ(long_page.capacity, limit);
    // Small pages, the most common, keep room within twice their size.
    for (const std::size_t size : {std::size_t{1}, 100 * kib, 3 * mib}) {
        const Growth small = receive(size, 16 * kib);
        EXPECT_LE(small.capacity, 2 * size + 16 * kib) << size;
    }
}
