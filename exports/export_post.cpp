#include "exports/export_post.h"

#include <set>

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

    std::set<std::string> pictures;
    const auto picture = [&](const std::string& address, std::string_view folder) {
        std::optional<std::string> name = around.picture(address);
        if (!name) {
            return name;
        }
        if (pictures.insert(*name).second) {
            out.pictures.push_back(*name);
        }
        return std::optional(std::string(folder) + *name);
    };
    out.hugo_body = offline::RenderBody(
        post.body, {[&](const std::string& address) { return picture(address, ""); },
                    [&](const std::string& address) -> std::optional<std::string> {
                        const auto number = around.post_number(address);
                        if (!number) {
                            return std::nullopt;
                        }
                        return "../" + std::to_string(*number) + "/";
                    }});
    out.wordpress_body = offline::RenderBody(
        post.body, {[&](const std::string& address) { return picture(address, uploads_path); },
                    [](const std::string&) { return std::optional<std::string>(); }});
    return out;
}

} // namespace exports
