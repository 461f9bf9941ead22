#pragma once
// A post body made safe to open offline by writing it out anew. The body is parsed with gumbo
// as the content of a <div>, and only what the parse made into allowed elements (allowlist.h) is
// written as markup, from the tree: everything else is text, escaped as text, or is gone. So no
// byte of the body can become markup that another parser reads differently, and every element
// written is closed, so the body cannot reach past its container.
//
// The written body is parsed and written again until it no longer changes (a tree gumbo builds
// is not always the tree its own writing gives back); a body that does not settle is shown as
// its text.
//
// Pictures and links keep their addresses apart, resolved against the post's address, so that a
// page can point them at local files: a picture without one is dropped, a link without one
// keeps its web address with rel="noreferrer noopener". Only http(s) addresses are kept.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace offline {

// An <a> or <img> start tag of the body, written once its address is known.
struct BodyAddress {
    bool picture = false;   // <img src>; otherwise <a href>
    std::string address;    // resolved http(s) address without fragment; empty: a same-page link
    std::string fragment;   // links only: "#..." or empty
    std::string attributes; // the tag's other kept attributes, written out (" title=\"...\"")
};

struct CleanBody {
    // The written body, cut at each address: markup[i] comes before addresses[i], and the last
    // piece after the last address. A body shown as its source has one piece and no address.
    std::vector<std::string> markup{std::string()};
    std::vector<BodyAddress> addresses;
    bool as_text = false;
};

// `body` is UTF-8; `post_address` is the address relative references resolve against.
CleanBody CleanPostBody(std::string_view body, std::string_view post_address);
// The same for a body in UTF-16. A long body is parsed a piece at a time (body_pieces.h), so
// that memory stays a small multiple of the body's own length.
CleanBody CleanPostBody(std::u16string_view body, std::string_view post_address);

// The picture addresses the body shows, each once, in order of first use.
std::vector<std::string> PicturesOf(const CleanBody& body);

// Where a page sends a body's addresses: the local file of a picture that was saved, the local
// page of a listed post (the address without fragment).
struct BodyTargets {
    std::function<std::optional<std::string>(const std::string&)> picture;
    std::function<std::optional<std::string>(const std::string&)> post;
};

// The body as the page shows it.
std::string RenderBody(const CleanBody& body, const BodyTargets& targets);

// The same a part at a time, so that a long body's page can be written without the whole of it
// held. Parts are cut only between UTF-8 sequences.
class RenderedParts {
public:
    // `body` and `targets` must outlive this object.
    RenderedParts(const CleanBody& body, const BodyTargets& targets);

    // The next part, at most about `most_bytes` long, valid until the next call; nothing after
    // the last.
    std::optional<std::string_view> next(std::size_t most_bytes);

private:
    const CleanBody& m_body;
    const BodyTargets& m_targets;
    std::size_t m_next = 0;  // of markup and addresses taken in turns, the next to give out
    std::string_view m_left; // what is left of the one being given out
    std::string m_tag;       // the start tag of the address at hand, written out
};

} // namespace offline
