#include "offline/body_clean.h"

#include "offline/address.h"
#include "offline/gumbo_document.h"
#include "offline/html_text.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <memory>
#include <set>

namespace offline {
namespace {

// What comes before a body in every page: "in body", frameset no longer allowed, inside a
// container of ours.
constexpr std::string_view context_prefix = "<!DOCTYPE html><html><head></head><body>x<div>";
// Placed after the body and its closer: its text and its element land right under our markup
// only when the body left nothing open. Text shows an open <math>, which the <span> would
// leave; the <span> brings back formatting elements the body left pending.
constexpr std::string_view probe = ".<span id=\"pellumo-end\"></span>";
constexpr int max_rounds = 64;
// A real body needs a few end tags at most; a closer that keeps growing (each round may ask for
// all it already holds again) would double until memory runs out.
constexpr std::size_t max_closer_bytes = 4096;

// Elements dropped with their content: they run code, load or submit to the network, change
// how addresses or the page are read, or hold markup that browsers and gumbo read differently.
constexpr std::array<std::string_view, 18> removed_elements{
    "script", "iframe",   "frame",   "frameset", "object",   "embed",
    "applet", "form",     "base",    "svg",      "meta",     "link",
    "portal", "noscript", "noembed", "noframes", "template", "plaintext"};

// Attributes that hold an address.
constexpr std::array<std::string_view, 19> address_attributes{
    "href",     "src",      "action", "formaction", "data",     "poster",  "background",
    "cite",     "longdesc", "lowsrc", "dynsrc",     "codebase", "classid", "usemap",
    "manifest", "icon",     "ping",   "profile",    "archive"};

// Elements whose text is raw until their end tag.
constexpr std::array<std::string_view, 10> raw_text_elements{
    "textarea", "title",    "style",  "xmp",    "noscript",
    "noembed",  "noframes", "iframe", "script", "plaintext"};

template <std::size_t N>
bool is_one_of(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AsciiLower(c);
    }
    return out;
}

using Range = std::pair<std::size_t, std::size_t>;

bool is_element(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

const GumboVector& children_of(const GumboNode* node) {
    static const GumboVector none = kGumboEmptyVector;
    if (is_element(node)) {
        return node->v.element.children;
    }
    if (node->type == GUMBO_NODE_DOCUMENT) {
        return node->v.document.children;
    }
    return none;
}

std::string tag_name(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        return gumbo_normalized_tagname(element.tag);
    }
    GumboStringPiece name = element.original_tag;
    gumbo_tag_from_original_text(&name);
    return lower(std::string_view(name.data ? name.data : "", name.length));
}

// One gumbo parse of the body in its place: context, body, closer, probe.
class BodyParse {
public:
    BodyParse(std::string_view body, std::string_view closer)
        : m_buffer(std::string(context_prefix) + std::string(body) + std::string(closer) +
                   std::string(probe)),
          m_body_begin(context_prefix.size()), m_body_end(m_body_begin + body.size()),
          m_probe_at(m_body_end + closer.size()), m_output(ParseHtml(m_buffer)) {}

    const GumboNode* document() const { return m_output->document; }

