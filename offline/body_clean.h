#pragma once
// A post body made safe to open offline, changing as few of its bytes as possible. The body is
// parsed with gumbo in the place the copy's pages give it; what could run or reach the network
// is dropped by its source position (whole elements with what a browser counts as their
// content, single attributes), and the addresses of pictures and links are noted so that a page
// can point them at local files. Every other byte stays as it was.
//
// Removing bytes can join what is left into new markup ("<scr<script></script>ipt>"), so the
// body is parsed again until nothing more needs removing. Then a few end tags are appended
// (`closer`) so that nothing the body leaves open (a comment, a <textarea>, a table, a
// formatting element) runs on into the page around it; a tag the body leaves unfinished at its
// end is cut off, as a browser drops it too. A body that cannot be brought to that state is
// shown as its source text.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace offline {

struct AddressValue {
    std::size_t begin = 0; // the value as written in the body, quotes included
    std::size_t end = 0;
    bool picture = false;  // <img src>; otherwise <a href>
    bool absolute = false; // written with its own scheme
    std::string address;   // resolved http(s) address, without fragment
    std::string fragment;  // links only: "#..." or empty
};

struct CleanBody {
    std::string source;                                        // the body, UTF-8
    std::vector<std::pair<std::size_t, std::size_t>> removals; // sorted, disjoint
    std::vector<AddressValue> addresses;                       // in source order
    std::string closer;
    bool as_text = false;
};

// `body` is UTF-8; `post_address` is the address relative references resolve against.
CleanBody CleanPostBody(std::string_view body, std::string_view post_address);

// The picture addresses the body shows, each once, in order of first use.
std::vector<std::string> PicturesOf(const CleanBody& body);

// Where a page sends a body's addresses: the local file of a picture that was saved, the local
// page of a listed post (the address without fragment). Nothing keeps the address on the web.
struct BodyTargets {
    std::function<std::optional<std::string>(const std::string&)> picture;
    std::function<std::optional<std::string>(const std::string&)> post;
};

struct Edit {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string replacement;
};

// The removals and value changes for these targets, sorted and disjoint. A relative address
// that stays on the web becomes absolute; an absolute one is left as written.
std::vector<Edit> BodyEdits(const CleanBody& body, const BodyTargets& targets);

std::string ApplyEdits(std::string_view source, const std::vector<Edit>& edits);

// The body as the page shows it: the edits applied and the closer appended, or the escaped
// source in a <pre> when it could not be made safe as markup.
std::string RenderBody(const CleanBody& body, const BodyTargets& targets);

} // namespace offline
