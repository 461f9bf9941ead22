#include "window/exports_run.h"

#include "archive/wayback_address.h"
#include "exports/exports_writer.h"
#include "offline/copy_writer.h"
#include "offline/post_numbers.h"
#include "platform/text.h"

#include <exception>
#include <map>

namespace window {
namespace {

std::string utf8(std::u16string_view text) {
    return platform::utf16_to_utf8(text);
}

} // namespace

std::optional<offline::PostDate> CaptureTime(std::u16string_view timestamp) {
    if (timestamp.empty() || timestamp.size() > 14) {
        return std::nullopt;
    }
    std::u16string digits(timestamp);
    digits += std::u16string(u"00000101000000").substr(digits.size());
    const auto part = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (digits[i] < u'0' || digits[i] > u'9') {
                return -1;
            }
            value = value * 10 + (digits[i] - u'0');
        }
        return value;
    };
    const offline::PostDate utc{part(0, 4),  part(4, 2), part(6, 2), part(8, 2),
                                part(10, 2), true,       part(12, 2)};
    // The archive's timestamps are UTC; an impossible one (month 13) does not come back whole.
    const long long unix_seconds = offline::UnixSeconds(utc) + 8 * 3600;
    if (utc.month < 1 || utc.month > 12 || utc.day < 1 || utc.day > 31 ||
        offline::UtcDate(unix_seconds) != utc) {
        return std::nullopt;
    }
    return offline::ChinaDate(unix_seconds);
}

bool WriteExports(const std::filesystem::path& user_folder,
                  const std::vector<offline::PostSummary>& posts,
                  const offline::BodyLoader& body_of, const ExportsSource& source,
                  const std::function<bool()>& stop) {
    // Like the copy, the exports come after every post file: failing to write them is reported,
    // never allowed to end the program.
    try {
        const std::string user = utf8(source.user_name);
        exports::SiteFacts site{user, user + " 的博客", utf8(source.blog_address),
                                offline::IsoDate(offline::ChinaDate(source.backup_unix)),
                                source.backup_unix};
        const std::filesystem::path copy = offline::CopyFolder(user_folder);
        const offline::PictureStore store(copy);
        offline::PostNumbers numbers;
        for (const offline::PostSummary& post : posts) {
            if (post.saved) {
                numbers.add(post.address, post.number);
            }
        }
        exports::PostSurroundings around;
        around.picture = [&store](const std::string& address) { return store.Existing(address); };
        around.post_number = [&numbers](const std::string& address) {
            return numbers.find(address);
        };
        around.backup_time = offline::ChinaDate(source.backup_unix);

        exports::ExportsWriter writer(user_folder, copy / "images", site);
        for (const offline::PostSummary& summary : posts) {
            if (stop && stop()) {
                return false;
            }
            if (!summary.saved) {
                writer.add_failure(summary.number, summary.address, summary.failure);
                continue;
            }
            // One body at a time, as the copy's pages are built.
            std::optional<offline::CleanBody> body = body_of(summary.number);
            if (!body) {
                return false;
            }
            offline::PreparedPost post{summary.number, summary.address,  summary.capture, true,
                                       summary.title,  std::move(*body), summary.facts,   {}};
            around.capture_address = post.capture;
            around.capture_time.reset();
            if (const auto capture =
                    archive::parse_archived_address(platform::utf8_to_utf16(post.capture))) {
                around.capture_time = CaptureTime(capture->timestamp);
            }
            writer.add_post(exports::ExportPostOf(post, around));
        }
        return writer.finish();
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteExports(const std::filesystem::path& user_folder,
                  const std::vector<offline::PreparedPost>& posts, const ExportsSource& source,
                  const std::function<bool()>& stop) {
    std::vector<offline::PostSummary> summaries;
    std::map<std::size_t, const offline::PreparedPost*> by_number;
    for (const offline::PreparedPost& post : posts) {
        summaries.push_back(offline::SummaryOf(post));
        by_number.emplace(post.number, &post);
    }
    return WriteExports(
        user_folder, summaries,
        [&by_number](std::size_t number) -> std::optional<offline::CleanBody> {
            const auto found = by_number.find(number);
            return found == by_number.end() ? std::nullopt : std::optional(found->second->body);
        },
        source, stop);
}

} // namespace window
