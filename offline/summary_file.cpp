#include "offline/summary_file.h"

#include "platform/part_file.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace offline {
namespace {

constexpr std::string_view summary_mark = "pellumo summary 1\n";

// Each field as its decimal length, a newline, its bytes and a newline.
class Fields {
public:
    void text(std::string_view value) {
        m_bytes += std::to_string(value.size()) + "\n";
        m_bytes += value;
        m_bytes += "\n";
    }
    void number(long long value) { text(std::to_string(value)); }
    void list(const std::vector<std::string>& values) {
        number(static_cast<long long>(values.size()));
        for (const std::string& value : values) {
            text(value);
        }
    }
    std::string bytes() && { return std::move(m_bytes); }

private:
    std::string m_bytes{summary_mark};
};

class FieldReader {
public:
    explicit FieldReader(std::string_view bytes) : m_rest(bytes) {
        if (!m_rest.starts_with(summary_mark)) {
            throw std::runtime_error("not a summary");
        }
        m_rest.remove_prefix(summary_mark.size());
    }
    std::string text() {
        const std::size_t end = m_rest.find('\n');
        std::size_t length = 0;
        const auto [stop, error] = std::from_chars(m_rest.data(), m_rest.data() + end, length);
        if (end == std::string_view::npos || error != std::errc() || stop != m_rest.data() + end ||
            m_rest.size() - end - 1 < length + 1 || m_rest[end + 1 + length] != '\n') {
            throw std::runtime_error("damaged summary");
        }
        std::string value(m_rest.substr(end + 1, length));
        m_rest.remove_prefix(end + 2 + length);
        return value;
    }
    long long number() {
        const std::string value = text();
        long long parsed = 0;
        const auto [stop, error] =
            std::from_chars(value.data(), value.data() + value.size(), parsed);
        if (error != std::errc() || stop != value.data() + value.size()) {
            throw std::runtime_error("damaged summary");
        }
        return parsed;
    }
    std::vector<std::string> list() {
        const long long count = number();
        // Every entry takes at least two bytes.
        if (count < 0 || static_cast<std::size_t>(count) > m_rest.size() / 2) {
            throw std::runtime_error("damaged summary");
        }
        std::vector<std::string> values;
        for (long long i = 0; i < count; ++i) {
            values.push_back(text());
        }
        return values;
    }
    bool at_end() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
};

std::filesystem::path summary_file(const BodySpool& spool, std::size_t number) {
    return spool.folder() / (std::to_string(number) + ".facts");
}

} // namespace

std::string SummaryBytes(const PostSummary& summary) {
    Fields out;
    out.number(static_cast<long long>(summary.number));
    out.text(summary.address);
    out.text(summary.capture);
    out.number(summary.saved ? 1 : 0);
    out.text(summary.title);
    out.text(summary.failure);
    out.list(summary.pictures);
    const std::optional<PostDate>& date = summary.facts.date;
    out.number(date ? 1 : 0);
    if (date) {
        for (const int part : {date->year, date->month, date->day, date->hour, date->minute,
                               date->second, date->has_time ? 1 : 0}) {
            out.number(part);
        }
    }
    out.text(summary.facts.category);
    out.list(summary.facts.tags);
    return std::move(out).bytes();
}

std::optional<PostSummary> ParseSummary(std::string_view bytes) {
    try {
        FieldReader in(bytes);
        PostSummary summary;
        summary.number = static_cast<std::size_t>(in.number());
        summary.address = in.text();
        summary.capture = in.text();
        summary.saved = in.number() != 0;
        summary.title = in.text();
        summary.failure = in.text();
        summary.pictures = in.list();
        if (in.number() != 0) {
            PostDate date;
            for (int* part :
                 {&date.year, &date.month, &date.day, &date.hour, &date.minute, &date.second}) {
                *part = static_cast<int>(in.number());
            }
            date.has_time = in.number() != 0;
            summary.facts.date = date;
        }
        summary.facts.category = in.text();
        summary.facts.tags = in.list();
        if (!in.at_end()) {
            return std::nullopt;
        }
        return summary;
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

bool StoreSummary(const BodySpool& spool, const PostSummary& summary) {
    return platform::replace_file(summary_file(spool, summary.number), SummaryBytes(summary));
}

std::optional<PostSummary> LoadSummary(const BodySpool& spool, std::size_t number) {
    std::ifstream in(summary_file(spool, number), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::optional<PostSummary> summary = ParseSummary(bytes);
    if (summary && summary->number != number) {
        return std::nullopt;
    }
    return summary;
}

} // namespace offline
