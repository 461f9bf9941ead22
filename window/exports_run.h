#pragma once
// The save's exports, written after the copy from the same prepared posts. No GTK.

#include "offline/copy_pages.h"
#include "offline/copy_writer.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace window {

struct ExportsSource {
    std::u16string user_name;
    std::u16string blog_address; // the blog's own address, as a live save would have it
    std::int64_t backup_unix = 0;
};

// Writes both exports into the user folder, taking the pictures from the copy's images folder.
// A post saved from the archive has its original address and its capture, whose time dates it
// when its page does not. `stop` is asked between posts; once it holds, the writing ends. False
// when something could not be written or the writing was stopped; the exports an earlier save
// wrote are then left whole.
bool WriteExports(const std::filesystem::path& user_folder,
                  const std::vector<offline::PostSummary>& posts,
                  const offline::BodyLoader& body_of, const ExportsSource& source,
                  const std::function<bool()>& stop = {});
// The same from posts held whole in memory.
bool WriteExports(const std::filesystem::path& user_folder,
                  const std::vector<offline::PreparedPost>& posts, const ExportsSource& source,
                  const std::function<bool()>& stop = {});

// A capture's time from its timestamp ("20100315123456"; missing digits are the earliest).
std::optional<offline::PostDate> CaptureTime(std::u16string_view timestamp);

} // namespace window
