#include "offline/body_clean.h"
#include "offline/body_pieces.h"

#include "platform/text.h"
#include "tests/support/html_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace offline;

namespace {

constexpr std::string_view post = "http://hi.baidu.com/u/blog/item/1.html";

// Longer than a body that is cleaned whole: these bodies are cleaned in pieces.
constexpr std::size_t long_body_units = std::size_t{3} << 19;

std::string on_the_web(const CleanBody& body) {
    return RenderBody(body, {[](const std::string& address) { return address; },
                             [](const std::string&) { return std::nullopt; }});
}

// The body as its pieces, each cleaned on its own and joined, as the reader sees it.
std::string cleaned_piece_by_piece(std::u16string_view body, std::size_t piece_units) {
    BodyPieces pieces(body, piece_units);
    std::string html;
    while (const std::optional<std::string> piece = pieces.next()) {
        html += on_the_web(CleanPostBody(*piece, post));
    }
    return html;
}

// Where two long texts part, for a failure that names it without printing them whole.
std::string first_difference(std::string_view got, std::string_view expected) {
    const auto [at, _] = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    const std::size_t offset = static_cast<std::size_t>(at - got.begin());
    if (got.size() == expected.size() && offset == got.size()) {
        return {};
    }
    return "byte " + std::to_string(offset) + ": got \"" + std::string(got.substr(offset, 40)) +
           "\", expected \"" + std::string(expected.substr(std::min(offset, expected.size()), 40)) +
           "\"";
}

// True when every text the reader sees lies inside an element whose style says `style`.
bool all_text_styled(std::string_view html, std::string_view style) {
    const check::Parsed parsed = check::parse_body(html);
    bool all = true;
    std::vector<std::pair<const GumboNode*, bool>> stack{{parsed->root, false}};
    while (!stack.empty()) {
        const auto [node, styled] = stack.back();
        stack.pop_back();
        if (node->type == GUMBO_NODE_TEXT) {
            all = all && styled;
        }
        if (node->type != GUMBO_NODE_ELEMENT) {
            continue;
        }
        const GumboAttribute* found = gumbo_get_attribute(&node->v.element.attributes, "style");
        const bool here = styled || (found && std::string_view(found->value) == style);
        const GumboVector& children = node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            stack.push_back({static_cast<const GumboNode*>(children.data[i]), here});
        }
    }
    return all;
}

} // namespace

TEST(LongBodies, EveryCharacterComesOnceAndKeepsTheFormattingAroundItAcrossTheCuts) {
    // Prose with no tag to cut before, in red; characters outside the BMP, line ends written
    // as CR LF and references among it, so that a careless cut would show.
    std::u16string prose;
    std::string expected;
    for (int line = 0; prose.size() < long_body_units; ++line) {
        prose += u"第" + platform::decimal(line) + u"行，𠀀𠀁春天&amp;夏天。\r\n";
        expected +=
            platform::utf16_to_utf8(u"第" + platform::decimal(line) + u"行，𠀀𠀁春天&夏天。\n");
    }
    const std::u16string body = u"<div style=\"color:red\"><b>" + prose + u"</b></div>";
    const std::string html = on_the_web(CleanPostBody(body, post));
    EXPECT_EQ(first_difference(check::VisibleText(html), expected), "");
    EXPECT_TRUE(all_text_styled(html, "color:red"));
    // Each piece was its own <div> and <b>: the body really was cut.
    const std::size_t cut = html.find("</b></div><div style=\"color:red\"><b>");
    ASSERT_NE(cut, std::string::npos);
    EXPECT_GT(cut, html.find("<b>"));
}

TEST(LongBodies, EveryPictureAndLinkIsKeptInOrder) {
    std::u16string body;
    std::vector<std::string> pictures;
    std::string text;
    for (int k = 0; body.size() < long_body_units; ++k) {
        const std::u16string n = platform::decimal(k);
        body += u"<p>第" + n + u"段<img src=\"/pic/" + n + u".jpg\"><a href=\"/blog/item/" + n +
                u".html\">链接" + n + u"</a></p>\n";
        pictures.push_back("http://hi.baidu.com/pic/" + platform::utf16_to_utf8(n) + ".jpg");
        text += platform::utf16_to_utf8(u"第" + n + u"段链接" + n + u"\n");
    }
    const CleanBody clean = CleanPostBody(body, post);
    EXPECT_EQ(PicturesOf(clean), pictures);
    EXPECT_EQ(clean.markup.size(), clean.addresses.size() + 1);
    // A link open at a cut starts again after it, so it may come twice in a row there.
    std::vector<std::string> links;
    for (const BodyAddress& value : clean.addresses) {
        if (!value.picture && (links.empty() || links.back() != value.address)) {
            links.push_back(value.address);
        }
    }
    ASSERT_EQ(links.size(), pictures.size());
    for (std::size_t k = 0; k < links.size(); ++k) {
        EXPECT_EQ(links[k], "http://hi.baidu.com/blog/item/" + std::to_string(k) + ".html");
    }
    EXPECT_EQ(first_difference(check::VisibleText(on_the_web(clean)), text), "");
}

