#include "offline/body_clean.h"

#include "offline/address.h"
#include "offline/allowlist.h"
#include "offline/body_pieces.h"
#include "offline/gumbo_document.h"
#include "offline/html_text.h"
#include "platform/text.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <set>

namespace offline {
namespace {

// A body settles in one or two rounds; one that keeps changing is shown as text.
constexpr int max_rounds = 6;

// Long bodies are parsed a piece at a time, so that the tree stays small.
constexpr std::size_t piece_units = body_piece_units;

constexpr std::string_view link_rel = " rel=\"noreferrer noopener\"";

std::string tag_name(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        return gumbo_normalized_tagname(element.tag);
    }
    GumboStringPiece name = element.original_tag;
    gumbo_tag_from_original_text(&name);
    std::string lowered(name.data ? name.data : "", name.length);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), AsciiLower);
    return lowered;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
    return out;
}

// Writes a parsed body out from its tree.
class TreeWriter {
public:
    explicit TreeWriter(std::string_view post_address) : m_post_address(post_address) {}

    void write(const GumboNode* root) {
        struct Frame {
            const GumboNode* node;
            unsigned next = 0;
            std::string end_tag;
        };
        // Iterative: bodies may nest deeply.
        std::vector<Frame> stack{{root, 0, {}}};
        while (!stack.empty()) {
            const GumboVector& children = stack.back().node->v.element.children;
            if (stack.back().next >= children.length) {
                write_markup(stack.back().end_tag);
                stack.pop_back();
                continue;
            }
            const auto* child = static_cast<const GumboNode*>(children.data[stack.back().next++]);
            switch (child->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                write_text(child->v.text.text);
                break;
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE:
                if (auto end_tag = enter(child->v.element)) {
                    stack.push_back({child, 0, std::move(*end_tag)});
                }
                break;
            default:
                break; // comments
            }
        }
    }

    CleanBody take() { return std::move(m_body); }
    const std::string& text() const { return m_text; }

private:
    // Writes what the element keeps of its start tag; the end tag to write after its children,
    // or nothing when they go with it.
    std::optional<std::string> enter(const GumboElement& element) {
        if (element.tag_namespace != GUMBO_NAMESPACE_HTML) {
            return std::nullopt; // inside <svg> or <math>, which go whole
        }
        const std::string name = tag_name(element);
        switch (RuleFor(name)) {
        case ElementRule::drop_content:
            return std::nullopt;
        case ElementRule::unwrap:
            return std::string();
        case ElementRule::keep:
            break;
        }
        if (name == "img") {
            write_picture(element);
            return std::nullopt;
        }
        if (name == "a") {
            write_link(element);
            return std::string("</a>");
        }
        write_markup("<" + name + attributes(element, name) + ">");
        m_pre_start = name == "pre";
        if (IsVoidElement(name)) {
            return std::nullopt;
        }
        return "</" + name + ">";
    }

    std::string attributes(const GumboElement& element, const std::string& name) const {
        std::string written;
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            const auto& attribute = *static_cast<const GumboAttribute*>(element.attributes.data[i]);
            const std::string attribute_name = lower(attribute.name);
            if (attribute_name == "style") {
                if (const std::string style = SafeStyle(attribute.value); !style.empty()) {
                    written += " style=\"" + EscapeHtml(style) + "\"";
                }
            } else if (const auto value = KeptAttribute(name, attribute_name, attribute.value)) {
                written += " " + attribute_name + "=\"" + EscapeHtml(*value) + "\"";
            }
        }
        return written;
    }

    void write_picture(const GumboElement& element) {
        const GumboAttribute* source = gumbo_get_attribute(&element.attributes, "src");
        const bool blank =
            !source || std::string_view(source->value).find_first_not_of(" \t\n\f\r") ==
                           std::string_view::npos;
        const auto address =
            blank ? std::nullopt : ResolveWebAddress(m_post_address, source->value);
        if (!address) {
            return; // nothing a copy could show: an empty src loads nothing
        }
        add_address({true, SplitFragment(*address).first, {}, attributes(element, "img")});
    }

    void write_link(const GumboElement& element) {
        const std::string kept = attributes(element, "a");
        const GumboAttribute* target = gumbo_get_attribute(&element.attributes, "href");
        const std::string_view value = target ? std::string_view(target->value) : "";
        const std::size_t first = value.find_first_not_of(" \t\n\f\r");
        if (first != std::string_view::npos && value[first] == '#') {
            add_address({false, {}, std::string(value.substr(first)), kept});
        } else if (const auto address =
                       target ? ResolveWebAddress(m_post_address, value) : std::nullopt) {
            auto [web, fragment] = SplitFragment(*address);
            add_address({false, std::move(web), std::move(fragment), kept});
        } else {
            write_markup("<a" + kept + ">"); // an address that is not on the web goes
        }
    }

    void add_address(BodyAddress address) {
        m_body.addresses.push_back(std::move(address));
        m_body.markup.emplace_back();
        m_pre_start = false;
    }

    void write_markup(std::string_view markup) {
        m_body.markup.back() += markup;
        m_pre_start = false;
    }

    void write_text(std::string_view text) {
        // A parser drops the line end right after <pre>: one of the text's own must survive.
        if (m_pre_start && text.starts_with('\n')) {
            m_body.markup.back() += '\n';
        }
        m_body.markup.back() += EscapeHtml(text);
        m_text += text;
        m_pre_start = false;
    }

    std::string m_post_address;
    CleanBody m_body;
    std::string m_text;
    bool m_pre_start = false;
};

