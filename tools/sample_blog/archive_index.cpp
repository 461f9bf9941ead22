#include "tools/sample_blog/archive_index.h"
#include "platform/text.h"
#include "tools/sample_blog/gbk_encoder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <map>
#include <regex>

namespace sample_blog {
namespace {

constexpr std::array<std::string_view, 7> all_fields = {
    "urlkey", "timestamp", "original", "mimetype", "statuscode", "digest", "length"};

using Row = std::map<std::string, std::string, std::less<>>;

struct Query {
    std::multimap<std::string, std::string, std::less<>> params;
    std::string get(std::string_view name, std::string fallback = {}) const {
        const auto found = params.find(name);
        return found == params.end() ? fallback : found->second;
    }
};

Query parse_query(std::string_view text) {
    Query query;
    while (!text.empty()) {
        const auto amp = text.find('&');
        std::string pair(text.substr(0, amp));
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        std::replace(pair.begin(), pair.end(), '+', ' ');
        const auto equals = pair.find('=');
        query.params.emplace(percent_decode(pair.substr(0, equals)),
                             equals == std::string::npos ? ""
                                                         : percent_decode(pair.substr(equals + 1)));
    }
    return query;
}

// Shaped like the index's base32 SHA-1 digests; only needs to tell contents apart.
std::string digest_of(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    std::string out;
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    for (int round = 0; round < 4; ++round) {
        for (const char c : bytes) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        }
        for (int i = 0; i < 8; ++i) {
            out += alphabet[(hash >> (i * 5)) & 31];
        }
    }
    return out;
}

std::vector<Row> rows_of(const ArchiveSchedule& schedule, const std::u16string& user) {
    std::vector<Row> rows;
    for (const ArchivedPage& page : schedule.pages_of(user)) {
        for (const Capture& capture : schedule.captures_of(page)) {
            const std::string bytes = encode_gbk(schedule.content(page, capture));
            rows.push_back({{"urlkey", url_key(*parse_web_address(capture.original))},
                            {"timestamp", timestamp_text(capture.time)},
                            {"original", capture.original},
                            {"mimetype", "text/html"},
                            {"statuscode", "200"},
                            {"digest", digest_of(bytes)},
                            {"length", std::to_string(bytes.size())}});
        }
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return std::tie(a.at("urlkey"), a.at("timestamp")) <
               std::tie(b.at("urlkey"), b.at("timestamp"));
    });
    return rows;
}

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            std::array<char, 8> escape{};
            std::snprintf(escape.data(), escape.size(), "\\u%04x", c);
            out += escape.data();
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// As the index prints it: "com%2Cbaidu%2Chi%29%2Fu%2Fblog%2Fitem%2Fx.html+20100501000000%21".
std::string resume_key_of(const Row& row) {
    const std::string plain = row.at("urlkey") + " " + row.at("timestamp") + "!";
    std::string out;
    for (const char c : plain) {
        const auto u = static_cast<unsigned char>(c);
        if (c == ' ') {
            out += '+';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == '_' || c == '*') {
            out += c;
        } else {
            std::array<char, 4> escape{};
            std::snprintf(escape.data(), escape.size(), "%%%02X", u);
            out += escape.data();
        }
    }
    return out;
}

Reply error(int status, std::string text) {
    return Reply{.kind = Reply::Kind::text,
                 .status = status,
                 .body = std::move(text) + "\n",
                 .content_type = "text/plain"};
}

struct Filter {
    bool negated = false;
    std::string field{};
    std::regex pattern{};
};

// "[!]field:regex"; std::regex_error for a pattern that is not one.
Filter parse_filter(std::string_view text) {
    Filter filter{.negated = text.starts_with('!')};
    text.remove_prefix(filter.negated ? 1 : 0);
    const auto colon = text.find(':');
    filter.field = std::string(text.substr(0, colon));
    filter.pattern = std::regex(
        colon == std::string_view::npos ? std::string() : std::string(text.substr(colon + 1)));
    return filter;
}

bool keep(const Row& row, const std::vector<Filter>& filters) {
    return std::all_of(filters.begin(), filters.end(), [&row](const Filter& filter) {
        const auto field = row.find(filter.field);
        const bool matches = field != row.end() && std::regex_match(field->second, filter.pattern);
        return matches != filter.negated;
    });
}

} // namespace

