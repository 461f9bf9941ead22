#pragma once
// One saved post as both exports take it: its facts, a date for every post (with where it came
// from when the page showed none) and its body rendered for each export.
//
// Feed the writers one post at a time, in list order; they keep little of each.

#include "offline/copy_pages.h"
#include "offline/post_facts.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace exports {

enum class DateFrom {
    page,    // the date the post's page showed
    capture, // the archive's capture of the page, less the post's number in seconds
    backup,  // the time of this backup, less the post's number in seconds
};

struct ExportPost {
    std::size_t number = 0;
    std::string title; // as shown: "（无标题）" when the page had none
    std::string address;
    std::string capture_address; // archive saves only
    offline::PostDate date;
    DateFrom date_from = DateFrom::page;
    std::string category;
    std::vector<std::string> tags;
    std::string hugo_body;             // pictures beside the page, links to the other posts' pages
    std::string wordpress_body;        // pictures under the uploads folder, links as they were
    std::vector<std::string> pictures; // file names, as in the copy's images folder
    // A body over the size the copy cleans in pieces is not held rendered: the two above stay
    // empty, and the writers render it from the prepared post's body as they write. Valid while
    // that post is.
    const offline::CleanBody* long_body = nullptr;
    offline::BodyTargets hugo_targets;
    offline::BodyTargets wordpress_targets;
};

// What a post's export needs from around it.
struct PostSurroundings {
    // The file name of a picture, when it is whole in the copy's images folder.
    std::function<std::optional<std::string>(const std::string& address)> picture;
    // The number of a saved, listed post, by its address (no fragment).
    std::function<std::optional<std::size_t>(const std::string& address)> post_number;
    std::string capture_address;                   // archive saves: the capture's replay address
    std::optional<offline::PostDate> capture_time; // archive saves: when it was captured
    offline::PostDate backup_time;
};

// Where the uploads folder's pictures are on a WordPress site.
inline constexpr std::string_view uploads_path = "/wp-content/uploads/pellumo/";

ExportPost ExportPostOf(const offline::PreparedPost& post, const PostSurroundings& around);

} // namespace exports
