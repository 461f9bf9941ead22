#include "window/kept_list.h"

#include "platform/part_file.h"
#include "platform/text.h"

#include <sys/stat.h>

#include <array>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace window {

fs::path RecoveryFolder(const fs::path& user_folder) {
    return user_folder / "恢复记录";
}

bool WriteRecoveryFile(const fs::path& file, std::string_view bytes) {
    std::error_code ignored;
    fs::create_directory(file.parent_path(), ignored);
    return platform::replace_file(file, bytes);
}

fs::path KeptListFile(const fs::path& user_folder) {
    return RecoveryFolder(user_folder) / "文章链接.txt";
}

std::string KeptListText(const std::vector<std::u16string>& addresses) {
    std::string text;
    for (const std::u16string& address : addresses) {
        text += platform::utf16_to_utf8(address) + "\n";
    }
    return text;
}

std::vector<std::u16string> KeptListAddresses(std::string_view text) {
    std::vector<std::u16string> addresses;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        // A file edited by hand elsewhere may end its lines in "\r\n" and carry blanks.
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && line.front() == ' ') {
            line.remove_prefix(1);
        }
        if (!line.empty()) {
            addresses.push_back(platform::utf8_to_utf16(line));
        }
    }
    return addresses;
}

bool WriteKeptList(const fs::path& user_folder, const std::vector<std::u16string>& addresses) {
    return WriteRecoveryFile(KeptListFile(user_folder), KeptListText(addresses));
}

std::optional<KeptList> ReadKeptList(const fs::path& user_folder) {
    const fs::path file = KeptListFile(user_folder);
    struct stat facts {};
    if (::stat(file.c_str(), &facts) != 0) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    KeptList list{KeptListAddresses(text), facts.st_mtime};
    if (list.addresses.empty()) {
        return std::nullopt;
    }
    return list;
}

std::u16string LocalMinuteText(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    std::array<char, 32> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M", &local);
    return platform::utf8_to_utf16(std::string_view(text.data(), length));
}

std::u16string KeptListQuestion(const KeptList& list) {
    return u"上次获取了" + platform::decimal(static_cast<long long>(list.addresses.size())) +
           u"个文章链接（" + LocalMinuteText(list.written) + u"）。直接使用这些链接吗？";
}

} // namespace window
