#pragma once
// The save's exports, written after the copy from the same prepared posts. No GTK.

#include "offline/copy_pages.h"
#include "offline/copy_writer.h"

#include <cstdint>
#include <filesystem>
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
// when its page does not. False when something could not be written.
bool WriteExports(const std::filesystem::path& user_folder,
                  const std::vector<offline::PostSummary>& posts,
                  const offline::BodyLoader& body_of, const ExportsSource& source);
// The same from posts held whole in memory.
bool WriteExports(const std::filesystem::path& user_folder,
                  const std::vector<offline::PreparedPost>& posts, const ExportsSource& source);

// A capture's time from its timestamp ("20100315123456"; missing digits are the earliest).
std::optional<offline::PostDate> CaptureTime(std::u16string_view timestamp);

} // namespace window
