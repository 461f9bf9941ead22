#include "exports/export_post.h"

#include "offline/body_pieces.h"

#include <map>
#include <memory>
#include <set>
#include <string_view>

namespace exports {

ExportPost ExportPostOf(const offline::PreparedPost& post, const PostSurroundings& around) {
    ExportPost out;
    out.number = post.number;
    out.title = post.title.empty() ? "（无标题）" : post.title;
    out.address = post.address;
    out.capture_address = around.capture_address;
    if (post.facts.date) {
        out.date = *post.facts.date;
    } else {
        // A second apart for each post, as WordPress skips a post whose title and time it has.
        out.date_from = around.capture_time ? DateFrom::capture : DateFrom::backup;
        out.date = offline::ChinaDate(
            offline::UnixSeconds(around.capture_time.value_or(around.backup_time)) -
            static_cast<long long>(post.number));
    }
    out.category = post.facts.category;
    out.tags = post.facts.tags;

    // Each picture asked for once: the file names of those whole in the copy, by address.
    auto names = std::make_shared<std::map<std::string, std::string>>();
    std::set<std::string> pictures;
    for (const offline::BodyAddress& value : post.body.addresses) {
        if (value.picture && !names->contains(value.address)) {
            if (std::optional<std::string> name = around.picture(value.address)) {
                names->emplace(value.address, *name);
                if (pictures.insert(*name).second) {
                    out.pictures.push_back(std::move(*name));
                }
            }
        }
    }
    const auto in_folder = [names](std::string_view folder) {
        return [names, folder](const std::string& address) -> std::optional<std::string> {
            const auto found = names->find(address);
            return found == names->end() ? std::nullopt
                                         : std::optional(std::string(folder) + found->second);
        };
    };
    out.hugo_targets = {in_folder(""),
                        [post_number = around.post_number](
                            const std::string& address) -> std::optional<std::string> {
                            const auto number = post_number(address);
                            if (!number) {
                                return std::nullopt;
                            }
                            return "../" + std::to_string(*number) + "/";
                        }};
    out.wordpress_targets = {in_folder(uploads_path),
                             [](const std::string&) { return std::optional<std::string>(); }};
    std::size_t markup_bytes = 0;
    for (const std::string& markup : post.body.markup) {
        markup_bytes += markup.size();
    }
    // UTF-8 takes at least one byte a unit: a body of fewer bytes is not cleaned in pieces.
    if (markup_bytes > offline::body_piece_units) {
        out.long_body = &post.body;
    } else {
        out.hugo_body = offline::RenderBody(post.body, out.hugo_targets);
        out.wordpress_body = offline::RenderBody(post.body, out.wordpress_targets);
    }
    return out;
}

} // namespace exports
