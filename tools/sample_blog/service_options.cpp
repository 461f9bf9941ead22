#include "tools/sample_blog/service_options.h"

#include "platform/text.h"

#include <charconv>
#include <stdexcept>
#include <string_view>

namespace sample_blog {
namespace {

int parse_count(std::string_view option, std::string_view text, int minimum) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < minimum) {
        throw std::invalid_argument(std::string(option) + ": not a number from " +
                                    std::to_string(minimum) + " up: \"" + std::string(text) + "\"");
    }
    return value;
}

PagerVariant parse_pager(std::string_view text) {
    static const std::map<std::string_view, PagerVariant> names = {
        {"normal", PagerVariant::normal},
        {"missing-last", PagerVariant::missing_last},
        {"missing-next", PagerVariant::missing_next},
        {"reversed", PagerVariant::reversed},
        {"no-number", PagerVariant::no_number},
    };
    const auto found = names.find(text);
    if (found == names.end()) {
        throw std::invalid_argument("--pager-variant: unknown variant \"" + std::string(text) +
                                    "\"");
    }
    return found->second;
}

void parse_slow_page(std::string_view text, ServiceOptions& options) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        throw std::invalid_argument("--slow-page: expected K=MS, got \"" + std::string(text) +
                                    "\"");
    }
    const int page = parse_count("--slow-page", text.substr(0, equals), 0);
    const int delay = parse_count("--slow-page", text.substr(equals + 1), 0);
    options.slow_pages[page] = std::chrono::milliseconds(delay);
}

ArchiveRequestKind parse_kind(std::string_view option, std::string_view text) {
    static const std::map<std::string_view, ArchiveRequestKind> names = {
        {"replay", ArchiveRequestKind::replay},
        {"raw", ArchiveRequestKind::raw},
        {"image", ArchiveRequestKind::image},
        {"index", ArchiveRequestKind::index},
    };
    const auto found = names.find(text);
    if (found == names.end()) {
        throw std::invalid_argument(std::string(option) + ": unknown request kind \"" +
                                    std::string(text) + "\"");
    }
    return found->second;
}

// KIND=N
void parse_first(std::string_view option, std::string_view text,
                 std::map<ArchiveRequestKind, int>& first) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        throw std::invalid_argument(std::string(option) + ": expected KIND=N, got \"" +
                                    std::string(text) + "\"");
    }
    first[parse_kind(option, text.substr(0, equals))] =
        parse_count(option, text.substr(equals + 1), 0);
}

// False when `option` is not one of the archive's.
bool parse_archive_option(std::string_view option, std::string_view value,
                          ArchiveOptions& archive) {
    if (option == "--archive") {
        if (value != "gaps" && value != "full") {
            throw std::invalid_argument("--archive: expected gaps or full, got \"" +
                                        std::string(value) + "\"");
        }
        archive.enabled = true;
        archive.gaps = value == "gaps";
    } else if (option == "--archive-missing-list-page") {
        archive.missing_list_pages.insert(parse_count(option, value, 0));
    } else if (option == "--archive-index-only-post") {
        archive.index_only_posts.insert(parse_count(option, value, 1));
    } else if (option == "--archive-uncaptured-post") {
        archive.uncaptured_posts.insert(parse_count(option, value, 1));
    } else if (option == "--archive-closed-post") {
        archive.closed_posts.insert(parse_count(option, value, 1));
    } else if (option == "--archive-unknown-user") {
        archive.unknown_users.insert(platform::utf8_to_utf16(value));
    } else if (option == "--archive-429-every") {
        archive.too_many_every = parse_count(option, value, 0);
    } else if (option == "--archive-429-first") {
        parse_first(option, value, archive.too_many_first);
    } else if (option == "--archive-503-first") {
        parse_first(option, value, archive.busy_first);
    } else if (option == "--archive-retry-after") {
        archive.retry_after_seconds = parse_count(option, value, 0);
    } else if (option == "--archive-block-impatient") {
        archive.block_impatient = parse_count(option, value, 0) != 0;
    } else if (option == "--archive-repeated-post") {
        archive.repeated_posts.insert(parse_count(option, value, 1));
    } else if (option == "--archive-silent-after-index") {
        archive.silent_after_index = parse_count(option, value, 0);
    } else if (option == "--archive-index-fails-after") {
        archive.index_fails_after = parse_count(option, value, 0);
    } else if (option == "--archive-index-part-rows") {
        archive.index_part_rows = parse_count(option, value, 1);
    } else if (option == "--archive-pagerless-home") {
        archive.pagerless_home = parse_count(option, value, 0) != 0;
    } else {
        return false;
    }
    return true;
}

} // namespace

ServiceOptions parse_options(const std::vector<std::string>& arguments) {
    ServiceOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        if (option == "--pictures" || option == "--hostile" || option == "--greeting") {
            bool& flag = option == "--pictures"  ? options.blog.pictures
                         : option == "--hostile" ? options.blog.hostile
                                                 : options.blog.greeting;
            flag = true;
            continue;
        }
        if (option == "--live-gone") {
            options.live_gone = true;
            continue;
        }
        if (option == "--export-trials") {
            options.blog.export_trials = true;
            continue;
        }
        if (i + 1 == arguments.size()) {
            throw std::invalid_argument(std::string(option) + ": unknown option or missing value");
        }
        const std::string_view value = arguments[++i];
        if (option == "--port") {
            options.port = parse_count(option, value, 0);
        } else if (option == "--posts") {
            options.blog.posts = parse_count(option, value, 0);
        } else if (option == "--per-page") {
            options.blog.per_page = parse_count(option, value, 1);
        } else if (option == "--latency-ms") {
            options.latency = std::chrono::milliseconds(parse_count(option, value, 0));
        } else if (option == "--not-found") {
            options.missing_posts.insert(parse_count(option, value, 1));
        } else if (option == "--slow-page") {
            parse_slow_page(value, options);
        } else if (option == "--tls-cert") {
            options.tls_cert = value;
        } else if (option == "--tls-key") {
            options.tls_key = value;
        } else if (option == "--pager-variant") {
            options.blog.pager = parse_pager(value);
        } else if (!parse_archive_option(option, value, options.archive)) {
            throw std::invalid_argument(std::string(option) + ": unknown option");
        }
    }
    if (options.tls_cert.empty() != options.tls_key.empty()) {
        throw std::invalid_argument("--tls-cert and --tls-key go together");
    }
    return options;
}

} // namespace sample_blog