    // Where a piece of the source lies, when it points into our buffer at all (gumbo makes up
    // some attributes of its own).
    std::optional<Range> range_of(const GumboStringPiece& piece) const {
        const auto begin = reinterpret_cast<std::uintptr_t>(m_buffer.data());
        const auto at = reinterpret_cast<std::uintptr_t>(piece.data);
        if (!piece.data || at < begin || at + piece.length > begin + m_buffer.size()) {
            return std::nullopt;
        }
        return Range{at - begin, at - begin + piece.length};
    }
    bool in_body(std::size_t offset) const {
        return offset >= m_body_begin && offset <= m_body_end;
    }
    std::size_t body_begin() const { return m_body_begin; }
    std::size_t body_end() const { return m_body_end; }
    std::size_t probe_at() const { return m_probe_at; }
    const std::string& buffer() const { return m_buffer; }

private:
    std::string m_buffer;
    std::size_t m_body_begin;
    std::size_t m_body_end;
    std::size_t m_probe_at;
    GumboDocument m_output;
};

// Calls `visit` for every node under `root` (itself included) in document order; when it
// returns false the node's children are skipped. Iterative: bodies may nest deeply.
template <typename Visit> void walk(const GumboNode* root, Visit visit) {
    std::vector<const GumboNode*> stack{root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (!visit(node)) {
            continue;
        }
        const GumboVector& children = children_of(node);
        for (unsigned i = children.length; i-- > 0;) {
            stack.push_back(static_cast<const GumboNode*>(children.data[i]));
        }
    }
}

// The source ranges a node's tokens came from: its tags, or its text.
std::vector<Range> token_ranges(const BodyParse& parse, const GumboNode* node) {
    std::vector<Range> ranges;
    const auto add = [&](const GumboStringPiece& piece) {
        if (const auto range = parse.range_of(piece)) {
            ranges.push_back(*range);
        }
    };
    if (is_element(node)) {
        add(node->v.element.original_tag);
        add(node->v.element.original_end_tag);
    } else if (node->type != GUMBO_NODE_DOCUMENT) {
        add(node->v.text.original_text);
    }
    return ranges;
}

// From the element's start tag to the last byte of anything inside it.
std::optional<Range> hull_of(const BodyParse& parse, const GumboNode* element) {
    std::optional<Range> hull;
    walk(element, [&](const GumboNode* node) {
        for (const Range& range : token_ranges(parse, node)) {
            hull = hull ? Range{std::min(hull->first, range.first),
                                std::max(hull->second, range.second)}
                        : range;
        }
        return true;
    });
    return hull;
}

bool is_runnable_attribute(const GumboAttribute& attribute) {
    const std::string name = lower(attribute.name);
    if (name.rfind("on", 0) == 0 || name == "srcset") {
        return true;
    }
    // xlink:href and the like hold addresses too.
    const std::size_t colon = name.rfind(':');
    const std::string local = colon == std::string::npos ? name : name.substr(colon + 1);
    return is_one_of(address_attributes, local) && IsRunnableAddress(attribute.value);
}

struct Findings {
    std::vector<Range> removals; // in buffer offsets
    bool unremovable = false;    // something runnable that has no place in the body
};

Findings find_removals(const BodyParse& parse) {
    Findings findings;
    const auto remove = [&](std::optional<Range> range) {
        if (!range || range->first == range->second || !parse.in_body(range->first) ||
            !parse.in_body(range->second)) {
            findings.unremovable = true;
            return;
        }
        findings.removals.push_back(*range);
    };
    walk(parse.document(), [&](const GumboNode* node) {
        if (!is_element(node)) {
            return true;
        }
        const GumboElement& element = node->v.element;
        const std::string name = tag_name(element);
        if (is_one_of(removed_elements, name)) {
            std::optional<Range> hull = hull_of(parse, node);
            if (hull && parse.in_body(hull->first)) {
                // Left open, it takes the rest of the body, and no more.
                hull->second = std::min(hull->second, parse.body_end());
            }
            remove(hull);
            return false;
        }
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            const auto& attribute = *static_cast<const GumboAttribute*>(element.attributes.data[i]);
            if (!is_runnable_attribute(attribute)) {
                continue;
            }
            const auto name_range = parse.range_of(attribute.original_name);
            const auto value_range = parse.range_of(attribute.original_value);
            if (!name_range) {
                remove(std::nullopt);
                continue;
            }
            Range range = *name_range;
            if (value_range && value_range->first >= range.first) {
                range.second = std::max(range.second, value_range->second);
            }
            remove(range);
        }
        return true;
    });
    return findings;
}

bool is_ours(const BodyParse& parse, const GumboNode* node) {
    if (!is_element(node)) {
        return false;
    }
    const auto range = parse.range_of(node->v.element.original_tag);
    return range && range->first < parse.body_begin();
}

std::string end_tag(const GumboNode* element) {
    return "</" + tag_name(element->v.element) + ">";
}

// What to do so that the body leaves nothing open.
struct Seal {
    bool clean = false;
    std::string closer;             // to append
    std::optional<std::size_t> cut; // body offset from which to drop the rest
};

