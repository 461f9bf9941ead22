#include "offline/post_facts.h"

#include "offline/blank.h"
#include "platform/text.h"

#include <cstdio>

namespace offline {
namespace {

constexpr int china_offset_seconds = 8 * 3600;

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool is_leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

// Reads the text from a position onwards, one piece at a time.
class Reader {
public:
    Reader(std::u16string_view text, std::size_t at) : m_text(text), m_at(at) {}

    // 1 to `most` digits, not followed by another digit.
    std::optional<int> number(std::size_t least, std::size_t most) {
        std::size_t end = m_at;
        int value = 0;
        while (end < m_text.size() && is_digit(m_text[end]) && end - m_at < most) {
            value = value * 10 + (m_text[end] - u'0');
            ++end;
        }
        if (end - m_at < least || (end < m_text.size() && is_digit(m_text[end]))) {
            return std::nullopt;
        }
        m_at = end;
        return value;
    }
    bool literal(std::u16string_view word) {
        if (m_text.substr(m_at, word.size()) != word) {
            return false;
        }
        m_at += word.size();
        return true;
    }
    void blanks() {
        while (m_at < m_text.size() && IsBlank(m_text[m_at])) {
            ++m_at;
        }
    }
    // "星期五", "星期日", "星期天"
    void weekday() {
        if (literal(u"星期") && m_at < m_text.size() &&
            std::u16string_view(u"一二三四五六日天").find(m_text[m_at]) !=
                std::u16string_view::npos) {
            ++m_at;
        }
    }
    std::size_t at() const { return m_at; }
    void seek(std::size_t at) { m_at = at; }

private:
    std::u16string_view m_text;
    std::size_t m_at;
};

// "21:00", "上午 12:05", "下午 9:00" after a date; nothing when no valid time follows.
std::optional<std::pair<int, int>> time_after(Reader& reader) {
    reader.blanks();
    reader.weekday();
    reader.blanks();
    int half = 0; // 1 before noon, 2 after
    if (reader.literal(u"上午")) {
        half = 1;
    } else if (reader.literal(u"下午")) {
        half = 2;
    }
    reader.blanks();
    const auto hour = reader.number(1, 2);
    if (!hour || !reader.literal(u":")) {
        return std::nullopt;
    }
    const auto minute = reader.number(2, 2);
    if (!minute || *minute > 59) {
        return std::nullopt;
    }
    int h = *hour;
    if (half != 0) {
        if (h < 1 || h > 12) {
            return std::nullopt;
        }
        h = half == 2 ? (h == 12 ? 12 : h + 12) : (h == 12 ? 0 : h);
    } else if (h > 23) {
        return std::nullopt;
    }
    return std::pair(h, *minute);
}

// A date starting exactly at `at`: "2009-05-01", "2009-5-1" or "2009年5月1日", then its time.
std::optional<PostDate> date_at(std::u16string_view text, std::size_t at) {
    Reader reader(text, at);
    const auto year = reader.number(4, 4);
    if (!year) {
        return std::nullopt;
    }
    const bool chinese = reader.literal(u"年");
    if (!chinese && !reader.literal(u"-")) {
        return std::nullopt;
    }
    const auto month = reader.number(1, 2);
    if (!month || !reader.literal(chinese ? u"月" : u"-")) {
        return std::nullopt;
    }
    const auto day = reader.number(1, 2);
    if (!day || (chinese && !reader.literal(u"日"))) {
        return std::nullopt;
    }
    if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > days_in(*year, *month)) {
        return std::nullopt;
    }
    PostDate date{*year, *month, *day, 0, 0, false};
    if (const auto time = time_after(reader)) {
        date.hour = time->first;
        date.minute = time->second;
        date.has_time = true;
    }
    return date;
}

std::string two(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string day_text(const PostDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

// Howard Hinnant's civil calendar algorithms: days since 1970-01-01 and back.
long long days_from_civil(long long year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

PostDate date_at_offset(long long unix_seconds, int offset_seconds) {
    const long long local = unix_seconds + offset_seconds;
    long long days = local / 86400;
    long long seconds = local % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year,
            month,
            day,
            static_cast<int>(seconds / 3600),
            static_cast<int>(seconds % 3600 / 60),
            true,
            static_cast<int>(seconds % 60)};
}

} // namespace

std::optional<PostDate> FirstDate(std::u16string_view text) {
    for (std::size_t i = 0; i + 8 <= text.size(); ++i) {
        if (is_digit(text[i]) && (i == 0 || !is_digit(text[i - 1]))) {
            if (auto date = date_at(text, i)) {
                return date;
            }
        }
    }
    return std::nullopt;
}

std::string IsoDate(const PostDate& date) {
    return day_text(date) + "T" + two(date.hour) + ":" + two(date.minute) + ":" + two(date.second) +
           "+08:00";
}

std::string ShownDate(const PostDate& date) {
    return date.has_time ? day_text(date) + " " + two(date.hour) + ":" + two(date.minute)
                         : day_text(date);
}

PostDate ChinaDate(long long unix_seconds) {
    return date_at_offset(unix_seconds, china_offset_seconds);
}

PostDate UtcDate(long long unix_seconds) {
    return date_at_offset(unix_seconds, 0);
}

long long UnixSeconds(const PostDate& china) {
    return days_from_civil(china.year, china.month, china.day) * 86400 + china.hour * 3600 +
           china.minute * 60 + china.second - china_offset_seconds;
}

int Weekday(const PostDate& date) {
    const long long days = days_from_civil(date.year, date.month, date.day);
    return static_cast<int>(((days + 4) % 7 + 7) % 7);
}

PostFacts ReadPostFacts(std::u16string_view page, const blog::PostCut& cut) {
    if (cut.layout != blog::PostLayout::new_layout) {
        return ReadPostFacts(page);
    }
    PostFacts facts;
    facts.title = platform::utf16_to_utf8(cut.title);
    if (cut.date) {
        facts.date = PostDate{cut.date->year, cut.date->month,  cut.date->day,
                              cut.date->hour, cut.date->minute, true};
    }
    for (const std::u16string& tag : cut.tags) {
        facts.tags.push_back(platform::utf16_to_utf8(tag));
    }
    return facts;
}

} // namespace offline
