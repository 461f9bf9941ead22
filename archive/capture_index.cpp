#include "archive/capture_index.h"

#include "archive/ascii_text.h"

#include "blog/link_collector.h"
#include "blog/new_layout.h"
#include "platform/text.h"

#include <nlohmann/json.hpp>

#include <exception>

namespace archive {
namespace {

using Row = std::vector<std::string>;

// Keeps the answer's rows of strings and refuses anything else as soon as it appears, so that a
// hostile answer (objects, numbers, deep nesting) costs nothing.
class RowsReader {
public:
    using json = nlohmann::json;

    bool null() { return refuse(); }
    bool boolean(bool) { return refuse(); }
    bool number_integer(json::number_integer_t) { return refuse(); }
    bool number_unsigned(json::number_unsigned_t) { return refuse(); }
    bool number_float(json::number_float_t, const json::string_t&) { return refuse(); }
    bool binary(json::binary_t&) { return refuse(); }
    bool start_object(std::size_t) { return refuse(); }
    bool key(json::string_t&) { return refuse(); }
    bool end_object() { return refuse(); }

    bool string(json::string_t& value) {
        if (m_depth != 2) {
            return refuse();
        }
        m_rows.back().push_back(std::move(value));
        return true;
    }
    bool start_array(std::size_t) {
        if (++m_depth > 2) {
            return refuse();
        }
        if (m_depth == 2) {
            m_rows.emplace_back();
        }
        return true;
    }
    bool end_array() {
        --m_depth;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
        m_error = u"网页时光机的索引不是完整的 JSON";
        return false;
    }

    std::vector<Row>& rows() { return m_rows; }
    const std::u16string& error() const { return m_error; }

private:
    bool refuse() {
        m_error = u"网页时光机的索引不是由字符串行组成的表";
        return false;
    }

    int m_depth = 0;
    std::vector<Row> m_rows;
    std::u16string m_error;
};

CaptureIndexPart failed(std::u16string message) {
    CaptureIndexPart part;
    part.error = std::move(message);
    return part;
}

bool is_timestamp(std::string_view text) {
    if (text.empty() || text.size() > 14) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool is_hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_unreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

} // namespace

std::u16string query_value(std::u16string_view text, bool keep_encoding) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    static constexpr std::string_view QuerySafe = "!$'()*,/:@+";
    const std::string bytes = platform::utf16_to_utf8(text);
    std::u16string encoded;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool escape =
            c == '%' && i + 2 < bytes.size() && is_hex(bytes[i + 1]) && is_hex(bytes[i + 2]);
        if (is_unreserved(c) || c == '/' ||
            (keep_encoding && (escape || QuerySafe.find(c) != std::string_view::npos))) {
            encoded += static_cast<char16_t>(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += u'%';
            encoded += static_cast<char16_t>(Hex[byte >> 4]);
            encoded += static_cast<char16_t>(Hex[byte & 0xF]);
        }
    }
    return encoded;
}

namespace {

std::optional<std::size_t> column_of(const Row& header, std::string_view name) {
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (header[i] == name) {
            return i;
        }
    }
    return std::nullopt;
}

bool is_ok_status(const CaptureEntry& entry) {
    return entry.status.empty() || entry.status == u"200";
}

// The original with its scheme, without a default port, host in lower case: how the archive's
// own rewritten links show it.
std::u16string tidy_original(std::u16string_view original) {
    const bool secure = starts_with_ignoring_case(original, u"https://");
    return (secure ? u"https://" : u"http://") + canonical_original(original);
}

} // namespace

std::u16string address_captures_query(std::u16string_view archive, std::u16string_view address) {
    std::u16string query(archive);
    query += u"/cdx/search/cdx?url=";
    query += query_value(canonical_original(address), false);
    query += u"&output=json&fl=timestamp,original,statuscode,mimetype&filter=statuscode:200";
    return query;
}

std::u16string capture_index_query(const WaybackBlog& blog, std::size_t part_size,
                                   std::u16string_view resume_key) {
    std::u16string query = blog.archive;
    query += u"/cdx/search/cdx?url=";
    query += query_value(canonical_original(blog.blog) + u"/", false);
    // Both layouts' posts: /<user>/blog/item/… and /<user>/item/….
    query += u"&matchType=prefix&output=json&fl=timestamp,original,statuscode,mimetype"
             u"&filter=statuscode:200&filter=original:.*/item/.*&collapse=urlkey&limit=";
    query += platform::decimal(static_cast<long long>(part_size));
    query += u"&showResumeKey=true";
    if (!resume_key.empty()) {
        query += u"&resumeKey=";
        query += query_value(resume_key, true);
    }
    return query;
}