const GumboNode* find_probe(const BodyParse& parse) {
    const GumboNode* found = nullptr;
    walk(parse.document(), [&](const GumboNode* node) {
        if (found || !is_element(node)) {
            return !found;
        }
        const auto range = parse.range_of(node->v.element.original_tag);
        if (range && range->first == parse.probe_at() + 1 &&
            node->v.element.tag == GUMBO_TAG_SPAN &&
            node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML) {
            found = node;
        }
        return true;
    });
    return found;
}

// The text node that holds the byte at `offset`.
const GumboNode* text_at(const BodyParse& parse, std::size_t offset) {
    const GumboNode* found = nullptr;
    walk(parse.document(), [&](const GumboNode* node) {
        if (!found && node->type == GUMBO_NODE_TEXT) {
            const auto range = parse.range_of(node->v.text.original_text);
            if (range && range->first <= offset && offset < range->second) {
                found = node;
            }
        }
        return !found;
    });
    return found;
}

// End tags for the body's elements that hold `node`, innermost first; the nearest element of
// ours, or nothing when there is none.
const GumboNode* close_up_to_ours(const BodyParse& parse, const GumboNode* node,
                                  std::string& closer) {
    const GumboNode* parent = node->parent;
    for (; parent && !is_ours(parse, parent); parent = parent->parent) {
        if (parent->type == GUMBO_NODE_DOCUMENT) {
            return nullptr;
        }
        closer += end_tag(parent);
    }
    return parent;
}

Seal seal_found_probe(const BodyParse& parse, const GumboNode* probe_node) {
    Seal seal;
    const GumboNode* text = text_at(parse, parse.probe_at());
    if (!text || !close_up_to_ours(parse, text, seal.closer) || !seal.closer.empty()) {
        return seal;
    }
    const GumboNode* parent = close_up_to_ours(parse, probe_node, seal.closer);
    if (!parent || !seal.closer.empty()) {
        return seal;
    }
    // Placed before a table the body left open.
    const GumboVector& siblings = children_of(parent);
    const std::size_t next = probe_node->index_within_parent + 1;
    if (next < siblings.length) {
        const auto* sibling = static_cast<const GumboNode*>(siblings.data[next]);
        if (is_element(sibling)) {
            seal.closer = end_tag(sibling);
        }
        return seal;
    }
    seal.clean = true;
    return seal;
}

Seal seal_lost_probe(const BodyParse& parse) {
    Seal seal;
    const std::size_t at = parse.probe_at();
    bool decided = false;
    walk(parse.document(), [&](const GumboNode* node) {
        if (decided) {
            return false;
        }
        if (is_element(node)) {
            for (const GumboStringPiece* piece :
                 {&node->v.element.original_tag, &node->v.element.original_end_tag}) {
                const auto range = parse.range_of(*piece);
                if (range && range->first < at && at < range->second &&
                    parse.in_body(range->first)) {
                    seal.cut = range->first - parse.body_begin(); // an unfinished tag
                    decided = true;
                }
            }
            return true;
        }
        const auto range = node->type == GUMBO_NODE_DOCUMENT
                               ? std::nullopt
                               : parse.range_of(node->v.text.original_text);
        if (!range || range->first > at || at >= range->second) {
            return true;
        }
        // Text spans the tokens ignored inside it, so only raw text says the probe became text.
        if (node->type == GUMBO_NODE_COMMENT) {
            seal.closer = "-->";
        } else if (node->type == GUMBO_NODE_CDATA) {
            seal.closer = "]]>";
        } else if (node->parent && is_element(node->parent) &&
                   is_one_of(raw_text_elements, tag_name(node->parent->v.element))) {
            seal.closer = end_tag(node->parent);
        } else {
            return true;
        }
        decided = true;
        return false;
    });
    if (decided) {
        return seal;
    }
    // A <select> ignores the probe's tag.
    for (const GumboNode* node = parse.document(); node;) {
        const GumboVector& children = children_of(node);
        if (is_element(node) && node->v.element.tag == GUMBO_TAG_SELECT &&
            node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML) {
            seal.closer = "</select>";
            return seal;
        }
        node = children.length ? static_cast<const GumboNode*>(children.data[children.length - 1])
                               : nullptr;
    }
    // Otherwise an ignored token (an end tag, a doctype) is unfinished: drop it.
    const std::string_view body =
        std::string_view(parse.buffer())
            .substr(parse.body_begin(), parse.body_end() - parse.body_begin());
    if (const std::size_t lt = body.rfind('<'); lt != std::string_view::npos) {
        seal.cut = lt;
    }
    return seal;
}

