#include "blog/blog_address.h"

#include <gtest/gtest.h>

using namespace blog;

TEST(UserName, IsWhateverFollowsTheFirstTwentyCharacters) {
    EXPECT_EQ(UserName(u"http://hi.baidu.com/someone"), u"someone");
    EXPECT_EQ(UserName(u"http://hi.baidu.com/a"), u"a"); // 21 characters
    EXPECT_EQ(UserName(u"http://hi.baidu.com/"), u"");   // 20: accepted, empty
    EXPECT_TRUE(HasUserNamePart(u"http://hi.baidu.com/"));
    EXPECT_FALSE(HasUserNamePart(u"http://hi.baidu.com")); // 19: too short
    EXPECT_EQ(UserName(u"http://hi.baidu.com"), u"");
    // The address is never compared with the service's.
    EXPECT_EQ(UserName(u"https://hi.baidu.com/someone"), u"/someone");
    EXPECT_EQ(UserName(u"空间空间空间空间空间空间空间空间空间空间博客"), u"博客");
}

TEST(NamesNoBlog, IsTrueForNothingButSeparators) {
    for (const char16_t* none : {u"", u"/", u"//", u"\\", u"/\\/"}) {
        EXPECT_TRUE(NamesNoBlog(none));
    }
    for (const char16_t* some : {u"a", u"someone/", u"/x", u" ", u".."}) {
        EXPECT_FALSE(NamesNoBlog(some));
    }
}

TEST(ListPageAddress, BuildsTheBlogsListPages) {
    EXPECT_EQ(FirstListPageAddress(u"someone"), u"http://hi.baidu.com/someone/blog");
    EXPECT_EQ(ListPageAddress(u"someone", 0), u"http://hi.baidu.com/someone/blog/index/0");
    EXPECT_EQ(ListPageAddress(u"某人", 32767), u"http://hi.baidu.com/某人/blog/index/32767");
}
