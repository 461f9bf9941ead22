#include "offline/copy_writer.h"

#include "offline/gumbo_document.h"
#include "offline/picture.h"
#include "platform/text.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <set>
#include <system_error>

namespace offline {
namespace {

constexpr std::string_view part_suffix = ".part";
constexpr std::array<std::string_view, 5> picture_extensions{".png", ".jpg", ".gif", ".webp",
                                                             ".bmp"};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Writes under "<name>.part" and renames over `file` when every byte is on disk.
bool write_whole(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::path part = file;
    part += part_suffix;
    {
        std::unique_ptr<std::FILE, FileCloser> out(std::fopen(part.c_str(), "wb"));
        if (!out) {
            return false;
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size();
        if (std::fclose(out.release()) != 0 || !written) {
            std::error_code ignored;
            std::filesystem::remove(part, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(part, file, error);
    return !error;
}

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool is_picture_name(std::string_view name) {
    return std::ranges::any_of(picture_extensions, [name](std::string_view extension) {
        return ends_with(name, extension);
    });
}

struct DateTimeDeleter {
    void operator()(GDateTime* time) const { g_date_time_unref(time); }
};

} // namespace

std::filesystem::path CopyFolder(const std::filesystem::path& user_folder) {
    return user_folder / std::filesystem::path(u8"离线浏览");
}

PictureStore::PictureStore(std::filesystem::path copy_folder)
    : m_folder(std::move(copy_folder) / "images") {}

std::optional<std::string> PictureStore::Existing(std::string_view address) const {
    const std::string hash = PictureHash(address);
    for (const std::string_view extension : picture_extensions) {
        const std::string name = hash + std::string(extension);
        std::error_code error;
        if (std::filesystem::is_regular_file(m_folder / name, error)) {
            return name;
        }
    }
    return std::nullopt;
}

std::optional<std::string> PictureStore::Store(std::string_view address, std::string_view extension,
                                               std::string_view bytes) const {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    const std::string name = PictureFileName(address, extension);
    if (error || !write_whole(m_folder / name, bytes)) {
        return std::nullopt;
    }
    return name;
}

CopyWriteResult WriteCopy(const std::filesystem::path& user_folder, const CopyPages& pages) {
    CopyWriteResult result;
    const std::filesystem::path root = CopyFolder(user_folder);
    const std::filesystem::path posts = root / "posts";
    std::error_code error;
    std::filesystem::create_directories(posts, error);
    std::filesystem::create_directories(root / "images", error);
    const auto write = [&](const std::filesystem::path& file, std::string_view bytes) {
        if (!write_whole(file, bytes)) {
            result.failed.push_back(file);
        }
    };
    std::set<std::string> written;
    for (const auto& [number, page] : pages.posts) {
        const std::string name = std::to_string(number) + ".html";
        written.insert(name);
        write(posts / name, page);
    }
    write(root / "all.html", pages.all);
    write(root / "index.html", pages.index);

    // Pages of posts no longer listed, pictures no page shows any more (a post gone, or a
    // picture an earlier save knew by another address), and anything an interrupted save left
    // half written.
    const std::filesystem::path images = root / "images";
    for (const std::filesystem::path& folder : {posts, images}) {
        std::vector<std::filesystem::path> stale;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error)) {
            const std::string name = entry->path().filename().string();
            const bool old_page =
                folder == posts && ends_with(name, ".html") && !written.count(name);
            const bool old_picture =
                folder == images && is_picture_name(name) && !pages.pictures.contains(name);
            if (entry->is_regular_file(error) &&
                (old_page || old_picture || ends_with(name, part_suffix))) {
                stale.push_back(entry->path());
            }
        }
        for (const std::filesystem::path& file : stale) {
            std::error_code removal;
            if (!std::filesystem::remove(file, removal) || removal) {
                result.failed.push_back(file);
            }
        }
    }
    return result;
}

std::u16string BackupTimeText(std::int64_t unix_seconds) {
    const std::unique_ptr<GDateTime, DateTimeDeleter> time(
        g_date_time_new_from_unix_local(unix_seconds));
    if (!time) {
        return {};
    }
    const GlibText text(g_date_time_format(time.get(), "%Y-%m-%d %H:%M:%S"));
    return text ? platform::utf8_to_utf16(text.get()) : std::u16string();
}

} // namespace offline
