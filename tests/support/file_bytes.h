#pragma once
// A whole file's bytes, for comparing what the program wrote; empty when it cannot be read.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace testing_support {

inline std::string read_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file under the folder, by relative path, with its bytes.
inline std::map<std::string, std::string> files_under(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] =
                read_bytes(entry.path());
        }
    }
    return files;
}

} // namespace testing_support