CaptureIndexPart parse_capture_index(std::string_view json) {
    if (json.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return {};
    }
    RowsReader reader;
    try {
        if (!nlohmann::json::sax_parse(json.begin(), json.end(), &reader)) {
            return failed(reader.error());
        }
    } catch (const std::exception&) {
        return failed(u"网页时光机的索引无法读取");
    }
    std::vector<Row>& rows = reader.rows();
    if (rows.empty()) {
        return {};
    }
    const Row& header = rows.front();
    const std::optional<std::size_t> timestamp = column_of(header, "timestamp");
    const std::optional<std::size_t> original = column_of(header, "original");
    if (!timestamp || !original) {
        return failed(u"网页时光机的索引缺少 timestamp 或 original 列");
    }
    const std::optional<std::size_t> status = column_of(header, "statuscode");
    const std::optional<std::size_t> mimetype = column_of(header, "mimetype");
    CaptureIndexPart part;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (row.empty()) {
            // Only a key may follow the empty row, and it ends the answer.
            if (i + 2 != rows.size() || rows[i + 1].size() != 1 || rows[i + 1][0].empty()) {
                return failed(u"网页时光机的索引的续读键不完整");
            }
            part.resume_key = platform::utf8_to_utf16(rows[i + 1][0]);
            break;
        }
        if (row.size() != header.size() || !is_timestamp(row[*timestamp]) ||
            row[*original].empty()) {
            return failed(u"网页时光机的索引第 " + platform::decimal(static_cast<long long>(i)) +
                          u" 行不完整");
        }
        CaptureEntry entry;
        entry.timestamp = platform::utf8_to_utf16(row[*timestamp]);
        entry.original = platform::utf8_to_utf16(row[*original]);
        if (status) {
            entry.status = platform::utf8_to_utf16(row[*status]);
        }
        if (mimetype) {
            entry.mimetype = platform::utf8_to_utf16(row[*mimetype]);
        }
        part.entries.push_back(std::move(entry));
    }
    return part;
}

CaptureIndexReader::CaptureIndexReader(WaybackBlog blog, std::size_t part_size,
                                       std::size_t max_parts, std::size_t max_rows)
    : m_blog(std::move(blog)), m_part_size(part_size), m_max_parts(max_parts),
      m_max_rows(max_rows) {}

std::optional<std::u16string> CaptureIndexReader::next_query() const {
    if (m_done) {
        return std::nullopt;
    }
    return capture_index_query(m_blog, m_part_size, m_resume_key.value_or(u""));
}

bool CaptureIndexReader::take(std::string_view body) {
    if (m_done) {
        return false;
    }
    CaptureIndexPart part = parse_capture_index(body);
    if (!part.error.empty()) {
        m_error = std::move(part.error);
        m_done = true;
        return false;
    }
    ++m_parts_read;
    m_entries.insert(m_entries.end(), std::make_move_iterator(part.entries.begin()),
                     std::make_move_iterator(part.entries.end()));
    if (!part.resume_key) {
        m_done = true;
        return true;
    }
    if (!m_keys_used.insert(*part.resume_key).second) {
        m_error = u"网页时光机的索引重复给出同一个续读键";
        m_done = true;
        return false;
    }
    if (m_parts_read >= m_max_parts || m_entries.size() >= m_max_rows) {
        m_error = u"网页时光机的索引没有尽头";
        m_done = true;
        return false;
    }
    m_resume_key = std::move(part.resume_key);
    return true;
}

std::vector<std::u16string> posts_missing_from_list(const WaybackBlog& blog,
                                                    const std::vector<std::u16string>& list,
                                                    const std::vector<CaptureEntry>& index) {
    std::unordered_set<std::u16string> listed;
    for (const std::u16string& item : list) {
        listed.insert(post_identity(item));
    }
    const std::u16string posts_prefix = canonical_original(blog.blog) + u"/blog/item/";
    std::vector<std::u16string> missing;
    for (const CaptureEntry& entry : index) {
        if (!is_ok_status(entry)) {
            continue;
        }
        if (const std::optional<std::u16string> post =
                blog::NewLayoutPostAddress(tidy_original(entry.original), blog.user)) {
            if (listed.insert(post_identity(*post)).second) {
                missing.push_back(capture_address(blog.archive, entry.timestamp, u"", *post));
            }
            continue;
        }
        const std::u16string identity = canonical_original(entry.original);
        if (identity.size() <= posts_prefix.size() ||
            !starts_with_ignoring_case(identity, posts_prefix)) {
            continue;
        }
        std::u16string address =
            capture_address(blog.archive, entry.timestamp, u"", tidy_original(entry.original));
        if (blog::IsPostLink(address) && listed.insert(identity).second) {
            missing.push_back(std::move(address));
        }
    }
    return missing;
}

OwnCaptures::OwnCaptures(const std::vector<CaptureEntry>& index) {
    for (const CaptureEntry& entry : index) {
        if (is_ok_status(entry)) {
            m_timestamps.try_emplace(post_identity(entry.original), entry.timestamp);
        }
    }
}

std::optional<std::u16string> OwnCaptures::timestamp_of(std::u16string_view post_link) const {
    const auto found = m_timestamps.find(post_identity(post_link));
    if (found == m_timestamps.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::u16string> OwnCaptures::raw_capture_of(std::u16string_view post_link) const {
    const std::optional<ArchivedAddress> parts = parse_archived_address(post_link);
    if (!parts) {
        return std::nullopt;
    }
    return capture_address(parts->archive, timestamp_of(post_link).value_or(parts->timestamp),
                           u"id_", parts->original);
}

} // namespace archive
