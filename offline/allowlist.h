#pragma once
// What a post body may keep in the copy: the elements and attributes that fit a blog post and
// can neither run, fetch, submit, nor reach outside the post, and a style attribute cut down to
// colours, fonts, text alignment and decoration, margins and padding (safe_style.h).

#include "offline/safe_style.h"

#include <optional>
#include <string>
#include <string_view>

namespace offline {

enum class ElementRule {
    keep,         // written out, with the attributes KeptAttribute allows
    unwrap,       // not written, but its children are
    drop_content, // not written, nor anything inside it
};

// For an element of the HTML namespace by its lower-case name. <a> and <img> are kept: their
// addresses are the writer's business.
ElementRule RuleFor(std::string_view element);

// The attribute's value as it may be written on that element, or nothing when the attribute
// goes. `name` is in lower case; `value` as the parser decoded it. Not for <a href> or
// <img src>, nor for "style" (see SafeStyle).
std::optional<std::string> KeptAttribute(std::string_view element, std::string_view name,
                                         std::string_view value);

// True for elements written without an end tag.
bool IsVoidElement(std::string_view element);

} // namespace offline
