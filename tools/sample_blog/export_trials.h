#pragma once
// The sample blog's trial posts for the exports (served with --export-trials): every kind of
// markup a body can hold, nested lists, a table, "]]>", control characters, markup whose look
// must survive, a title with quotes and a colon, a date line in each of the service's date forms
// and the category after its label or inside its link, for the exports to carry across whole;
// and after them hostile ones, for the exports to carry across harmless.

#include "tools/sample_blog/hostile_post.h"

#include <string>
#include <string_view>
#include <vector>

namespace sample_blog {

// The date line shown above post n's body, by n % 6:
//   0 "2009-05-DD 21:00"             1 "2009-5-D"
//   2 "2009年5月D日 星期五 21:00"     3 "2009年05月DD日 下午 9:00"
//   4 none                           5 an impossible "2009-05-92", then "2009-06-DD 08:30"
// where D is n % 28 + 1. Post n's date in the exports' form, or empty for form 4:
std::u16string trial_date_line(int number);
std::u16string trial_iso_date(int number);

// Post n % 4 == 0: every element; 1: "]]>" and control characters; 2: lists and a table;
// 3: what must look the same (emphasis side by side, aligned and coloured paragraphs, lists with
// text, letters, starts and neighbours, titles, and links to `other_post`, a post's path, in
// other spellings).
std::u16string trial_content(int number, std::u16string_view other_post);

// Quotes and a colon around the number: 他说："你好" & 'hi': 7
std::u16string trial_title(int number);

// "游记 &amp; 随笔", decoded by a reader to "游记 & 随笔"; tags "旅行" and "春天".
inline constexpr std::u16string_view k_trial_category = u" 游记 &amp; 随笔 ";

// Posts from k_first_hostile_trial on are an attacker's, cycling through k_hostile_trials kinds:
// Hugo shortcodes in every place a body holds text, Hugo's summary divider and heading attribute
// lists, WordPress shortcodes, and then the copy's hostile bodies (hostile_post.h); titles,
// categories and tags with C1 controls, noncharacters, shortcodes and texts that are no path
// ("..", ".", "a/b").
inline constexpr int k_first_hostile_trial = 15;
inline constexpr int k_hostile_trials = 3 + k_hostile_posts;

// The category and the tags of post n as its page writes them (character references and all).
std::u16string trial_category(int number);
std::vector<std::u16string> trial_tags(int number);
// The tags' markup after "标签：".
std::u16string trial_tags_markup(int number);

} // namespace sample_blog
