#include "offline/address.h"
#include "offline/picture.h"
#include "offline/post_numbers.h"

#include <gtest/gtest.h>

#include <string>

using namespace offline;

namespace {
constexpr std::string_view post = "http://hi.baidu.com/u/blog/item/abc.html";
}

TEST(IsRunnableAddress, SeesTheSchemeABrowserSees) {
    for (const char* runnable :
         {"javascript:alert(1)", "JavaScript:x", " \x01javascript:x", "java\tscript:x",
          "java\nscript:x", "vbscript:msgbox", "data:text/html,<script>",
          "DATA:image/svg+xml,<svg>", "data:,x", "data : text/html,x"}) {
        EXPECT_TRUE(IsRunnableAddress(runnable)) << runnable;
    }
    for (const char* harmless :
         {"http://x/javascript:1", "/a/javascript:1", "data:image/png;base64,AAAA",
          " data:image/gif,x", "mailto:a@b", "#javascript:x", "javascriptx", ""}) {
        EXPECT_FALSE(IsRunnableAddress(harmless)) << harmless;
    }
}

TEST(ResolveWebAddress, GivesOneSpellingForOneAddress) {
    const std::string picture = "http://hi.baidu.com/u/pic/a.png";
    for (const char* spelling : {"../../pic/a.png", "/u/pic/a.png", "//hi.baidu.com/u/pic/a.png",
                                 "HTTP://HI.Baidu.com:80/u/pic/a.png", " /u/pic/./x/../a.png\n",
                                 "\\u\\pic\\a.png", "/u/p\tic/a.png"}) {
        EXPECT_EQ(ResolveWebAddress(post, spelling), picture) << spelling;
    }
    EXPECT_EQ(ResolveWebAddress(post, "//img.example/a b/图.jpg?x=1#f"),
              "http://img.example/a%20b/%E5%9B%BE.jpg?x=1#f");
    EXPECT_EQ(ResolveWebAddress("https://h/p", "q.gif"), "https://h/q.gif");
    for (const char* other : {"mailto:a@b", "ftp://h/x.png", "javascript:x", "data:image/png,x"}) {
        EXPECT_EQ(ResolveWebAddress(post, other), std::nullopt) << other;
    }
}

TEST(PictureFileName, IsTheSha256OfTheAddressWithTheTypesExtension) {
    // SHA-256("abc") from FIPS 180-2.
    EXPECT_EQ(PictureFileName("abc", ".png"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad.png");
    const std::string gif = "GIF89a\x01\x00\x01\x00";
    const std::string png = "\x89PNG\r\n\x1a\n....";
    const std::string jpeg = "\xFF\xD8\xFF\xE0..";
    EXPECT_EQ(CheckPicture("image/gif", gif).extension, ".gif");
    EXPECT_EQ(CheckPicture("Image/PNG; charset=x", png).extension, ".png");
    EXPECT_EQ(CheckPicture("image/jpeg", jpeg).extension, ".jpg");
    EXPECT_EQ(CheckPicture("image/webp", std::string("RIFF\x10\0\0\0WEBPVP8 ", 16)).extension,
              ".webp");
    EXPECT_EQ(CheckPicture("image/bmp", "BM\x36\0").extension, ".bmp");
    // Script-capable, mislabelled or too large pictures are refused, with a reason.
    for (const auto& [type, bytes] : std::initializer_list<std::pair<const char*, std::string>>{
             {"image/svg+xml", "<svg onload=x>"},
             {"text/html", png},
             {"image/png", "<html>"},
             {"", gif},
             {"image/png", png + std::string(max_picture_bytes, 'x')}}) {
        const PictureCheck check = CheckPicture(type, bytes);
        EXPECT_EQ(check.extension, "") << type;
        EXPECT_FALSE(check.refusal.empty()) << type;
    }
    EXPECT_EQ(
        CheckPicture("image/png", png + std::string(max_picture_bytes - png.size(), 'x')).extension,
        ".png");
}

TEST(PostPageKey, GivesEverySpellingOfAPostOneKeyAndLeavesOtherAddressesAlone) {
    const std::string key = "http://hi.baidu.com/u/blog/item/abc.html";
    for (const char* reference :
         {"http://hi.baidu.com/u/blog/item/abc.html", "https://hi.baidu.com/u/blog/item/abc.html",
          "HTTP://HI.BAIDU.COM:80/u/blog/item/abc.html", "/u/blog/item/abc.html?from=x#top",
          "abc.html#comments", "http://hi.baidu.com/u/blog/item/abc.html?a=1&b=2"}) {
        const auto resolved = ResolveWebAddress(post, reference);
        ASSERT_TRUE(resolved) << reference;
        EXPECT_EQ(PostPageKey(*resolved), key) << reference;
    }
    // Another host keeps its own name; other pages keep their query, never their fragment.
    EXPECT_EQ(PostPageKey("https://other.example:8443/v/blog/item/1.html?x"),
              "http://other.example:8443/v/blog/item/1.html");
    for (const auto& [address, kept] : std::vector<std::pair<std::string, std::string>>{
             {"http://hi.baidu.com/u/blog/index/2?x=1#y", "http://hi.baidu.com/u/blog/index/2?x=1"},
             {"http://hi.baidu.com/u/blog/item/abc.html/",
              "http://hi.baidu.com/u/blog/item/abc.html/"},
             {"http://hi.baidu.com/blog/item/abc.html", "http://hi.baidu.com/blog/item/abc.html"},
             {"http://hi.baidu.com/u/x/blog/item/a.html",
              "http://hi.baidu.com/u/x/blog/item/a.html"},
             {"http://hi.baidu.com/u/blog/item/.html", "http://hi.baidu.com/u/blog/item/.html"},
             {"https://hi.baidu.com/u/blog/item/a.htm#z",
              "https://hi.baidu.com/u/blog/item/a.htm"}}) {
        EXPECT_EQ(PostPageKey(address), kept) << address;
    }
}

TEST(PostNumbers, FindsAPostByAnySpellingOfItsAddressAndNothingElse) {
    PostNumbers numbers;
    numbers.add("http://hi.baidu.com/u/blog/item/2.html", 2);
    numbers.add("https://hi.baidu.com/u/blog/item/2.html?again", 7); // the same post: 2 stays
    numbers.add("http://hi.baidu.com/u/blog/index/1", 9);
    for (const char* address : {"https://hi.baidu.com/u/blog/item/2.html",
                                "http://hi.baidu.com/u/blog/item/2.html?from=1",
                                "HTTP://HI.BAIDU.COM:80/u/blog/item/2.html#comment"}) {
        EXPECT_EQ(numbers.find(address), 2U) << address;
    }
    EXPECT_EQ(numbers.find("http://hi.baidu.com/u/blog/index/1"), 9U);
    EXPECT_EQ(numbers.find("http://hi.baidu.com/u/blog/index/1?x"), std::nullopt);
    EXPECT_EQ(numbers.find("http://hi.baidu.com/v/blog/item/2.html"), std::nullopt);
    EXPECT_EQ(numbers.find("javascript:alert(1)"), std::nullopt);
}