TEST(BodyPieces, NoCutFallsInsideACommentOrATag) {
    // Cuts are tried every few characters; each try below lands inside a comment or inside an
    // attribute that holds "<b>", where cutting would turn what is hidden into text.
    std::u16string body = u"<p>" + std::u16string(40, u'字') + u"</p>";
    body += u"<!-- 秘密 <b>不见</b> <i>不见</i> <b>不见</b> 秘密 -->";
    body += u"<a title=\"x <b> <b> <b> <b> <b> <b> <b> y\" href=\"/a\">链接</a>";
    body += u"<p>" + std::u16string(40, u'尾') + u"</p>";
    for (const std::size_t piece_units : {std::size_t{30}, std::size_t{50}, std::size_t{60}}) {
        SCOPED_TRACE(piece_units);
        const std::string html = cleaned_piece_by_piece(body, piece_units);
        EXPECT_EQ(check::VisibleText(html),
                  platform::utf16_to_utf8(std::u16string(40, u'字') + u"链接" +
                                          std::u16string(40, u'尾')));
        EXPECT_NE(html.find("title=\"x &lt;b&gt; &lt;b&gt; &lt;b&gt; &lt;b&gt; &lt;b&gt; &lt;b&gt; "
                            "&lt;b&gt; y\""),
                  std::string::npos);
    }
}

TEST(BodyPieces, ThePiecesHoldTheWholeBodyAndOnlyIt) {
    EXPECT_EQ(BodyPieces(u"", 10).next(), std::optional<std::string>(""));
    BodyPieces one(u"<p>短</p>", 100);
    EXPECT_EQ(one.next(), std::optional<std::string>("<p>短</p>"));
    EXPECT_EQ(one.next(), std::nullopt);

    // Without markup every piece is a plain slice.
    BodyPieces slices(u"一二三四五六七八九", 4);
    std::vector<std::string> each;
    while (const std::optional<std::string> piece = slices.next()) {
        each.push_back(*piece);
    }
    EXPECT_EQ(each, (std::vector<std::string>{"一二三四", "五六七八", "九"}));
}

TEST(BodyPieces, NoCutSplitsACharacterALineEndOrAReference) {
    // Every unit is tried as a cut; the text must come out as it does from the body whole.
    for (const std::u16string_view body :
         {u"一\r\n二\r\n三\r\n四\r\n", u"𠀀𠀁𠀂𠀃字𠀄", u"一&amp;二&#x4E09;三&lt;四&gt"}) {
        const std::string whole = check::VisibleText(on_the_web(CleanPostBody(body, post)));
        for (const std::size_t piece_units : {std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
            EXPECT_EQ(check::VisibleText(cleaned_piece_by_piece(body, piece_units)), whole)
                << platform::utf16_to_utf8(body) << " in pieces of " << piece_units;
        }
    }
}

TEST(BodyPieces, HugeStartTagsAreNotCarriedIntoEveryPiece) {
    // Three nested elements whose start tags hold 100 KiB each, open over a long text: what is
    // carried to the next piece stays small, so the pieces stay about as long as asked.
    constexpr std::size_t piece_units = 400 * 1024;
    const std::u16string title(100 * 1024, u'x');
    std::u16string body;
    for (int depth = 0; depth < 3; ++depth) {
        body += u"<div title=\"" + title + u"\"><b>";
    }
    body += std::u16string(4 * piece_units, u'字');
    BodyPieces pieces(body, piece_units);
    std::vector<std::size_t> sizes;
    while (const std::optional<std::string> piece = pieces.next()) {
        sizes.push_back(piece->size());
    }
    ASSERT_GE(sizes.size(), 4u);
    // After the first, a piece is its characters (three bytes each) and a few small tags.
    for (std::size_t k = 1; k < sizes.size(); ++k) {
        EXPECT_LE(sizes[k], 3 * piece_units + 64 * 1024) << k;
    }
}

TEST(BodyPieces, ABodyTakenAsItComesIsCutAsTheWholeBodyIs) {
    // Comments, tags, references, line ends, pairs of surrogates and runs of letters too long
    // to cut in, read a few units at a time or many.
    std::u16string body;
    for (int k = 0; k < 60; ++k) {
        body += u"<p title=\"a <b> b\">第" + platform::decimal(k) + u"段 &amp; 𠀀\r\n<!-- <i> -->";
        body += std::u16string(static_cast<std::size_t>(k % 7) * 9, u'x') +
                u"<b>粗</b>ab<i>cd</i>ef</p>";
    }
    const auto all_pieces = [](BodyPieces pieces) {
        std::vector<std::string> each;
        while (const std::optional<std::string> piece = pieces.next()) {
            each.push_back(*piece);
        }
        return each;
    };
    for (const std::size_t piece_units : {std::size_t{1}, std::size_t{16}, std::size_t{100}}) {
        const std::vector<std::string> whole = all_pieces(BodyPieces(body, piece_units));
        ASSERT_GT(whole.size(), 20u);
        for (const std::size_t stretch : {std::size_t{1}, std::size_t{7}, std::size_t{5000}}) {
            std::size_t at = 0;
            const auto more = [&](std::u16string& text) {
                if (at >= body.size()) {
                    return false;
                }
                text += body.substr(at, stretch);
                at += stretch;
                return true;
            };
            EXPECT_EQ(all_pieces(BodyPieces(more, piece_units)), whole)
                << "pieces of " << piece_units << ", read " << stretch << " at a time";
        }
    }
    EXPECT_EQ(all_pieces(BodyPieces([](std::u16string&) { return false; }, 10)),
              std::vector<std::string>{""});
}
