#pragma once
// Titles and body paragraphs of the sample blog's posts, by post number (1, 2, ...). Titles cycle
// through the shapes that trouble a file name; every title holds the post number, so titles are
// distinct, and none holds "_", which ends the title on the service's post pages.

#include <string>

namespace sample_blog {

// The shape of the title of post n, by n % 12:
//   1 plain Chinese           "春游记1"
//   2 blanks                  "我的 第2篇 日记"
//   3 slash                   "a/b 日记3"
//   4 backslash               "文档\备份4"
//   5 question mark           "为什么5?"
//   6 asterisk                "五星*好评6"
//   7 colon                   "时间:7点"
//   8 vertical bar            "左|右8"
//   9 double quote            "\"引号\"9"
//  10 less-than               "10<一百"
//  11 greater-than            "11>零"
//   0 about 150 Chinese characters (over 255 bytes in UTF-8), then the number.
enum class TitleKind {
    long_text,
    plain,
    blanks,
    slash,
    backslash,
    question,
    asterisk,
    colon,
    bar,
    quote,
    less,
    greater,
};

TitleKind title_kind(int number);
std::u16string post_title(int number);

// The post's own words: Chinese paragraphs with HTML tags and CRLF line ends, different for
// every post. The page around them is the blog model's business.
std::u16string post_content(int number);

} // namespace sample_blog
