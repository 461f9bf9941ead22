#include "tools/sample_blog/routes.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_pictures.h"
#include "tools/sample_blog/new_layout_blog.h"

#include <charconv>
#include <vector>

namespace sample_blog {
namespace {

// "http://host/a/b?q" and "/a/b?q" both give "/a/b".
std::string_view path_of(std::string_view target) {
    target = target.substr(0, target.find('?'));
    constexpr std::string_view scheme = "http://";
    if (target.starts_with(scheme)) {
        const auto slash = target.find('/', scheme.size());
        return slash == std::string_view::npos ? "/" : target.substr(slash);
    }
    return target;
}

std::vector<std::string_view> segments_of(std::string_view path) {
    std::vector<std::string_view> segments;
    while (path.starts_with('/')) {
        path.remove_prefix(1);
        const auto end = path.find('/');
        segments.push_back(path.substr(0, end));
        path = end == std::string_view::npos ? std::string_view() : path.substr(end);
    }
    if (!segments.empty() && segments.back().empty()) {
        segments.pop_back(); // a trailing slash names the same page
    }
    return segments;
}

bool parse_index(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() && value >= 0;
}

Reply page(std::u16string html) {
    return Reply{.kind = Reply::Kind::gbk, .html = std::move(html)};
}
Reply not_found() {
    return Reply{.kind = Reply::Kind::gbk, .status = 404, .html = not_found_page()};
}

Reply long_post(std::string_view length, bool chunked, bool tagged = false) {
    std::size_t bytes = 0;
    const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), bytes);
    if (error != std::errc() || end != length.data() + length.size() || bytes == 0) {
        return not_found();
    }
    return Reply{
        .kind = Reply::Kind::long_post, .length = bytes, .chunked = chunked, .tagged = tagged};
}

Reply picture(std::string_view name) {
    if (name == "gone.png") {
        return not_found();
    }
    if (name == "page.jpg") {
        return Reply{.kind = Reply::Kind::utf8, .html = utf8_sample_page()};
    }
    if (name == "huge.png") {
        return Reply{.kind = Reply::Kind::huge_picture, .length = k_huge_picture_bytes};
    }
    if (name.ends_with(".gif")) {
        return Reply{
            .kind = Reply::Kind::picture, .bytes = sample_gif(), .content_type = "image/gif"};
    }
    if (name.ends_with(".png")) {
        return Reply{
            .kind = Reply::Kind::picture, .bytes = sample_png(), .content_type = "image/png"};
    }
    if (name.ends_with(".jpg")) {
        return Reply{
            .kind = Reply::Kind::picture, .bytes = sample_jpeg(), .content_type = "image/jpeg"};
    }
    return not_found();
}

Reply fixed_page(const std::vector<std::string_view>& segments) {
    if (segments.size() == 3 && segments[1] == "pictures") {
        return picture(segments[2]);
    }
    if (segments.size() == 3 && (segments[1] == "large" || segments[1] == "large-chunked")) {
        return long_post(segments[2], segments[1] == "large-chunked");
    }
    if (segments.size() == 3 && segments[1] == "large-tagged") {
        return long_post(segments[2], true, true);
    }
    if (segments.size() != 2) {
        return not_found();
    }
    const std::string_view name = segments[1];
    if (name == "endless") {
        return Reply{.kind = Reply::Kind::long_post, .chunked = true};
    }
    if (name == "trickle") {
        return Reply{.kind = Reply::Kind::trickle, .length = k_trickle_length, .chunked = true};
    }
    if (name == "requests") {
        return Reply{.kind = Reply::Kind::requests};
    }
    if (name == "empty") {
        return page(u"");
    }
    if (name == "utf8") {
        return Reply{.kind = Reply::Kind::utf8, .html = utf8_sample_page()};
    }
    if (name == "hang") {
        return Reply{.kind = Reply::Kind::hang};
    }
    return not_found(); // "missing" and anything else
}

