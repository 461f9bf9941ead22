#include "blog/new_layout.h"

#include "blog/blog_address.h"
#include "blog/html_tree.h"
#include "platform/codepage.h"
#include "platform/text.h"

#include <algorithm>

namespace blog {
namespace {

constexpr std::u16string_view service_host = u"hi.baidu.com";
constexpr std::size_t post_id_digits = 24;
constexpr std::size_t charset_window = 1024;
constexpr int largest_page_count = 32767;

char16_t lowered(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool starts_with_ignoring_case(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char16_t a, char16_t b) { return lowered(a) == lowered(b); });
}

bool is_hex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A user segment compared with its percent escapes in one case: "%e5%bc" and "%E5%BC" name
// the same user.
std::u16string escapes_upper(std::u16string_view segment) {
    std::u16string out(segment);
    for (std::size_t i = 0; i + 2 < out.size(); ++i) {
        if (out[i] == u'%' && is_hex(out[i + 1]) && is_hex(out[i + 2])) {
            for (std::size_t k = i + 1; k <= i + 2; ++k) {
                if (out[k] >= u'a' && out[k] <= u'f') {
                    out[k] = static_cast<char16_t>(out[k] - u'a' + u'A');
                }
            }
        }
    }
    return out;
}

// What the UTF-8 form of `text` up to each unit measures, to turn gumbo's byte offsets into
// positions in the text: the same lengths platform::utf16_to_utf8 writes.
std::size_t position_of_byte(std::u16string_view text, std::size_t byte_offset) {
    std::size_t bytes = 0;
    std::size_t i = 0;
    while (i < text.size() && bytes < byte_offset) {
        const char16_t c = text[i];
        if (platform::is_high_surrogate(c) && i + 1 < text.size() &&
            platform::is_low_surrogate(text[i + 1])) {
            bytes += 4;
            i += 2;
        } else {
            bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
            ++i;
        }
    }
    return i;
}

std::u16string utf16(std::string_view text) {
    return platform::utf8_to_utf16(text);
}

bool is_title_heading(const GumboElement& element) {
    return element.tag == GUMBO_TAG_H2 && HasClass(element, "content-title");
}

// A void element (<meta>, <img>) with that id and class has no content to be a body.
bool is_body_element(const GumboElement& element) {
    return AttributeOf(element, "id") == "content" && HasClass(element, "content") &&
           element.original_tag.length > 0 &&
           element.end_pos.offset >= element.start_pos.offset + element.original_tag.length;
}

// "2013-04-05 21:07", blanks around it allowed.
std::optional<NewLayoutPost::Date> date_of(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    constexpr std::string_view shape = "dddd-dd-dd dd:dd";
    if (text.size() != shape.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !is_digit(text[i]) : text[i] != shape[i]) {
            return std::nullopt;
        }
    }
    const auto number = [text](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    NewLayoutPost::Date date{number(0, 4), number(5, 2), number(8, 2), number(11, 2),
                             number(14, 2)};
    static constexpr int month_days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    if (date.year < 1970 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > month_days[date.month - 1] || (date.month == 2 && date.day == 29 && !leap) ||
        date.hour > 23 || date.minute > 59) {
        return std::nullopt;
    }
    return date;
}

std::optional<NewLayoutPost::Date> shown_date(const GumboNode* root) {
    std::optional<NewLayoutPost::Date> date;
    ForEachElement(root, [&date](const GumboElement& info) {
        if (date || !HasClass(info, "content-other-info")) {
            return;
        }
        for (unsigned i = 0; i < info.children.length && !date; ++i) {
            const GumboNode* child = static_cast<const GumboNode*>(info.children.data[i]);
            FindElement(child, [&date](const GumboElement& span) {
                if (span.tag == GUMBO_TAG_SPAN) {
                    date = date_of(ShownText(span));
                }
                return date.has_value();
            });
        }
    });
    return date;
}

// "http://hi.baidu.com/tag/旅行/feeds", or the same relative to the host.
bool is_tag_link(std::string_view href) {
    for (const std::string_view prefix :
         {"http://hi.baidu.com/tag/", "https://hi.baidu.com/tag/", "/tag/"}) {
        if (href.starts_with(prefix)) {
            href.remove_prefix(prefix.size());
            const std::size_t slash = href.find('/');
            return slash != std::string_view::npos && slash > 0 && href.substr(slash) == "/feeds";
        }
    }
    return false;
}

std::vector<std::u16string> shown_tags(const GumboNode* root) {
    std::vector<std::u16string> tags;
    ForEachElement(root, [&tags](const GumboElement& link) {
        if (link.tag != GUMBO_TAG_A || !is_tag_link(AttributeOf(link, "href"))) {
            return;
        }
        std::string text = ShownText(link);
        if (text.starts_with('#')) {
            text.erase(0, 1);
        }
        std::u16string tag = utf16(text);
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end()) {
            tags.push_back(std::move(tag));
        }
    });
    return tags;
}

