#pragma once
// What a new blog needs to know of a post besides its title and body, read from its page: the
// date the page shows, its category and its tags. The copy shows them and the exports carry them.
//
// The date is the first valid one in the text between "查看文章" and "类别", in one of the forms
// the service wrote ("2009-05-01 21:00", "2009-5-1", "2009年5月1日 星期五 21:00",
// "2009年05月01日 下午 9:00"); times are China time.

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
    std::optional<PostDate> date;
    std::string category; // UTF-8, character references decoded, blanks trimmed; may be empty
    std::vector<std::string> tags;
};

PostFacts ReadPostFacts(std::u16string_view page);

// The first valid date in the text; nothing when there is none.
std::optional<PostDate> FirstDate(std::u16string_view text);

// The text after `label` up to the next "|", the end of its line or the start of markup (the
// end of its link), decoded and trimmed; nothing when the page has no such label.
std::optional<std::string> LabelText(std::u16string_view page, std::u16string_view label);

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
