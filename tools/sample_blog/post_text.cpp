#include "tools/sample_blog/post_text.h"
#include "platform/text.h"

#include <array>
#include <string_view>

namespace sample_blog {
namespace {

constexpr std::u16string_view long_title_phrase = u"这是一个非常长的标题"; // 10 characters
constexpr int long_title_repeats = 15;

constexpr std::array<std::u16string_view, 5> sentences = {
    u"今天天气很好，我们去公园散步，看见湖边的柳树发芽了。",
    u"读完一本旧书，想起许多往事，写下几句话留作纪念。",
    u"周末在家做饭，第一次学会了红烧肉，味道还不错。",
    u"晚上加班到很晚，回家的路上只有路灯陪着我。",
    u"朋友从远方寄来一封信，信里夹着一片银杏叶。",
};

} // namespace

TitleKind title_kind(int number) {
    return static_cast<TitleKind>(number % 12);
}

std::u16string post_title(int number) {
    const std::u16string n = platform::decimal(number);
    switch (title_kind(number)) {
    case TitleKind::long_text: {
        std::u16string title;
        for (int i = 0; i < long_title_repeats; ++i) {
            title += long_title_phrase;
        }
        return title + n;
    }
    case TitleKind::plain:
        return u"春游记" + n;
    case TitleKind::blanks:
        return u"我的 第" + n + u"篇 日记";
    case TitleKind::slash:
        return u"a/b 日记" + n;
    case TitleKind::backslash:
        return u"文档\\备份" + n;
    case TitleKind::question:
        return u"为什么" + n + u"?";
    case TitleKind::asterisk:
        return u"五星*好评" + n;
    case TitleKind::colon:
        return u"时间:" + n + u"点";
    case TitleKind::bar:
        return u"左|右" + n;
    case TitleKind::quote:
        return u"\"引号\"" + n;
    case TitleKind::less:
        return n + u"<一百";
    case TitleKind::greater:
        return n + u">零";
    }
    return n;
}

std::u16string post_content(int number) {
    const std::u16string n = platform::decimal(number);
    const auto sentence = [](int i) { return std::u16string(sentences[i % sentences.size()]); };
    return u"<p>这是第" + n + u"篇日志。" + sentence(number) + u"</p>\r\n<p>" +
           sentence(number / 5 + 1) + u"<br>\r\n<b>编号：" + n + u"</b></p>\r\n";
}

} // namespace sample_blog
