#pragma once
// What a new blog needs to know of a post besides its body, read from its page as a browser reads
// it (gumbo), never by searching the markup: the title, the date the page shows, its category and
// its tags. The copy shows them and the exports carry them.
//
// The title is the text of the <title> element up to its first "_" (the post files keep their
// own cut of the markup). The date is the first valid one on the date line: the text after
// "查看文章" up to the post's text (the element with id "blog_text"), or without one the first
// text after the marker; in one of the forms the service wrote ("2009-05-01 21:00", "2009-5-1",
// "2009年5月1日 星期五 21:00", "2009年05月01日 下午 9:00"); times are China time. Category and
// tags are read after the body, from its end marker "类别" on; nothing in the title or the body
// before it counts. Only the first part of a very long page is read for the title and the date.

#include "blog/post_page.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace offline {

struct PostDate {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    bool has_time = false;
    int second = 0; // pages show none; a time of the backup or capture has them

    friend bool operator==(const PostDate&, const PostDate&) = default;
};

struct PostFacts {
    std::string title; // UTF-8, as the browser shows it, blanks kept; may be empty
    std::optional<PostDate> date;
    std::string category; // UTF-8, character references decoded, blanks trimmed; may be empty
    std::vector<std::string> tags;
};

PostFacts ReadPostFacts(std::u16string_view page);

// The facts of a page read by its layout: the newer layout's heading, date and tags as its markup
// shows them (it has no category); the older layout's by the rules above.
PostFacts ReadPostFacts(std::u16string_view page, const blog::PostCut& cut);

// The first valid date in the text; nothing when there is none.
std::optional<PostDate> FirstDate(std::u16string_view text);

// In the text of a piece of HTML: what follows `label` in its own text up to the next "|" or
// line end; when nothing does, the text of what comes next (the link that carries the value).
// Trimmed; nothing when the piece has no such label.
std::optional<std::string> LabelText(std::u16string_view html, std::u16string_view label);

// "2009-05-01T21:00:00+08:00", and "2009-05-01 21:00" as the copy shows it (no time: the day).
std::string IsoDate(const PostDate& date);
std::string ShownDate(const PostDate& date);

// A point in time as the date it was in China, with its time; and in UTC.
PostDate ChinaDate(long long unix_seconds);
PostDate UtcDate(long long unix_seconds);

// The point in time of a date in China time.
long long UnixSeconds(const PostDate& china);

// 0 for Sunday to 6 for Saturday.
int Weekday(const PostDate& date);

} // namespace offline