Reply capture_index_answer(std::string_view query_text, const ArchiveSchedule& schedule,
                           std::size_t most_rows) {
    const Query query = parse_query(query_text);
    if (query.params.contains("page")) {
        return Reply{.kind = Reply::Kind::text, .content_type = "text/plain"};
    }
    std::string url = query.get("url");
    std::string match = query.get("matchType", "exact");
    if (url.ends_with('*')) {
        url.pop_back();
        match = "prefix";
    }
    const auto address = parse_web_address(url);
    if (!address) {
        return error(400, "Invalid url: " + url);
    }
    std::vector<std::string> fields;
    const std::string field_list = query.get("fl");
    for (std::string_view fl = field_list; !fl.empty();) {
        const auto comma = fl.find(',');
        fields.emplace_back(fl.substr(0, comma));
        fl = comma == std::string_view::npos ? std::string_view() : fl.substr(comma + 1);
        if (std::find(all_fields.begin(), all_fields.end(), fields.back()) == all_fields.end()) {
            return error(400, "Unknown field: " + fields.back());
        }
    }
    if (fields.empty()) {
        fields.assign(all_fields.begin(), all_fields.end());
    }

    std::string key = url_key(*address);
    if (match == "prefix" && address->path.size() > 1 && address->path.ends_with('/')) {
        key += '/';
    }
    const auto slash = address->path.find('/', 1);
    const std::string user = percent_decode(address->path.substr(1, slash - 1));
    std::vector<Row> rows;
    if (address->host == "hi.baidu.com" && !user.empty()) {
        rows = rows_of(schedule, platform::utf8_to_utf16(user));
    }
    std::vector<Filter> filters;
    try {
        for (auto [at, end] = query.params.equal_range("filter"); at != end; ++at) {
            filters.push_back(parse_filter(at->second));
        }
    } catch (const std::regex_error&) {
        return error(400, "Invalid filter");
    }
    std::erase_if(rows, [&](const Row& row) {
        const std::string& urlkey = row.at("urlkey");
        const bool in = match == "exact"    ? urlkey == key
                        : match == "prefix" ? urlkey.starts_with(key)
                                            : true;
        return !in || !keep(row, filters);
    });

    if (const std::string collapse = query.get("collapse"); !collapse.empty()) {
        const auto colon = collapse.find(':');
        const std::string field = collapse.substr(0, colon);
        std::size_t length = std::string::npos;
        if (colon != std::string::npos) {
            std::from_chars(collapse.data() + colon + 1, collapse.data() + collapse.size(), length);
        }
        const auto part = [&](const Row& row) {
            const auto found = row.find(field);
            return found == row.end() ? std::string() : found->second.substr(0, length);
        };
        rows.erase(std::unique(rows.begin(), rows.end(),
                               [&](const Row& a, const Row& b) { return part(a) == part(b); }),
                   rows.end());
    }

    if (const std::string resume = query.get("resumeKey"); !resume.empty()) {
        std::string position = resume;
        if (position.ends_with('!')) {
            position.pop_back();
        }
        const auto space = position.rfind(' ');
        if (space == std::string::npos) {
            return error(400, "Invalid resumeKey: " + resume);
        }
        const std::pair<std::string, std::string> after{position.substr(0, space),
                                                        position.substr(space + 1)};
        std::erase_if(rows, [&](const Row& row) {
            return std::pair(row.at("urlkey"), row.at("timestamp")) <= after;
        });
    }

    std::optional<std::string> next_key;
    long long limit = 0;
    const std::string limit_text = query.get("limit");
    std::from_chars(limit_text.data(), limit_text.data() + limit_text.size(), limit);
    if (most_rows > 0 && (limit_text.empty() || limit > static_cast<long long>(most_rows))) {
        limit = static_cast<long long>(most_rows);
    }
    if (limit < 0 && static_cast<std::size_t>(-limit) < rows.size()) {
        rows.erase(rows.begin(), rows.end() + limit);
    } else if ((!limit_text.empty() || most_rows > 0) && limit >= 0 &&
               static_cast<std::size_t>(limit) < rows.size()) {
        rows.resize(static_cast<std::size_t>(limit));
        if (query.get("showResumeKey") == "true" && !rows.empty()) {
            next_key = resume_key_of(rows.back());
        }
    }

    const bool json = query.get("output") == "json";
    std::string body;
    if (json && rows.empty()) {
        body = "[]\n";
    } else if (json) {
        const auto json_row = [](const std::vector<std::string>& values) {
            std::string line = "[";
            for (std::size_t i = 0; i < values.size(); ++i) {
                line += (i == 0 ? "" : ",") + json_string(values[i]);
            }
            return line + "]";
        };
        body = "[" + json_row(fields);
        for (const Row& row : rows) {
            std::vector<std::string> values;
            for (const std::string& field : fields) {
                values.push_back(row.at(field));
            }
            body += ",\n" + json_row(values);
        }
        if (next_key) {
            body += ",\n[],\n" + json_row({*next_key});
        }
        body += "]\n";
    } else {
        for (const Row& row : rows) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                body += (i == 0 ? "" : " ") + row.at(fields[i]);
            }
            body += "\n";
        }
        if (next_key) {
            body += "\n" + *next_key + "\n";
        }
    }
    return Reply{.kind = Reply::Kind::text,
                 .body = std::move(body),
                 .content_type = json ? "application/json" : "text/plain"};
}

} // namespace sample_blog