Reply list_page(const SampleBlog& blog, std::string_view index, const ServiceOptions& options) {
    int k = 0;
    if (!parse_index(index, k) || k > blog.last_page_index()) {
        return not_found();
    }
    Reply reply = page(blog.list_page(k).html);
    if (const auto slow = options.slow_pages.find(k); slow != options.slow_pages.end()) {
        reply.delay = slow->second;
    }
    return reply;
}

Reply post_page(const SampleBlog& blog, std::string_view file, const ServiceOptions& options) {
    constexpr std::string_view suffix = ".html";
    if (!file.ends_with(suffix)) {
        return not_found();
    }
    file.remove_suffix(suffix.size());
    const auto number = blog.post_number(platform::utf8_to_utf16(file));
    if (!number || options.missing_posts.contains(*number)) {
        return not_found();
    }
    return page(blog.post_page(*number).html);
}

// "N" of "...?page=N"; 1 without it.
int page_query(std::string_view target) {
    const auto question = target.find('?');
    if (question == std::string_view::npos) {
        return 1;
    }
    const std::string_view query = target.substr(question + 1);
    constexpr std::string_view name = "page=";
    const auto at = query.find(name);
    int k = 0;
    if (at == std::string_view::npos || (at > 0 && query[at - 1] != '&') ||
        !parse_index(query.substr(at + name.size(), query.find('&', at) - at - name.size()), k)) {
        return 1;
    }
    return k;
}

Reply new_layout_route(const std::vector<std::string_view>& segments, std::string_view target,
                       const ServiceOptions& options) {
    const bool changeover = segments[0] == "new";
    const NewLayoutBlog blog(platform::utf8_to_utf16(segments[changeover ? 1 : 0]),
                             options.blog.posts, options.blog.per_page);
    if (segments.size() == (changeover ? 2u : 1u)) {
        const int k = page_query(target);
        if (k < 1 || k > blog.page_count()) {
            return not_found();
        }
        return Reply{.kind = Reply::Kind::utf8, .html = blog.list_page(k)};
    }
    if (!changeover && segments.size() == 3 && segments[1] == "item") {
        const auto number = blog.post_number(platform::utf8_to_utf16(segments[2]));
        if (!number || options.missing_posts.contains(*number)) {
            return not_found();
        }
        return Reply{.kind = Reply::Kind::utf8, .html = blog.post_page(*number)};
    }
    return not_found();
}

Reply route(const std::vector<std::string_view>& segments, std::string_view target,
            const ServiceOptions& options) {
    if (!segments.empty() && segments[0] == "_sample") {
        return fixed_page(segments);
    }
    if (segments.empty() || segments[0].empty()) {
        return not_found();
    }
    if (segments.size() == 4 && segments[1] == "blog" && segments[2] == "pic") {
        return picture(segments[3]); // the files a blog uploaded, such as its pictures
    }
    if (options.live_gone) {
        return not_found();
    }
    const bool changeover = segments[0] == "new" && segments.size() == 2;
    if (NewLayoutBlog::is_new_layout_user(platform::utf8_to_utf16(segments[changeover ? 1 : 0]))) {
        return new_layout_route(segments, target, options);
    }
    const SampleBlog blog(platform::utf8_to_utf16(segments[0]), options.blog);
    if (segments.size() == 1) {
        return page(blog.home_page().html);
    }
    if (segments[1] != "blog") {
        return not_found();
    }
    if (segments.size() == 2) {
        return list_page(blog, "0", options);
    }
    if (segments.size() == 4 && segments[2] == "index") {
        return list_page(blog, segments[3], options);
    }
    if (segments.size() == 4 && segments[2] == "item") {
        return post_page(blog, segments[3], options);
    }
    return not_found();
}

} // namespace

Reply answer(std::string_view target, const ServiceOptions& options) {
    Reply reply = route(segments_of(path_of(target)), target, options);
    reply.delay += options.latency;
    return reply;
}

} // namespace sample_blog
