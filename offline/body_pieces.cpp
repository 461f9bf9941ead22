#include "offline/body_pieces.h"

#include "offline/gumbo_document.h"
#include "platform/text.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <utility>

namespace offline {
namespace {

// Cuts tried one after another while the parser is still inside something at the cut; the last
// is taken as it is.
constexpr int tries_per_cut = 8;
// The start tags carried across a cut, at most, in bytes: what lies deeper ends at the cut, so
// that a body of huge nested tags cannot make every later piece huge too.
constexpr std::size_t most_reopened_bytes = std::size_t{64} << 10;

// Elements that never hold anything, so are never left open.
constexpr std::array<GumboTag, 18> void_elements{
    GUMBO_TAG_AREA,   GUMBO_TAG_BASE,   GUMBO_TAG_BASEFONT, GUMBO_TAG_BGSOUND, GUMBO_TAG_BR,
    GUMBO_TAG_COL,    GUMBO_TAG_EMBED,  GUMBO_TAG_FRAME,    GUMBO_TAG_HR,      GUMBO_TAG_IMG,
    GUMBO_TAG_INPUT,  GUMBO_TAG_KEYGEN, GUMBO_TAG_LINK,     GUMBO_TAG_META,    GUMBO_TAG_PARAM,
    GUMBO_TAG_SOURCE, GUMBO_TAG_TRACK,  GUMBO_TAG_WBR};

bool is_void(const GumboElement& element) {
    return element.tag_namespace == GUMBO_NAMESPACE_HTML &&
           std::find(void_elements.begin(), void_elements.end(), element.tag) !=
               void_elements.end();
}

bool is_ascii_letter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The first "<" in [from, until) that begins a tag, an end tag or a comment.
std::size_t tag_from(std::u16string_view body, std::size_t from, std::size_t until) {
    for (std::size_t at = body.find(u'<', from); at < until; at = body.find(u'<', at + 1)) {
        const char16_t next = at + 1 < body.size() ? body[at + 1] : u'\0';
        if (is_ascii_letter(next) || next == u'/' || next == u'!') {
            return at;
        }
    }
    return std::u16string_view::npos;
}

// A place in text where a cut splits no character, character reference or line end: after a
// character that cannot be part of a reference, not between the halves of a surrogate pair.
bool text_cut(std::u16string_view body, std::size_t at) {
    const char16_t before = body[at - 1];
    const char16_t here = body[at];
    const bool reference_part = is_ascii_letter(before) || (before >= u'0' && before <= u'9') ||
                                before == u'&' || before == u'#';
    return !reference_part && before != u'\r' && before != u'<' &&
           !(here >= 0xDC00 && here <= 0xDFFF);
}

// Where to try a cut from `from` on: before the next tag if one comes soon, else in the text;
// the body's end when there is no such place.
std::size_t cut_in(std::u16string_view body, std::size_t from, std::size_t near) {
    if (from >= body.size()) {
        return body.size();
    }
    if (const std::size_t tag = tag_from(body, from, from + near);
        tag != std::u16string_view::npos) {
        return tag;
    }
    for (std::size_t at = std::max<std::size_t>(from, 1); at < body.size(); ++at) {
        if (text_cut(body, at)) {
            return at;
        }
    }
    return body.size();
}

// Where a piece of source ends, as an offset into `html`.
std::size_t end_of(const GumboStringPiece& piece, std::string_view html) {
    return piece.data ? static_cast<std::size_t>(piece.data - html.data()) + piece.length : 0;
}

// A comment the parser saw the end of; one cut short runs to the end of the input.
bool comment_closed(std::string_view comment) {
    if (comment.starts_with("<!--")) {
        return comment == "<!-->" || comment == "<!--->" ||
               (comment.size() >= 7 && (comment.ends_with("-->") || comment.ends_with("--!>")));
    }
    return comment.ends_with(">");
}

struct Ending {
    bool clean = false;    // every byte of the piece went into a token the parser finished
    std::string open_tags; // the start tags of the elements left open, outermost first
};

// What the parse of a piece says about its end. The elements open at the end are those along
// the tree's last branch that no end tag closed; the last token parsed ends the branch too.
Ending ending_of(const GumboOutput& parsed, std::string_view html) {
    Ending ending;
    std::size_t reached = 0;
    bool open = true;
    bool comment_cut = false;
    const GumboNode* node = parsed.root;
    while (node->v.element.children.length > 0) {
        const GumboVector& children = node->v.element.children;
        node = static_cast<const GumboNode*>(children.data[children.length - 1]);
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) {
            reached = std::max(reached, end_of(node->v.text.original_text, html));
            comment_cut = node->type == GUMBO_NODE_COMMENT &&
                          !comment_closed(
                              {node->v.text.original_text.data, node->v.text.original_text.length});
            break;
        }
        const GumboElement& element = node->v.element;
        reached = std::max(
            {reached, end_of(element.original_tag, html), end_of(element.original_end_tag, html)});
        open = open && element.original_end_tag.length == 0 && !is_void(element);
        if (open && element.original_tag.length > 0 &&
            ending.open_tags.size() + element.original_tag.length <= most_reopened_bytes) {
            ending.open_tags.append(element.original_tag.data, element.original_tag.length);
        }
        // Inside <svg> or <math> the outer start tag is enough: what it holds goes whole.
        if (element.tag_namespace != GUMBO_NAMESPACE_HTML) {
            open = false;
        }
    }
    ending.clean = reached == html.size() && !comment_cut;
    return ending;
}

} // namespace

BodyPieces::BodyPieces(std::u16string_view body, std::size_t piece_units)
    : m_left(body), m_piece_units(std::max<std::size_t>(piece_units, 1)) {}

BodyPieces::BodyPieces(std::function<bool(std::u16string&)> more, std::size_t piece_units)
    : m_more(std::move(more)), m_all_read(false),
      m_piece_units(std::max<std::size_t>(piece_units, 1)) {}

// How far to look for a tag to cut before, and how much further each new try goes.
std::size_t BodyPieces::near() const {
    return m_piece_units / tries_per_cut + 1;
}

void BodyPieces::read_to(std::size_t units) {
    while (!m_all_read && m_read.size() < units) {
        m_all_read = !m_more(m_read);
    }
    if (m_more) {
        m_left = m_read;
    }
}

std::size_t BodyPieces::cut_from(std::size_t from) {
    // A tag to cut before is looked for within `near` of `from` (its next unit read too); when
    // there is none and the text runs on without a place to cut, it is read further.
    for (std::size_t reach = from + near() + 2;; reach *= 2) {
        read_to(reach);
        const std::size_t cut = cut_in(m_left, from, near());
        if (cut < m_left.size() || m_all_read) {
            return cut;
        }
    }
}

std::optional<std::string> BodyPieces::next() {
    read_to(1);
    if (m_started && m_left.empty()) {
        return std::nullopt;
    }
    m_started = true;
    std::size_t end = cut_from(m_piece_units);
    std::string html;
    Ending ending;
    for (int tried = 1;; ++tried) {
        html = m_reopen + platform::utf16_to_utf8(m_left.substr(0, end));
        if (end == m_left.size()) {
            break; // the last piece carries nothing on
        }
        const GumboDocument parsed = ParseInDiv(html);
        ending = ending_of(*parsed, html);
        if (ending.clean || tried == tries_per_cut) {
            break;
        }
        end = cut_from(end + near());
    }
    if (m_more) {
        m_read.erase(0, end);
        m_left = m_read;
    } else {
        m_left.remove_prefix(end);
    }
    m_reopen = std::move(ending.open_tags);
    return html;
}

} // namespace offline
