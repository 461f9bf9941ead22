#include "utilities/moddelay.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <ctime>
#include <stdexcept>

using moddelay::DelaySeconds;
using moddelay::pump_until;

namespace {

// A clock that only moves when the wait serves events or sleeps.
struct FakePlatform {
    std::uint32_t now = 0;
    std::uint32_t handler_cost = 0; // what one batch of events costs on the clock
    int batches = 0;
    int sleeps = 0;
    bool stop = false;

    moddelay::WaitPlatform platform() {
        return {[this] { return now; },
                [this] {
                    ++batches;
                    now += handler_cost;
                },
                [this](std::uint32_t timeout) {
                    ++sleeps;
                    now += std::min(timeout, 250u);
                },
                [this] { return stop; }};
    }
};

} // namespace

TEST(DelaySeconds, WaitsTheWholeTimeAcrossEveryClockValue) {
    for (std::uint32_t start : {0u, 0x7FFFFF00u, 0xFFFFF000u, 0xFFFFFFFFu}) {
        FakePlatform fake;
        fake.now = start;
        DelaySeconds(4, fake.platform());
        // Readings 4000 ms apart may be 3999.x ms apart in truth: the wait ends one tick later.
        EXPECT_EQ(fake.now - start, 4001u) << start;
        EXPECT_GE(fake.batches, fake.sleeps) << start; // events are served before each sleep
    }
}

TEST(DelaySeconds, ZeroOrLessReturnsAtOnceAndTheLimitIsSixteenBitMilliseconds) {
    for (int seconds : {0, -1, -32}) {
        FakePlatform fake;
        DelaySeconds(seconds, fake.platform());
        EXPECT_EQ(fake.batches, 0);
        EXPECT_EQ(fake.now, 0u);
    }
    FakePlatform fake;
    EXPECT_THROW(DelaySeconds(33, fake.platform()), std::out_of_range);
    EXPECT_THROW(DelaySeconds(-33, fake.platform()), std::out_of_range);
    DelaySeconds(32, fake.platform());
    EXPECT_GE(fake.now, 32000u);
}

TEST(DelaySeconds, EndsAsSoonAsALongHandlerReturns) {
    FakePlatform fake;
    fake.handler_cost = 10000; // a handler that runs 10 s inside a 4 s wait
    DelaySeconds(4, fake.platform());
    EXPECT_EQ(fake.batches, 1);
    EXPECT_EQ(fake.now, 10000u);
}

TEST(PumpUntil, StopsWhenDoneOrWhenTheProgramCloses) {
    FakePlatform fake;
    EXPECT_TRUE(pump_until([&] { return fake.batches >= 3; }, 60000, fake.platform()));
    EXPECT_EQ(fake.batches, 3);
    fake.stop = true;
    EXPECT_FALSE(pump_until([] { return false; }, 60000, fake.platform()));
    EXPECT_EQ(fake.batches, 3);
}

TEST(DelaySecondsOnTheMainLoop, ServesEventsWhileSleepingMostOfTheTime) {
    int ticks = 0;
    const guint source = g_timeout_add(
        100,
        [](gpointer data) -> gboolean {
            ++*static_cast<int*>(data);
            return G_SOURCE_CONTINUE;
        },
        &ticks);
    const gint64 wall_start = g_get_monotonic_time();
    const std::clock_t cpu_start = std::clock();
    DelaySeconds(1);
    const double cpu_seconds = double(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    const gint64 wall_ms = (g_get_monotonic_time() - wall_start) / 1000;
    g_source_remove(source);

    EXPECT_GE(wall_ms, 1000);
    EXPECT_GE(ticks, 5); // the timer kept firing during the wait
    // Spinning would burn the whole second; sleeping between events costs next to nothing.
    EXPECT_LT(cpu_seconds, 0.5);
}
