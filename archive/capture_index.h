#pragma once
// The Wayback Machine's capture index (its CDX server): the query for a blog's posts, its JSON
// answer read in parts, and what the harvest and the save take from it. No network here: the
// caller fetches next_query() and hands the body to take().

#include "archive/wayback_address.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace archive {

// One row of the index: one capture of one address.
struct CaptureEntry {
    std::u16string timestamp; // 14 digits in the archive's answers
    std::u16string original;  // as the index has it: "http://hi.baidu.com:80/u/blog/item/1.html"
    std::u16string status;    // "200"; "" when the answer has no such column
    std::u16string mimetype;  // "text/html"; "" when the answer has no such column
};

// <archive>/cdx/search/cdx?url=hi.baidu.com/<user>/&matchType=prefix&output=json
//   &fl=timestamp,original,statuscode,mimetype&filter=statuscode:200
//   &filter=original:.*/item/.*&collapse=urlkey&limit=<part_size>&showResumeKey=true
//   [&resumeKey=<key>]
// One status-200 row per post address of either layout (/<user>/blog/item/… and
// /<user>/item/…), in one pass over the blog's captures, the earliest first. The key is passed
// back in the form the index printed it (already percent-encoded); only what a query may not
// hold is encoded.
std::u16string capture_index_query(const WaybackBlog& blog, std::size_t part_size,
                                   std::u16string_view resume_key = {});

// Percent-encodes `text` (as UTF-8) for a query value. With `keep_encoding` the text is taken to
// be encoded already: its %XX escapes, "+" and the other characters a query may hold stay.
std::u16string query_value(std::u16string_view text, bool keep_encoding);

// <archive>/cdx/search/cdx?url=<address without scheme>&output=json
//   &fl=timestamp,original,statuscode,mimetype&filter=statuscode:200
// Every status-200 capture of that one address, the earliest first.
std::u16string address_captures_query(std::u16string_view archive, std::u16string_view address);

// One answer of the index. With showResumeKey, an answer that stops at the limit ends with an
// empty row and a row holding the key:
//   [["timestamp","original","statuscode","mimetype"],
//    ["20100315093012","http://hi.baidu.com:80/someone/blog/item/ab12.html","200","text/html"],
//    [],
//    ["com%2Cbaidu%2Chi%29%2Fsomeone%2Fblog%2Fitem%2Fab12.html+20100315093012"]]
// An empty body, "[]" or the header alone is an index with nothing in it.
struct CaptureIndexPart {
    std::vector<CaptureEntry> entries;
    std::optional<std::u16string> resume_key; // set when more remains
    std::u16string error; // not empty when the body is not such an answer; nothing else is set
};
CaptureIndexPart parse_capture_index(std::string_view json);

// Reads the whole index part by part:
//   CaptureIndexReader reader(blog);
//   while (auto query = reader.next_query()) { if (!reader.take(fetch(*query))) break; }
// An index that keeps handing out new keys is read no further than `max_parts` parts or
// `max_rows` rows; it then counts as read in part.
class CaptureIndexReader {
public:
    explicit CaptureIndexReader(WaybackBlog blog, std::size_t part_size = 1000,
                                std::size_t max_parts = 200, std::size_t max_rows = 200000);

    // The address of the next part; nothing once the last part was taken or an answer failed.
    std::optional<std::u16string> next_query() const;
    // Takes the body answering next_query(). False when it is not an index answer, or when it
    // hands back a key already used (a server going round in circles); error() says which.
    bool take(std::string_view body);

    const std::vector<CaptureEntry>& entries() const { return m_entries; }
    const std::u16string& error() const { return m_error; }
    // The parts taken so far.
    std::size_t parts_read() const { return m_parts_read; }
    // The last part has been taken: nothing of the index is left out.
    bool complete() const { return m_done && m_error.empty(); }

private:
    WaybackBlog m_blog;
    std::size_t m_part_size;
    std::size_t m_max_parts;
    std::size_t m_max_rows;
    std::size_t m_parts_read = 0;
    std::optional<std::u16string> m_resume_key;
    std::unordered_set<std::u16string> m_keys_used;
    std::vector<CaptureEntry> m_entries;
    std::u16string m_error;
    bool m_done = false;
};

// The posts of the blog that the index holds and the walk's list lacks, in the index's order,
// each as <archive>/web/<its index timestamp>/<original>, ready to be appended to the list.
// Only status-200 rows whose original is a post of this blog (of either layout) count; a
// newer-layout post is listed at its canonical address. A post is listed once
// (compared by post_identity), however many rows or list items name it.
std::vector<std::u16string> posts_missing_from_list(const WaybackBlog& blog,
                                                    const std::vector<std::u16string>& list,
                                                    const std::vector<CaptureEntry>& index);

// Each post's own status-200 capture, for downloading it raw: the list page that linked a post
// may have been replayed from a time when the post's address showed something else (a later
// "blog closed" page that also answered 200).
class OwnCaptures {
public:
    // The first status-200 row of each post wins (the index lists the earliest first).
    explicit OwnCaptures(const std::vector<CaptureEntry>& index);

    // The post's own capture timestamp, or nothing when the index does not have it.
    std::optional<std::u16string> timestamp_of(std::u16string_view post_link) const;

    // <archive>/web/<timestamp>id_/<original> for an archived post link: the post's own capture
    // when the index has it, else the link's timestamp. Nothing for a link that is not archived.
    std::optional<std::u16string> raw_capture_of(std::u16string_view post_link) const;

private:
    std::unordered_map<std::u16string, std::u16string> m_timestamps;
};

} // namespace archive