struct Written {
    CleanBody body;
    std::string text;
};

Written write_body(std::string_view html, std::string_view post_address) {
    const GumboDocument parsed = ParseInDiv(html);
    TreeWriter writer(post_address);
    writer.write(parsed->root);
    return {writer.take(), writer.text()};
}

// The body with every address kept on the web: what the settling rounds compare.
std::string as_written(const CleanBody& body) {
    return RenderBody(body, {[](const std::string& address) { return address; },
                             [](const std::string&) { return std::nullopt; }});
}

CleanBody shown_as_text(std::string_view text) {
    CleanBody body;
    body.as_text = true;
    body.markup = {"<pre class=\"raw\">" + std::string(text.starts_with('\n') ? "\n" : "") +
                   EscapeHtml(text) + "</pre>"};
    return body;
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
        if (std::find(formatting.begin(), formatting.end(), name) != formatting.end()) {
            open = end ? std::max<std::ptrdiff_t>(open - 1, 0) : open + 1;
            if (open > most_open) {
                return true;
            }
        }
    }
    return false;
}

CleanBody clean_piece(std::string_view body, std::string_view post_address) {
    if (too_costly_to_parse(body)) {
        return shown_as_text(body);
    }
    Written first = write_body(body, post_address);
    CleanBody clean = std::move(first.body);
    for (int round = 0; round < max_rounds; ++round) {
        const std::string written = as_written(clean);
        Written again = write_body(written, post_address);
        if (as_written(again.body) == written) {
            return clean;
        }
        clean = std::move(again.body);
    }
    return shown_as_text(first.text);
}

// Joins a piece cleaned apart to the body before it; nothing stands between them.
void append(CleanBody& body, CleanBody&& piece) {
    body.markup.back() += piece.markup.front();
    body.markup.insert(body.markup.end(), std::make_move_iterator(piece.markup.begin() + 1),
                       std::make_move_iterator(piece.markup.end()));
    body.addresses.insert(body.addresses.end(), std::make_move_iterator(piece.addresses.begin()),
                          std::make_move_iterator(piece.addresses.end()));
}

} // namespace

CleanBody CleanPostBody(std::string_view body, std::string_view post_address) {
    if (body.size() <= piece_units) {
        return clean_piece(body, post_address);
    }
    return CleanPostBody(platform::utf8_to_utf16(body), post_address);
}

CleanBody CleanPostBody(std::u16string_view body, std::string_view post_address) {
    if (body.size() <= piece_units) {
        return clean_piece(platform::utf16_to_utf8(body), post_address);
    }
    CleanBody clean;
    // Room for a body of Chinese prose at once (three bytes a unit): growing by doubling would
    // hold two copies for a while, and room never written takes no memory.
    clean.markup.back().reserve(body.size() * 3);
    BodyPieces pieces(body, piece_units);
    while (const std::optional<std::string> piece = pieces.next()) {
        append(clean, clean_piece(*piece, post_address));
    }
    return clean;
}

std::vector<std::string> PicturesOf(const CleanBody& body) {
    std::vector<std::string> pictures;
    std::set<std::string> seen;
    for (const BodyAddress& value : body.addresses) {
        if (value.picture && seen.insert(value.address).second) {
            pictures.push_back(value.address);
        }
    }
    return pictures;
}

namespace {

// The start tag of an address as a page shows it; empty for a picture that page has not.
std::string address_tag(const BodyAddress& value, const BodyTargets& targets) {
    if (value.picture) {
        const auto local = targets.picture(value.address);
        return local ? "<img src=\"" + EscapeHtml(*local) + "\"" + value.attributes + ">"
                     : std::string();
    }
    if (value.address.empty()) {
        return "<a href=\"" + EscapeHtml(value.fragment) + "\"" + value.attributes + ">";
    }
    if (const auto local = targets.post(value.address)) {
        // On the page of all posts a post is itself an anchor, which no fragment can follow.
        const bool anchor = local->find('#') != std::string::npos;
        return "<a href=\"" + EscapeHtml(anchor ? *local : *local + value.fragment) + "\"" +
               value.attributes + ">";
    }
    return "<a href=\"" + EscapeHtml(value.address + value.fragment) + "\"" + value.attributes +
           std::string(link_rel) + ">";
}

bool continues_sequence(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

std::string RenderBody(const CleanBody& body, const BodyTargets& targets) {
    std::string out = body.markup.front();
    for (std::size_t i = 0; i < body.addresses.size(); ++i) {
        out += address_tag(body.addresses[i], targets);
        out += body.markup.at(i + 1);
    }
    return out;
}

RenderedParts::RenderedParts(const CleanBody& body, const BodyTargets& targets)
    : m_body(body), m_targets(targets) {}

std::optional<std::string_view> RenderedParts::next(std::size_t most_bytes) {
    // Markup and addresses take turns: markup 0, address 0, markup 1, … the last markup.
    while (m_left.empty()) {
        if (m_next > 2 * m_body.addresses.size()) {
            return std::nullopt;
        }
        if (m_next % 2 == 0) {
            m_left = m_body.markup.at(m_next / 2);
        } else {
            m_tag = address_tag(m_body.addresses[m_next / 2], m_targets);
            m_left = m_tag;
        }
        ++m_next;
    }
    std::size_t end = std::min(std::max<std::size_t>(most_bytes, 1), m_left.size());
    while (end < m_left.size() && continues_sequence(m_left[end])) {
        ++end;
    }
    const std::string_view part = m_left.substr(0, end);
    m_left.remove_prefix(end);
    return part;
}

} // namespace offline
