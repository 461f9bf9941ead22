#pragma once
// Post bodies made by an attacker, for the tests of the offline copy: each one tries, in the
// ways the copy's cleaning once let through, to run a script, to send the page elsewhere (a
// refresh, a <base>, a form), to hide the other posts or to lie over the page's own heading and
// links. Whatever runs or leaves asks for an
// address on http://attacker.test/ and sets the page's title to "ran-<what>".
//
// And pages that greet their visitor with script dialogs, for the tests of the harvest.

#include <string>

namespace sample_blog {

inline constexpr int k_hostile_posts = 6;
inline constexpr std::u16string_view k_attacker = u"http://attacker.test/";

// Text every hostile post shows, "可见文字" + the number: it must stay visible in the copy.
std::u16string hostile_marker(int number);

// What post `number` shows; posts past k_hostile_posts cycle through them.
std::u16string hostile_content(int number);

// alert(), confirm() and prompt(), then a request for "/_sample/answered?confirm=C&prompt=P"
// with the answers they got.
std::u16string greeting_script();

} // namespace sample_blog