std::string ascii_lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// The charset parameter of "text/html; charset=UTF-8"; empty when there is none.
std::string charset_parameter(std::string_view value) {
    const std::string lowered_value = ascii_lowered(value);
    const std::size_t at = lowered_value.find("charset=");
    if (at == std::string::npos) {
        return {};
    }
    std::string_view charset = std::string_view(lowered_value).substr(at + 8);
    while (!charset.empty() &&
           (charset.front() == '"' || charset.front() == '\'' || charset.front() == ' ')) {
        charset.remove_prefix(1);
    }
    return std::string(charset.substr(0, charset.find_first_of("\"'; \t,")));
}

bool is_utf8(std::string_view charset) {
    return charset == "utf-8" || charset == "utf8";
}

} // namespace

std::optional<std::u16string> NewLayoutPostAddress(std::u16string_view address,
                                                   std::u16string_view user) {
    std::u16string_view rest = address;
    if (starts_with_ignoring_case(rest, u"http://")) {
        rest.remove_prefix(7);
    } else if (starts_with_ignoring_case(rest, u"https://")) {
        rest.remove_prefix(8);
    } else {
        return std::nullopt;
    }
    if (!starts_with_ignoring_case(rest, service_host)) {
        return std::nullopt;
    }
    rest.remove_prefix(service_host.size());
    for (const std::u16string_view port : {u":80", u":443"}) {
        if (rest.starts_with(port)) {
            rest.remove_prefix(port.size());
        }
    }
    if (!rest.starts_with(u'/')) {
        return std::nullopt;
    }
    rest.remove_prefix(1);
    const std::size_t slash = rest.find(u'/');
    if (slash == std::u16string_view::npos || user.empty() ||
        escapes_upper(rest.substr(0, slash)) != escapes_upper(user)) {
        return std::nullopt;
    }
    const std::u16string_view link_user = rest.substr(0, slash);
    rest.remove_prefix(slash);
    constexpr std::u16string_view item = u"/item/";
    if (!rest.starts_with(item)) {
        return std::nullopt;
    }
    rest.remove_prefix(item.size());
    const std::u16string_view id = rest.substr(0, std::min(rest.size(), post_id_digits));
    const std::u16string_view after = rest.substr(id.size());
    if (id.size() != post_id_digits || !std::all_of(id.begin(), id.end(), is_hex) ||
        !(after.empty() || after.front() == u'?' || after.front() == u'#')) {
        return std::nullopt;
    }
    std::u16string canonical =
        u"http://" + std::u16string(service_host) + u"/" + std::u16string(link_user) + u"/item/";
    for (const char16_t c : id) {
        canonical += lowered(c);
    }
    return canonical;
}

std::u16string NewLayoutUser(std::u16string_view user_name) {
    constexpr std::u16string_view changeover = u"new/";
    if (user_name.starts_with(changeover) && user_name.size() > changeover.size()) {
        user_name.remove_prefix(changeover.size());
    }
    return std::u16string(user_name.substr(0, user_name.find_first_of(u"/?#")));
}

std::u16string NewLayoutHomeAddress(std::u16string_view user) {
    return std::u16string(ServiceBase) + std::u16string(user);
}

std::u16string NewLayoutListPageAddress(std::u16string_view user, long long k) {
    return NewLayoutHomeAddress(user) + u"?page=" + platform::decimal(k);
}

bool IsNewLayoutListPage(std::u16string_view page) {
    const std::string html = platform::utf16_to_utf8(page);
    const GumboTree tree = ParseTree(html);
    return FindElement(tree->root, [](const GumboElement& element) {
               return (element.tag == GUMBO_TAG_ARTICLE && HasClass(element, "mod-blogitem")) ||
                      (element.tag == GUMBO_TAG_DIV && HasClass(element, "mod-realcontent") &&
                       HasClass(element, "mod-cs-contentblock")) ||
                      AttributeOf(element, "id") == "pagerBar";
           }) != nullptr;
}

