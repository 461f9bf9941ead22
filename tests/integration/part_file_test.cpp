#include "platform/part_file.h"

#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;
using testing_support::files_under;
using testing_support::read_bytes;

namespace {

// Writes the bytes in pieces of the given sizes, round and round, and commits.
bool write_in_pieces(const fs::path& file, const std::string& bytes,
                     const std::vector<std::size_t>& sizes, platform::Durability durability) {
    platform::PartFile part(file, durability);
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
        const std::size_t size = sizes[i % sizes.size()];
        part.write(std::string_view(bytes).substr(at, size));
        at += size;
    }
    return part.commit();
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    return bytes;
}

// Small pieces that gather, pieces as large as the file, and both mixed.
const std::vector<std::vector<std::size_t>> piece_sizes{{8}, {1000, 3}, {300000}, {5, 70000, 1}};

TEST(PartFileTest, EveryByteArrivesWhateverThePieces) {
    const testing_support::TempFolder folder;
    const std::string bytes = pattern(300000);
    for (const auto durability : {platform::Durability::durable, platform::Durability::scratch}) {
        for (const auto& sizes : piece_sizes) {
            const fs::path file = folder.path() / "f";
            ASSERT_TRUE(write_in_pieces(file, bytes, sizes, durability)) << sizes.front();
            EXPECT_TRUE(read_bytes(file) == bytes) << sizes.front();
            EXPECT_EQ(files_under(folder.path()).size(), 1u);
        }
    }
}

TEST(PartFileTest, AWriteThatFailsPartWayKeepsTheOldFile) {
    const testing_support::TempFolder folder;
    const fs::path file = folder.path() / "f";
    std::ofstream(file, std::ios::binary) << "old bytes";
    const std::string bytes = pattern(300000);

    // Room for some bytes of each attempt but not all: a write fails after some went in, as on
    // a full disk, while closing the file still succeeds.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::vector<bool> committed;
    for (const auto& sizes : piece_sizes) {
        committed.push_back(write_in_pieces(file, bytes, sizes, platform::Durability::durable));
    }
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);

    EXPECT_EQ(committed, std::vector<bool>(piece_sizes.size(), false));
    EXPECT_EQ(files_under(folder.path()), (std::map<std::string, std::string>{{"f", "old bytes"}}));
}

TEST(PartFileTest, AFileThatCannotBeOpenedIsNotCommitted) {
    const testing_support::TempFolder folder;
    EXPECT_FALSE(platform::replace_file(folder.path() / "missing" / "f", "x"));
    EXPECT_TRUE(platform::sync_folder(folder.path()));
    EXPECT_FALSE(platform::sync_folder(folder.path() / "missing"));
}

} // namespace
