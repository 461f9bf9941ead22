#include "window/time_left.h"

#include <gtest/gtest.h>

TEST(TimeLeft, RoundsUpToWholeMinutesAtThePaceSoFar) {
    // 10 posts in 100 s: 90 more take 900 s, 15 minutes exactly.
    EXPECT_EQ(window::MinutesLeft(100, 10, 100), 15);
    // 901 s is a little over 15 minutes.
    EXPECT_EQ(window::MinutesLeft(100.1, 10, 100), 16);
    // Seconds left are still about a minute.
    EXPECT_EQ(window::MinutesLeft(1, 99, 100), 1);
    EXPECT_EQ(window::MinutesLeft(0, 5, 100), 1);
}

TEST(TimeLeft, GivesNothingBeforeThePaceIsKnownOrOnceAllIsDone) {
    EXPECT_FALSE(window::MinutesLeft(30, 0, 100));
    EXPECT_FALSE(window::MinutesLeft(30, 100, 100));
    EXPECT_FALSE(window::MinutesLeft(30, 0, 0));
}

TEST(TimeLeft, TheTitleSaysAbout) {
    EXPECT_EQ(window::TitleWithTimeLeft(7), u"Pellumo 约7分钟");
    EXPECT_EQ(window::TitleWithTimeLeft(std::nullopt), u"Pellumo");
}