int NewLayoutPageCount(std::u16string_view page) {
    const std::string html = platform::utf16_to_utf8(page);
    const GumboTree tree = ParseTree(html);
    const GumboElement* pager = FindElement(tree->root, [](const GumboElement& element) {
        return AttributeOf(element, "id") == "pagerBar";
    });
    if (pager == nullptr) {
        return 1;
    }
    // The pager's script:  var curPage = 1, pageSize = 12;
    int count = 0;
    ForEachElement(tree->root, [&count](const GumboElement& script) {
        if (count > 0 || script.tag != GUMBO_TAG_SCRIPT || script.children.length == 0) {
            return;
        }
        const GumboNode* text = static_cast<const GumboNode*>(script.children.data[0]);
        if (text->type != GUMBO_NODE_TEXT && text->type != GUMBO_NODE_WHITESPACE) {
            return;
        }
        const std::string_view code = text->v.text.text;
        const std::size_t name = code.find("pageSize");
        if (name == std::string_view::npos) {
            return;
        }
        std::size_t at = name + 8;
        while (at < code.size() && (code[at] == ' ' || code[at] == '\t' || code[at] == '=' ||
                                    code[at] == ':' || code[at] == '"' || code[at] == '\'')) {
            ++at;
        }
        long long value = 0;
        bool digits = false;
        while (at < code.size() && is_digit(code[at]) && value <= largest_page_count) {
            value = value * 10 + (code[at++] - '0');
            digits = true;
        }
        if (digits && value >= 1 && value <= largest_page_count) {
            count = static_cast<int>(value);
        }
    });
    return count > 0 ? count : 1;
}

std::optional<NewLayoutPost> CutNewLayoutPost(std::u16string_view page) {
    const std::string html = platform::utf16_to_utf8(page);
    const GumboTree tree = ParseTree(html);
    const GumboElement* body = FindElement(tree->root, is_body_element);
    if (body == nullptr) {
        return std::nullopt;
    }
    NewLayoutPost post;
    if (const GumboElement* heading = FindElement(tree->root, is_title_heading)) {
        post.title = utf16(ShownText(*heading));
    }
    if (post.title.empty()) {
        if (const GumboElement* title = FindElement(tree->root, [](const GumboElement& element) {
                return element.tag == GUMBO_TAG_TITLE;
            })) {
            const std::u16string whole = utf16(ShownText(*title));
            post.title = whole.substr(0, whole.find(u'_'));
        }
    }
    if (post.title.empty()) {
        return std::nullopt;
    }
    const std::size_t begin_byte = body->start_pos.offset + body->original_tag.length;
    std::size_t end_byte = std::min<std::size_t>(body->end_pos.offset, html.size());
    // Without an end tag of its own the body ends where the markup that closed it starts, or,
    // closed by the end of the page, with the page.
    if (body->original_end_tag.length == 0 && (end_byte >= html.size() || html[end_byte] != '<')) {
        end_byte = html.size();
    }
    end_byte = std::max(begin_byte, end_byte);
    post.body_begin = position_of_byte(page, begin_byte);
    post.body_end = position_of_byte(page, end_byte);
    post.date = shown_date(tree->root);
    post.tags = shown_tags(tree->root);
    return post;
}

std::string DeclaredCharset(std::string_view bytes, std::string_view content_type) {
    if (std::string charset = charset_parameter(content_type); !charset.empty()) {
        return charset;
    }
    const std::string head(bytes.substr(0, std::min(bytes.size(), charset_window)));
    const GumboTree tree = ParseTree(head);
    std::string charset;
    ForEachElement(tree->root, [&charset](const GumboElement& meta) {
        if (!charset.empty() || meta.tag != GUMBO_TAG_META) {
            return;
        }
        if (const std::string_view own = AttributeOf(meta, "charset"); !own.empty()) {
            charset = ascii_lowered(own);
            charset.erase(0, charset.find_first_not_of(" \t"));
            charset.erase(std::min(charset.size(), charset.find_first_of(" \t")));
        } else if (ascii_lowered(AttributeOf(meta, "http-equiv")) == "content-type") {
            charset = charset_parameter(AttributeOf(meta, "content"));
        }
    });
    return charset;
}

std::u16string DecodeNewLayoutPage(std::string_view bytes, std::string_view content_type) {
    if (is_utf8(DeclaredCharset(bytes, content_type))) {
        return platform::utf8_to_utf16(bytes);
    }
    return platform::decode_gbk(bytes);
}

} // namespace blog
