#include "archive/http_date.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace archive {
namespace {

struct Fields {
    std::optional<std::int64_t> day, month, year, seconds_of_day;
};

bool all_digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// At most `most`: a longer digit string is read only as far as it takes to pass it.
std::int64_t capped_number(std::string_view digits, std::int64_t most) {
    std::int64_t value = 0;
    for (const char c : digits) {
        value = std::min(value * 10 + (c - '0'), most + 1);
    }
    return value;
}

bool same_letters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::int64_t> month_number(std::string_view name) {
    static constexpr std::array<std::string_view, 12> months = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (std::size_t i = 0; i < months.size(); ++i) {
        if (same_letters(name, months[i])) {
            return static_cast<std::int64_t>(i) + 1;
        }
    }
    return std::nullopt;
}

bool weekday_or_zone(std::string_view word) {
    static constexpr std::array<std::string_view, 16> names = {
        "Mon",     "Tue",       "Wed",      "Thu",    "Fri",      "Sat",    "Sun", "Monday",
        "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday", "GMT", "UTC"};
    return std::any_of(names.begin(), names.end(),
                       [word](std::string_view name) { return same_letters(word, name); });
}

// "hh:mm:ss" as seconds into the day.
std::optional<std::int64_t> time_of_day(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') {
        return std::nullopt;
    }
    const std::string_view hh = text.substr(0, 2), mm = text.substr(3, 2), ss = text.substr(6, 2);
    if (!all_digits(hh) || !all_digits(mm) || !all_digits(ss)) {
        return std::nullopt;
    }
    const std::int64_t h = capped_number(hh, 99), m = capped_number(mm, 99),
                       s = capped_number(ss, 99);
    if (h > 23 || m > 59 || s > 60) {
        return std::nullopt;
    }
    return h * 3600 + m * 60 + s;
}

bool take(std::string_view word, Fields& fields) {
    if (const std::optional<std::int64_t> month = month_number(word)) {
        return !fields.month && (fields.month = month, true);
    }
    if (const std::optional<std::int64_t> seconds = time_of_day(word)) {
        return !fields.seconds_of_day && (fields.seconds_of_day = seconds, true);
    }
    if (all_digits(word)) {
        // The day always comes first, the year after it.
        if (!fields.day) {
            fields.day = capped_number(word, 99);
            return word.size() <= 2;
        }
        if (fields.year) {
            return false;
        }
        std::int64_t year = capped_number(word, LatestHttpDateYear);
        if (word.size() == 2) {
            year += year < 70 ? 2000 : 1900;
        }
        fields.year = std::min(year, LatestHttpDateYear);
        return true;
    }
    return weekday_or_zone(word);
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t days_since_1970(std::int64_t year, std::int64_t month, std::int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t year_of_era = year - era * 400;
    const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

} // namespace

std::optional<std::int64_t> http_date_seconds(std::string_view text) {
    Fields fields;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(" ,-\t", at), text.size());
        if (end > at && !take(text.substr(at, end - at), fields)) {
            return std::nullopt;
        }
        at = end + 1;
    }
    if (!fields.day || !fields.month || !fields.year || !fields.seconds_of_day || *fields.day < 1 ||
        *fields.day > 31) {
        return std::nullopt;
    }
    return days_since_1970(*fields.year, *fields.month, *fields.day) * 86400 +
           *fields.seconds_of_day;
}

} // namespace archive
