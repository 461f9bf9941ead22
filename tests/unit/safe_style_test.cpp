#include "offline/css_tokens.h"
#include "offline/safe_style.h"
#include "tests/support/style_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace offline;

namespace {

// Each token as "kind:text:value", the way the CSS syntax reads the text.
std::string read(std::string_view css) {
    static const char* const names[] = {
        "ws",  "ident", "function", "at", "hash", "string", "bad", "url", "delim", "num", "pct",
        "dim", ":",     ";",        ",",  "[",    "]",      "(",   ")",   "{",     "}",   "cdocdc"};
    std::string out;
    for (const CssToken& token : TokenizeCss(css)) {
        out += std::string(out.empty() ? "" : " ") + names[static_cast<int>(token.kind)];
        if (!token.representation.empty()) {
            std::ostringstream value;
            value << token.value;
            out += "=" + value.str();
        }
        const bool punctuation = token.kind > CssTokenKind::dimension;
        if (!token.text.empty() && token.kind != CssTokenKind::whitespace && !punctuation) {
            out += "[" + token.text + "]";
        }
    }
    return out;
}

} // namespace

TEST(TokenizeCss, ReadsNumbersEscapesCommentsAndAddressesAsABrowserDoes) {
    // A minus that follows a number, with no blank, starts the next number.
    EXPECT_EQ(read("0 0 0-3000px"), "num=0 ws num=0 ws num=0 dim=-3000[px]");
    EXPECT_EQ(read("10%-3000px"), "pct=10 dim=-3000[px]");
    EXPECT_EQ(read("-1e3px +.5E+1em 1e-2% 2e"),
              "dim=-1000[px] ws dim=5[em] ws pct=0.01 ws dim=2[e]");
    EXPECT_EQ(read("1e999px -1e999px"), "dim=inf[px] ws dim=-inf[px]");
    // A minus before a letter or an escape starts a name.
    EXPECT_EQ(read("-\\31 0px -x- x-1"), "ident[-10px] ws ident[-x-] ws ident[x-1]");
    EXPECT_EQ(read("4000\\70 x 4000\\PX"), "dim=4000[px] ws dim=4000[PX]");
    EXPECT_EQ(read("r\\65 d \\000000"), "ident[red] ws ident[\xEF\xBF\xBD]");
    EXPECT_EQ(read("0/**/-3000px/*"), "num=0 dim=-3000[px]");
    EXPECT_EQ(read("url( x;y ) URL(\"a\") calc(1px - 2px)"),
              "url[url] ws function[URL] string[a] ) ws function[calc] dim=1[px] ws delim[-] ws "
              "dim=2[px] )");
    EXPECT_EQ(read("url(a b) x"), "url[url] ws ident[x]");
    EXPECT_EQ(read("'a;\\'b' \"c\nd"), "string[a;'b] ws bad[c] ws ident[d]");
    EXPECT_EQ(read("#f00 #-1 # !important;x:y"),
              "hash[f00] ws hash[-1] ws delim[#] ws delim[!] ident[important] ; ident[x] : "
              "ident[y]");
}

TEST(SafeStyle, KeepsNoNegativeLengthHoweverSpelled) {
    for (const char* negative : {"margin:0 0 0-3000px",
                                 "margin:10%-3000px",
                                 "margin:0 0-500px 0",
                                 "margin:-3000px",
                                 "margin:0 0 0 -3000PX",
                                 "margin-top:-1e3px",
                                 "margin-top:-.5em",
                                 "margin-left:-0px",
                                 "MARGIN-BOTTOM:-3e+3px",
                                 "margin:0/**/-3000px",
                                 "margin:0 0 0 -\\33 000px",
                                 "margin:0 0 0 -\\31 0px",
                                 "margin:calc(0px - 3000px)",
                                 "margin:0 0 0 \xE2\x88\x92"
                                 "3000px",
                                 "margin:-3000px!important",
                                 "m\\61rgin:-3000px",
                                 "text-indent:-2em",
                                 "text-indent:-9999px",
                                 "padding:-1px",
                                 "padding-left:0 -1px",
                                 "line-height:-2",
                                 "font-size:-12px",
                                 "font:-12px x",
                                 "font:12px/-1 x"}) {
        EXPECT_EQ(SafeStyle(std::string(negative) + ";color:red"), "color:red") << negative;
    }
}

