#include "offline/copy_writer.h"

#include "offline/gumbo_document.h"
#include "offline/picture.h"
#include "platform/part_file.h"
#include "platform/text.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <set>
#include <system_error>

namespace offline {
namespace {

constexpr std::array<std::string_view, 5> picture_extensions{".png", ".jpg", ".gif", ".webp",
                                                             ".bmp"};

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
    if (error || !platform::replace_file(m_folder / name, bytes)) {
        return std::nullopt;
    }
    return name;
}

CopyWriteResult WriteCopy(const std::filesystem::path& user_folder, const CopyPageBuilder& pages,
                          const BodyLoader& body_of) {
    CopyWriteResult result;
    const std::filesystem::path root = CopyFolder(user_folder);
    const std::filesystem::path posts = root / "posts";
    std::error_code error;
    std::filesystem::create_directories(posts, error);
    std::filesystem::create_directories(root / "images", error);
    // all.html grows a post at a time beside the post pages, so one body is held at a time.
    platform::PartFile all(root / "all.html");
    bool all_whole = all.write(pages.all_start());
    std::set<std::string> written;
    for (std::size_t k = 0; k < pages.saved_count(); ++k) {
        const std::string name = std::to_string(pages.number_of(k)) + ".html";
        written.insert(name);
        try {
            const std::optional<CleanBody> body = body_of(pages.number_of(k));
            if (!body) {
                result.stopped = true;
                return result;
            }
            all_whole = all.write(pages.all_article(k, *body)) && all_whole;
            if (!platform::replace_file(posts / name, pages.post_page(k, *body))) {
                result.failed.push_back(posts / name);
            }
        } catch (const std::exception&) {
            result.failed.push_back(posts / name);
            all_whole = false;
        }
    }
    if (!all_whole || !all.write(CopyPageBuilder::all_end()) || !all.commit()) {
        result.failed.push_back(root / "all.html");
    }
    if (!platform::replace_file(root / "index.html", pages.index_page())) {
        result.failed.push_back(root / "index.html");
    }

    // Pages of posts no longer listed, pictures no page shows any more (a post gone, or a
    // picture an earlier save knew by another address), and anything an interrupted save left
    // half written.
    const std::filesystem::path images = root / "images";
    const std::set<std::string> shown = pages.picture_files();
    for (const std::filesystem::path& folder : {posts, images}) {
        std::vector<std::filesystem::path> stale;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error)) {
            const std::string name = entry->path().filename().string();
            const bool old_page =
                folder == posts && ends_with(name, ".html") && !written.count(name);
            const bool old_picture =
                folder == images && is_picture_name(name) && !shown.contains(name);
            if (entry->is_regular_file(error) &&
                (old_page || old_picture || ends_with(name, platform::part_suffix))) {
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
    // The renames of every page and picture, on the disk once for all.
    for (const std::filesystem::path& folder : {posts, images, root}) {
        platform::sync_folder(folder);
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
