#include "tools/sample_blog/service_options.h"

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

} // namespace

ServiceOptions parse_options(const std::vector<std::string>& arguments) {
    ServiceOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        if (option == "--pictures") {
            options.blog.pictures = true;
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
        } else if (option == "--pager-variant") {
            options.blog.pager = parse_pager(value);
        } else {
            throw std::invalid_argument(std::string(option) + ": unknown option");
        }
    }
    return options;
}

} // namespace sample_blog