// gumbo rebuilds every formatting element left open inside each new block, so a body that
// leaves thousands open costs time and memory quadratic in its length. No real post does.
bool too_costly_to_parse(std::string_view body) {
    constexpr std::array<std::string_view, 14> formatting{
        "a",    "b", "big",   "code",   "em",     "font", "i",
        "nobr", "s", "small", "strike", "strong", "tt",   "u"};
    constexpr std::ptrdiff_t most_open = 1000;
    std::ptrdiff_t open = 0;
    for (std::size_t at = body.find('<'); at != std::string_view::npos;
         at = body.find('<', at + 1)) {
        const bool end = at + 1 < body.size() && body[at + 1] == '/';
        std::size_t name_end = at + 1 + (end ? 1 : 0);
        std::string name;
        while (name_end < body.size() && std::isalpha(static_cast<unsigned char>(body[name_end]))) {
            name += AsciiLower(body[name_end++]);
        }
        if (is_one_of(formatting, name)) {
            open = end ? std::max<std::ptrdiff_t>(open - 1, 0) : open + 1;
            if (open > most_open) {
                return true;
            }
        }
    }
    return false;
}

// The body's bytes that are still kept, and where each came from.
class KeptText {
public:
    explicit KeptText(std::string_view source) : m_kept(source.size(), true), m_source(source) {}

    std::string text() const {
        std::string out;
        for (std::size_t i = 0; i < m_source.size(); ++i) {
            if (m_kept[i]) {
                out += m_source[i];
            }
        }
        return out;
    }
    // Offsets in text() to offsets in the source.
    std::vector<std::size_t> origins() const {
        std::vector<std::size_t> map;
        for (std::size_t i = 0; i < m_source.size(); ++i) {
            if (m_kept[i]) {
                map.push_back(i);
            }
        }
        return map;
    }
    void drop(const std::vector<Range>& ranges_in_text) {
        const std::vector<std::size_t> map = origins();
        for (const Range& range : ranges_in_text) {
            for (std::size_t i = range.first; i < range.second && i < map.size(); ++i) {
                m_kept[map[i]] = false;
            }
        }
    }
    std::vector<Range> dropped() const {
        std::vector<Range> ranges;
        for (std::size_t i = 0; i < m_source.size(); ++i) {
            if (m_kept[i]) {
                continue;
            }
            if (!ranges.empty() && ranges.back().second == i) {
                ++ranges.back().second;
            } else {
                ranges.push_back({i, i + 1});
            }
        }
        return ranges;
    }

private:
    std::vector<bool> m_kept;
    std::string_view m_source;
};

std::vector<AddressValue> find_addresses(const BodyParse& parse, std::string_view post_address,
                                         const std::vector<std::size_t>& origins) {
    std::vector<AddressValue> values;
    std::set<std::size_t> seen; // elements gumbo cloned share their attributes' positions
    walk(parse.document(), [&](const GumboNode* node) {
        if (!is_element(node) || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML) {
            return true;
        }
        const GumboElement& element = node->v.element;
        const bool picture = element.tag == GUMBO_TAG_IMG;
        if (!picture && element.tag != GUMBO_TAG_A) {
            return true;
        }
        const GumboAttribute* attribute =
            gumbo_get_attribute(&element.attributes, picture ? "src" : "href");
        const auto range = attribute ? parse.range_of(attribute->original_value) : std::nullopt;
        if (!range || range->first == range->second || !parse.in_body(range->first) ||
            !parse.in_body(range->second) || !seen.insert(range->first).second) {
            return true;
        }
        const std::string_view value = attribute->value;
        const std::size_t first = value.find_first_not_of(" \t\n\f\r");
        if (first == std::string_view::npos || value[first] == '#') {
            return true; // a place on the same page
        }
        const auto resolved = ResolveWebAddress(post_address, value);
        if (!resolved) {
            return true;
        }
        auto [address, fragment] = SplitFragment(*resolved);
        AddressValue found;
        found.begin = origins[range->first - parse.body_begin()];
        found.end = origins[range->second - 1 - parse.body_begin()] + 1;
        found.picture = picture;
        found.absolute = !SchemeOf(value).empty();
        found.address = std::move(address);
        if (!picture) {
            found.fragment = std::move(fragment);
        }
        values.push_back(std::move(found));
        return true;
    });
    std::sort(values.begin(), values.end(),
              [](const AddressValue& a, const AddressValue& b) { return a.begin < b.begin; });
    return values;
}

