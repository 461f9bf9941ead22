#pragma once
// Small questions asked of gumbo's tree while converting a body.

#include <gumbo.h>

#include <string>
#include <string_view>
#include <vector>

namespace exports {

// Deeper than this, the rest of a branch is kept as its text: nothing real nests so deep, and
// the conversion must not run out of stack on a body built to.
constexpr int max_depth = 200;

const GumboNode& Child(const GumboNode& node, unsigned i);
unsigned ChildCount(const GumboNode& node);
bool IsElement(const GumboNode& node);
bool IsText(const GumboNode& node);
GumboTag TagOf(const GumboNode& node);
bool HasElementChild(const GumboNode& node);

// Elements that start a block of their own.
bool IsBlockTag(GumboTag tag);

// Whether the element carries attributes that change how it looks, which Markdown cannot say.
// A picture's src and alt, a link's href and a list's start are Markdown's own.
bool HasPresentation(const GumboNode& element);

// The attribute's value, or empty.
std::string Attribute(const GumboNode& element, const char* name);

// The text of a branch, without recursion.
std::string FlatText(const GumboNode& root);

} // namespace exports
