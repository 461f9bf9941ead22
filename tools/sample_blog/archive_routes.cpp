#include "tools/sample_blog/archive_routes.h"
#include "platform/text.h"
#include "tools/sample_blog/archive_index.h"
#include "tools/sample_blog/blog_pictures.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace sample_blog {
namespace {

constexpr std::string_view archive_base = "http://web.archive.org";
// When the crawler fetched the pictures and other files the blog's pages use.
const std::int64_t resource_time = seconds_at(2011, 6, 15, 10, 30);

struct ReplayTarget {
    std::string timestamp;
    std::string flag; // "", "id_", "im_", ...
    std::string url;  // as requested, still percent-encoded
};

// "/web/..." or "/cdx/..." of "http://web.archive.org[:port]/web/..." or of https.
std::optional<std::string_view> archive_path(std::string_view target) {
    const std::size_t scheme_end = target.find("://");
    if (scheme_end == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string scheme = ascii_lowered(target.substr(0, scheme_end));
    if (scheme != "http" && scheme != "https") {
        return std::nullopt;
    }
    target.remove_prefix(scheme_end + 3);
    const auto slash = target.find('/');
    const std::string_view authority = target.substr(0, slash);
    const std::string_view port = authority.substr(std::min(authority.find(':'), authority.size()));
    if (ascii_lowered(authority.substr(0, authority.size() - port.size())) != "web.archive.org" ||
        (!port.empty() && port.find_first_not_of("0123456789", 1) != std::string_view::npos)) {
        return std::nullopt;
    }
    return slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
}

std::optional<ReplayTarget> parse_replay(std::string_view path) {
    constexpr std::string_view prefix = "/web/";
    if (!path.starts_with(prefix)) {
        return std::nullopt;
    }
    path.remove_prefix(prefix.size());
    const auto slash = path.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view stamp = path.substr(0, slash);
    const auto digits = std::min(stamp.find_first_not_of("0123456789"), stamp.size());
    ReplayTarget target{std::string(stamp.substr(0, digits)), std::string(stamp.substr(digits)),
                        std::string(path.substr(slash + 1))};
    const bool flag_ok =
        target.flag.empty() || (target.flag.size() == 3 && target.flag.ends_with('_') &&
                                std::isalpha(static_cast<unsigned char>(target.flag[0])) &&
                                std::isalpha(static_cast<unsigned char>(target.flag[1])));
    if (target.timestamp.empty() || !flag_ok) {
        return std::nullopt;
    }
    return target;
}

bool raw_flag(std::string_view flag) {
    return flag == "id_" || flag == "im_" || flag == "js_" || flag == "cs_";
}

Reply archive_page(int status, std::u16string_view message) {
    return Reply{.kind = Reply::Kind::gbk,
                 .status = status,
                 .html = u"<html><head><title>Wayback Machine</title></head><body><p>" +
                         std::u16string(message) + u"</p></body></html>\r\n"};
}

Reply not_archived() {
    return archive_page(404, u"Hrm. The Wayback Machine has not archived that URL.");
}

Reply refused(ArchiveTraffic::Verdict verdict, const ServiceOptions& options) {
    if (verdict == ArchiveTraffic::Verdict::refuse) {
        return Reply{.kind = Reply::Kind::refuse};
    }
    if (verdict == ArchiveTraffic::Verdict::bad_request) {
        return archive_page(400, u"Bad Request");
    }
    const bool too_many = verdict == ArchiveTraffic::Verdict::too_many;
    Reply reply = archive_page(too_many ? 429 : 503,
                               too_many ? u"Too Many Requests" : u"Service Unavailable");
    if (options.archive.retry_after_seconds > 0) {
        reply.headers.emplace_back("Retry-After",
                                   std::to_string(options.archive.retry_after_seconds));
    }
    return reply;
}

// The live service's answer for a file that is not one of the blog's pages (a picture, say);
// nothing for pages and for what the service does not have.
std::optional<Reply> resource(const WebAddress& address, const ServiceOptions& options) {
    // The service's own test pages were never on the web; the blog's pictures were, each at
    // its own address only.
    if (address.path.starts_with("/_sample/") && !address.path.starts_with("/_sample/pictures/")) {
        return std::nullopt;
    }
    if (std::ranges::find(k_picture_hosts, address.host) == k_picture_hosts.end()) {
        return std::nullopt;
    }
    Reply reply = answer(percent_decode(address_text(address)), options);
    switch (reply.kind) {
    case Reply::Kind::gbk: // the pages the schedule does not hold, and the test pages
    case Reply::Kind::utf8:
    case Reply::Kind::hang:
    case Reply::Kind::long_post:
    case Reply::Kind::trickle:
    case Reply::Kind::requests:
    case Reply::Kind::refuse:
        return std::nullopt;
    default:
        break;
    }
    if (reply.status != 200) {
        return std::nullopt;
    }
    reply.delay = {}; // the archive's own latency applies instead
    return reply;
}

const Capture& nearest(const std::vector<Capture>& captures, std::int64_t time) {
    const Capture* best = &captures.front();
    for (const Capture& capture : captures) {
        if (std::llabs(capture.time - time) < std::llabs(best->time - time)) {
            best = &capture;
        }
    }
    return *best;
}

class Rewriter {
public:
    Rewriter(const Capture& capture, bool absolute)
        : m_base(*parse_web_address(capture.original)),
          m_prefix(std::string(absolute ? archive_base : "") + "/web/"),
          m_timestamp(timestamp_text(capture.time)) {}

    std::string archived(std::string_view stamp, std::string_view url) const {
        return m_prefix + std::string(stamp) + "/" + std::string(url);
    }

    // Every href="..." and src="..." becomes an archive address of this capture's time.
    std::u16string links(std::u16string html) const {
        for (const std::u16string_view attribute : {u" href=\"", u" src=\""}) {
            for (auto at = html.find(attribute); at != std::u16string::npos;
                 at = html.find(attribute, at + 1)) {
                const auto start = at + attribute.size();
                const auto end = html.find(u'"', start);
                if (end == std::u16string::npos) {
                    break;
                }
                const std::string value = platform::utf16_to_utf8(html.substr(start, end - start));
                const std::string scheme = ascii_lowered(value.substr(0, value.find(':') + 1));
                if (value.empty() || value.starts_with('#') || scheme == "javascript:" ||
                    scheme == "mailto:" || scheme == "data:") {
                    continue;
                }
                const std::u16string rewritten = platform::utf8_to_utf16(
                    archived(m_timestamp + flag_for(html, at), resolve_href(m_base, value)));
                html.replace(start, end - start, rewritten);
            }
        }
        return html;
    }

private:
    static std::string flag_for(const std::u16string& html, std::size_t attribute_at) {
        const auto open = html.rfind(u'<', attribute_at);
        const std::u16string_view tag =
            open == std::u16string::npos ? u"" : std::u16string_view(html).substr(open + 1, 6);
        if (tag.starts_with(u"img") || tag.starts_with(u"IMG")) {
            return "im_";
        }
        if (tag.starts_with(u"script")) {
            return "js_";
        }
        return "";
    }

    WebAddress m_base;
    std::string m_prefix;
    std::string m_timestamp;
};

void insert_after_tag(std::u16string& html, std::u16string_view tag, std::u16string_view text) {
    const auto open = html.find(tag);
    const auto close = open == std::u16string::npos ? open : html.find(u'>', open);
    html.insert(close == std::u16string::npos ? 0 : close + 1, text);
}

// The page as the archive replays it: the capture's links rewritten, then its own script and
// toolbar, whose links name the same address at other times.
std::u16string replayed(const std::u16string& html, const std::vector<Capture>& captures,
                        const Capture& capture, bool absolute) {
    const Rewriter rewriter(capture, absolute);
    std::u16string page = rewriter.links(html);
    const std::string stamp = timestamp_text(capture.time);
    std::string toolbar = "\r\n<!-- BEGIN WAYBACK TOOLBAR INSERT -->\r\n<div id=\"wm-ipp\">"
                          "<a href=\"" +
                          rewriter.archived("*", capture.original) + "\">" +
                          std::to_string(captures.size()) + " captures</a>";
    const auto at = static_cast<std::size_t>(&capture - captures.data());
    if (at > 0) {
        const std::string before = timestamp_text(captures[at - 1].time);
        toolbar += " <a href=\"" + rewriter.archived(before, capture.original) + "\">&lt;</a>";
    }
    toolbar += " <b>" + stamp + "</b>";
    if (at + 1 < captures.size()) {
        const std::string after = timestamp_text(captures[at + 1].time);
        toolbar += " <a href=\"" + rewriter.archived(after, capture.original) + "\">&gt;</a>";
    }
    toolbar += "</div>\r\n<!-- END WAYBACK TOOLBAR INSERT -->\r\n";
    const std::string script =
        "\r\n<script type=\"text/javascript\">\r\nvar wbCapture = {time: \"" + stamp +
        "\", original: \"" + capture.original +
        "\"};\r\ndocument.documentElement.setAttribute(\"data-wb\", "
        "wbCapture.time);\r\n</script>\r\n";
    insert_after_tag(page, u"<body", platform::utf8_to_utf16(toolbar));
    insert_after_tag(page, u"<head", platform::utf8_to_utf16(script));
    return page;
}

Reply replay(const ReplayTarget& target, const ServiceOptions& options,
             const ArchiveSchedule& schedule) {
    const auto address = parse_web_address(target.url);
    const auto requested = parse_timestamp(target.timestamp);
    if (!address || !requested) {
        return not_archived();
    }
    const auto page = schedule.page_at(*address);
    std::optional<Reply> file;
    std::vector<Capture> captures;
    if (page) {
        captures = schedule.captures_of(*page);
    } else if ((file = resource(*address, options))) {
        captures = {{resource_time, address_text(*address)}};
    }
    if (captures.empty()) {
        return not_archived();
    }
    const Capture& capture = nearest(captures, *requested);
    const std::string stamp = timestamp_text(capture.time);
    if (target.timestamp != stamp) {
        Reply reply = archive_page(302, u"Redirecting");
        reply.headers.emplace_back("Location", std::string(archive_base) + "/web/" + stamp +
                                                   target.flag + "/" + target.url);
        return reply;
    }
    if (file) {
        return *file;
    }
    const std::u16string html = schedule.content(*page, capture);
    const Reply::Kind kind = capture.new_layout ? Reply::Kind::utf8 : Reply::Kind::gbk;
    if (raw_flag(target.flag) || capture.notice) {
        return Reply{.kind = kind, .html = html};
    }
    // Links come both ways, as the archive wrote them over the years.
    const bool absolute = page->number % 2 == (page->kind == ArchivedPage::Kind::list ? 1 : 0);
    return Reply{.kind = kind, .html = replayed(html, captures, capture, absolute)};
}

} // namespace

std::optional<ArchiveRequestKind> archive_request_kind(std::string_view target) {
    const auto path = archive_path(target);
    if (!path) {
        return std::nullopt;
    }
    if (path->starts_with("/cdx/search/cdx")) {
        return ArchiveRequestKind::index;
    }
    const auto replay = parse_replay(*path);
    if (!replay) {
        return ArchiveRequestKind::other;
    }
    if (replay->flag == "im_") {
        return ArchiveRequestKind::image;
    }
    return raw_flag(replay->flag) ? ArchiveRequestKind::raw : ArchiveRequestKind::replay;
}

Reply archive_answer(std::string_view target, ArchiveTraffic::Verdict verdict,
                     const ServiceOptions& options, const ArchiveSchedule& schedule) {
    Reply reply = not_archived();
    if (verdict != ArchiveTraffic::Verdict::serve) {
        reply = refused(verdict, options);
    } else if (const auto path = archive_path(target); !path) {
    } else if (path->starts_with("/cdx/search/cdx")) {
        const auto question = path->find('?');
        reply = capture_index_answer(
            question == std::string_view::npos ? std::string_view() : path->substr(question + 1),
            schedule, static_cast<std::size_t>(options.archive.index_part_rows));
    } else if (const auto replay_target = parse_replay(*path)) {
        reply = replay(*replay_target, options, schedule);
    }
    reply.delay += options.latency;
    return reply;
}

} // namespace sample_blog
