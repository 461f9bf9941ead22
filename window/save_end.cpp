#include "window/save_end.h"

#include "platform/text.h"

#include <glib.h>

#include <memory>
#include <system_error>

namespace window {

std::u16string SaveEndAddress(const std::filesystem::path& copy_folder, bool copy_left,
                              std::u16string_view home) {
    const std::filesystem::path index = copy_folder / "index.html";
    std::error_code error;
    if (!copy_left || !std::filesystem::is_regular_file(index, error) || !index.is_absolute()) {
        return std::u16string(home);
    }
    const std::unique_ptr<gchar, decltype(&g_free)> address(
        g_filename_to_uri(index.c_str(), nullptr, nullptr), &g_free);
    if (!address) {
        return std::u16string(home);
    }
    return platform::utf8_to_utf16(address.get());
}

} // namespace window