std::vector<Range> to_body_offsets(const BodyParse& parse, std::vector<Range> ranges) {
    for (Range& range : ranges) {
        range.first -= parse.body_begin();
        range.second -= parse.body_begin();
    }
    return ranges;
}

} // namespace

CleanBody CleanPostBody(std::string_view body, std::string_view post_address) {
    CleanBody clean;
    clean.source = std::string(body);
    KeptText kept(clean.source);
    for (int round = too_costly_to_parse(body) ? max_rounds : 0; round < max_rounds; ++round) {
        const std::string text = kept.text();
        const BodyParse parse(text, clean.closer);
        const Findings findings = find_removals(parse);
        if (findings.unremovable) {
            break;
        }
        if (!findings.removals.empty()) {
            kept.drop(to_body_offsets(parse, findings.removals));
            continue;
        }
        const GumboNode* probe_node = find_probe(parse);
        const Seal seal = probe_node ? seal_found_probe(parse, probe_node) : seal_lost_probe(parse);
        if (seal.clean) {
            clean.removals = kept.dropped();
            clean.addresses = find_addresses(parse, post_address, kept.origins());
            return clean;
        }
        if (seal.cut) {
            kept.drop({{*seal.cut, text.size()}});
        } else if (!seal.closer.empty() &&
                   clean.closer.size() + seal.closer.size() <= max_closer_bytes) {
            clean.closer += seal.closer;
        } else {
            break;
        }
    }
    clean.closer.clear();
    clean.as_text = true;
    return clean;
}

std::vector<std::string> PicturesOf(const CleanBody& body) {
    std::vector<std::string> pictures;
    std::set<std::string> seen;
    for (const AddressValue& value : body.addresses) {
        if (value.picture && seen.insert(value.address).second) {
            pictures.push_back(value.address);
        }
    }
    return pictures;
}

std::vector<Edit> BodyEdits(const CleanBody& body, const BodyTargets& targets) {
    std::vector<Edit> values;
    for (const AddressValue& value : body.addresses) {
        const auto local =
            value.picture ? targets.picture(value.address) : targets.post(value.address);
        std::string target;
        if (local) {
            target = *local + value.fragment;
        } else if (!value.absolute) {
            target = value.address + value.fragment;
        } else {
            continue;
        }
        values.push_back({value.begin, value.end, "\"" + EscapeHtml(target) + "\""});
    }
    std::vector<Edit> edits;
    auto next_value = values.begin();
    for (const auto& [begin, end] : body.removals) {
        while (next_value != values.end() && next_value->end <= begin) {
            edits.push_back(*next_value++);
        }
        // Bytes dropped from inside a value that is replaced as a whole.
        if (next_value != values.end() && next_value->begin <= begin && end <= next_value->end) {
            continue;
        }
        edits.push_back({begin, end, {}});
    }
    edits.insert(edits.end(), next_value, values.end());
    return edits;
}

std::string ApplyEdits(std::string_view source, const std::vector<Edit>& edits) {
    std::string out;
    std::size_t at = 0;
    for (const Edit& edit : edits) {
        out.append(source.substr(at, edit.begin - at));
        out += edit.replacement;
        at = edit.end;
    }
    out.append(source.substr(std::min(at, source.size())));
    return out;
}

std::string RenderBody(const CleanBody& body, const BodyTargets& targets) {
    if (body.as_text) {
        return "<pre class=\"raw\">" + EscapeHtml(body.source) + "</pre>";
    }
    return ApplyEdits(body.source, BodyEdits(body, targets)) + body.closer;
}

} // namespace offline