TEST(SafeStyle, KeepsLengthsOnlyWithinWhatAPostNeeds) {
    const std::pair<const char*, const char*> kept[] = {
        {"padding:50px", "padding:50px"},
        {"padding:3em 37.5pt 0 10%", "padding:3em 37.5pt 0 10%"},
        {"margin:100px auto 0 20%", "margin:100px auto 0 20%"},
        {"margin:0/**/auto", "margin:0 auto"},
        {"font-size:48px", "font-size:48px"},
        {"font-size:36pt", "font-size:36pt"},
        {"font-size:3rem", "font-size:3rem"},
        {"font-size:8px", "font-size:8px"},
        {"font-size:1em", "font-size:1em"},
        {"font-size:50%", "font-size:50%"},
        {"font-size:xxx-large", "font-size:xxx-large"},
        {"line-height:3", "line-height:3"},
        {"line-height:96px", "line-height:96px"},
        {"line-height:150%", "line-height:150%"},
        {"text-indent:2em", "text-indent:2em"},
        {"font:italic bold 12px/1.5 \"宋体\", serif", "font:italic bold 12px/1.5 \"宋体\", serif"},
        {"MARGIN: 0cm 0cm 0pt; TEXT-INDENT: 21pt; LINE-HEIGHT: 150%; FONT-SIZE: 10.5pt; "
         "FONT-FAMILY: 宋体",
         "margin:0cm 0cm 0pt;text-indent:21pt;line-height:150%;font-size:10.5pt;font-family:宋体"},
    };
    for (const auto& [style, expected] : kept) {
        EXPECT_EQ(SafeStyle(style), expected) << style;
    }
    for (const char* refused : {"padding:4000px",
                                "padding:51px",
                                "padding:3.2em",
                                "padding:1e2px",
                                "padding:11%",
                                "padding:0 0 0 4000px",
                                "padding:\\34 000px",
                                "padding:4000\\70 x",
                                "margin:101px",
                                "margin:21%",
                                "margin:1e9px",
                                "margin:1e999px",
                                "text-indent:101px",
                                "font-size:49px",
                                "font-size:37pt",
                                "font-size:4000px",
                                "font-size:7px",
                                "font-size:1.01em",
                                "font-size:101%",
                                "font-size:3.1rem",
                                "font-size:larger",
                                "font-size:0",
                                "font:4000px/1 x",
                                "font:12px/3.5 x",
                                "font:bold 49px x",
                                "line-height:0",
                                "line-height:0.9",
                                "line-height:3.1",
                                "line-height:97px",
                                "line-height:4000px",
                                "line-height:310%",
                                "zoom:10",
                                "transform:scale(100)",
                                "position:fixed",
                                "padding:1px 1px 1px 1px 1px",
                                "margin:1vh",
                                "padding:1px!important",
                                "font-size:calc(1px + 100px)",
                                "padding:var(--x)",
                                "margin:attr(x px)"}) {
        EXPECT_EQ(SafeStyle(std::string(refused) + ";color:red"), "color:red") << refused;
    }
}

TEST(SafeStyle, WritesWhatItReadAndNothingElse) {
    // Escapes decoded, comments gone, strings quoted one way.
    EXPECT_EQ(SafeStyle("color:r\\65 d;font-family:'Times New Roman' , \"宋体\"/**/;"
                        "background-color:#ABCDEF"),
              "color:red;font-family:\"Times New Roman\" , \"宋体\";background-color:#ABCDEF");
    // A function left open takes the rest of the attribute: the browser closes it, we drop it.
    EXPECT_EQ(SafeStyle("padding:1px;color:rgb(1,2,3;margin:0"), "padding:1px");
    // A semicolon in a string is text: the declaration is one, and a name does not hold it.
    EXPECT_EQ(SafeStyle("font-family:'a;margin:-3000px';padding:1px"), "padding:1px");
    for (const char* refused :
         {"font-family:'a\"b'", "font-family:'a\\\\b'", "font-family:\"a'b\"",
          "font-family:\"a/*b\"", "color:#ggg", "color:#12345", "color:rgb(1,2,calc(3))",
          "color:red{}", "color:[red]", "color:url(x)", "color:u\\72l(x)"}) {
        EXPECT_EQ(SafeStyle(std::string(refused) + ";padding:1px"), "padding:1px") << refused;
    }
}

// The fuzz targets' judge of styles reads on its own: it takes what the cleaning writes and
// finds every length that could cover the page, however the text spells it.
TEST(StyleFaults, FindsEveryCoveringLengthAndPassesWhatTheCleaningWrites) {
    for (const char* written :
         {"color:red;background-color:rgb(1, 2, 3)", "font:italic bold 12px/1.5 \"宋体\", serif",
          "margin:0cm 0cm 0pt;text-indent:21pt;line-height:150%;font-size:10.5pt",
          "padding:3em 37.5pt 0 10%", "margin:100px auto 0 20%", "font-size:1E0em",
          "font-family:SimSun-18030, x-1", "line-height:3;font-weight:700"}) {
        EXPECT_EQ(check::StyleFaults(written), std::vector<std::string>()) << written;
        EXPECT_EQ(SafeStyle(written), written);
    }
    for (const char* covering : {"padding:4000px",
                                 "margin:0 0 0-3000px",
                                 "margin:10%-3000px",
                                 "margin:0 0-500px 0",
                                 "margin-top:-.5em",
                                 "margin:0 -0px",
                                 "margin:1e3px",
                                 "padding:51px",
                                 "padding:3.2em",
                                 "padding:11%",
                                 "font-size:49px",
                                 "font-size:1.1em",
                                 "font-size:101%",
                                 "font:49px x",
                                 "font:12px/3.1 x",
                                 "line-height:97px",
                                 "line-height:3.1",
                                 "text-indent:-1px",
                                 "margin:calc(1px)",
                                 "margin:1px!important",
                                 "margin:\\31 px",
                                 "margin:0/**/1px",
                                 "margin:1px;position:fixed",
                                 "zoom:10",
                                 "font-family:'a'",
                                 "margin:1vh",
                                 "margin:1",
                                 "color:red;margin:2px 0 0 -1px"}) {
        EXPECT_NE(check::StyleFaults(covering), std::vector<std::string>()) << covering;
    }
}
