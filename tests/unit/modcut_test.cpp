#include "utilities/modcut.h"

#include <gtest/gtest.h>

using modcut::CutBetween;

TEST(CutBetween, TakesTheTextBetweenTheMarkers) {
    EXPECT_EQ(CutBetween(u"<title>Hello World_blog</title>", u"<title>", u"_"), u"Hello World");
    EXPECT_EQ(CutBetween(u"x查看文章<p>正文</p>类别：默认", u"查看文章", u"类别"), u"<p>正文</p>");
    // Only the first start marker counts, and the end is searched from the start on.
    EXPECT_EQ(CutBetween(u"a_b<title>c_d", u"<title>", u"_"), u"c");
    EXPECT_EQ(CutBetween(u"<title>a_b<title>c_d", u"<title>", u"_"), u"a");
}

TEST(CutBetween, AbsentStartMarkerCutsFromItsLength) {
    // No "<title>": the cut starts at position 7, the marker's length.
    EXPECT_EQ(CutBetween(u"abcdefg_x", u"<title>", u"_"), u"g");
    EXPECT_EQ(CutBetween(u"abcdefghij_x", u"<title>", u"_"), u"ghij");
    // An end marker before that position is not seen.
    EXPECT_EQ(CutBetween(u"ab_defg", u"<title>", u"_"), u"");
}

TEST(CutBetween, GivesEmptyTextWhenTheCutCannotBeMade) {
    EXPECT_EQ(CutBetween(u"<title>abc", u"<title>", u"_"), u"");
    EXPECT_EQ(CutBetween(u"", u"<title>", u"_"), u"");
    EXPECT_EQ(CutBetween(u"<title>", u"<title>", u"_"), u"");  // start lies past the end
    EXPECT_EQ(CutBetween(u"<title>_", u"<title>", u"_"), u""); // markers touch
    // An empty title: the end marker right where the cut starts is the one that counts.
    EXPECT_EQ(CutBetween(u"<title>_a_", u"<title>", u"_"), u"");
    EXPECT_EQ(CutBetween(u"abc", u"<title>", u"_"), u""); // text shorter than marker
}

TEST(CutBetween, CountsUtf16CodeUnits) {
    // A character outside the BMP is two code units; positions still line up.
    EXPECT_EQ(CutBetween(u"\U0001F600<title>标题😀_", u"<title>", u"_"), u"标题😀");
    EXPECT_EQ(CutBetween(u"😀😀😀😀_x", u"<title>", u"_"), u"😀");
}
