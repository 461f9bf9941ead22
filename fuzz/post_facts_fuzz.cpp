// A post page through the facts reader, and a body through the Markdown conversion: whatever
// the page holds, a date read from it is a real one that reads back the same, the title stops
// before an underscore, the category and tags are trimmed and free of markup's line ends, and the
// Markdown is valid UTF-8 with no control character but line ends.

#include "exports/markdown.h"
#include "fuzz/fuzz_input.h"
#include "offline/post_facts.h"
#include "platform/text.h"

#include <string>

namespace {

bool is_blank_edge(const std::string& text) {
    return !text.empty() && (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' ||
                             text.back() == '\t');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string page = fuzz::utf16_from(data, size);
    const offline::PostFacts facts = offline::ReadPostFacts(page);
    if (facts.date) {
        const offline::PostDate& date = *facts.date;
        fuzz::require(date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31 &&
                          date.hour >= 0 && date.hour <= 23 && date.minute >= 0 &&
                          date.minute <= 59,
                      "a date read is a possible one");
        fuzz::require(
            offline::ChinaDate(offline::UnixSeconds(date)) ==
                offline::PostDate{date.year, date.month, date.day, date.hour, date.minute, true},
            "a date read is a real day of the calendar");
        // Its text form is read back as the same date.
        const auto again = offline::FirstDate(platform::utf8_to_utf16(offline::ShownDate(date)));
        fuzz::require(again && *again == date, "a date's text reads back the same");
    }
    fuzz::require(facts.title.find('_') == std::string::npos,
                  "the title ends before its first underscore");
    fuzz::require(platform::utf16_to_utf8(platform::utf8_to_utf16(facts.title)) == facts.title,
                  "the title is valid UTF-8");
    fuzz::require(!is_blank_edge(facts.category), "the category is trimmed");
    fuzz::require(facts.category.find_first_of("\r\n|") == std::string::npos,
                  "the category ends at its line or bar");
    for (const std::string& tag : facts.tags) {
        fuzz::require(!tag.empty() && !is_blank_edge(tag), "tags are trimmed and not empty");
    }

    const std::string markdown = exports::HtmlToMarkdown(platform::utf16_to_utf8(page));
    fuzz::require(platform::utf16_to_utf8(platform::utf8_to_utf16(markdown)) == markdown,
                  "the Markdown is valid UTF-8");
    for (const char c : markdown) {
        const auto byte = static_cast<unsigned char>(c);
        fuzz::require(byte >= 0x20 || c == '\n' || c == '\t' || c == '\r',
                      "no control character reaches the Markdown");
    }
    return 0;
}
