#include "utilities/moddelay.h"

#include "platform/quit_request.h"

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
    std::uint32_t sleep_step = 250;
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
                    now += std::min(timeout, sleep_step);
                },
                [this] { return stop; }};
    }
};

std::uint32_t waited(std::uint32_t start, std::uint32_t now) {
    return now - start;
}

} // namespace

TEST(DelaySeconds, WaitsTheWholeTimeAcrossEveryClockValue) {
    for (std::uint32_t start : {0u, 0x7FFFFF00u, 0xFFFFF000u, 0xFFFFFFFFu}) {
        FakePlatform fake;
        fake.now = start;
        DelaySeconds(4, fake.platform());
        EXPECT_GE(waited(start, fake.now), 4000u) << start;
        EXPECT_LE(waited(start, fake.now), 4001u) << start;
        EXPECT_GT(fake.batches, 0);
    }
}

TEST(DelaySeconds, ServesEveryBatchBeforeSleeping) {
    FakePlatform fake;
    fake.sleep_step = 1000;
    DelaySeconds(4, fake.platform());
    // Four full sleeps, then one more tick so the wait never ends short.
    EXPECT_EQ(fake.sleeps, 5);
    EXPECT_EQ(fake.batches, 5);
    EXPECT_EQ(fake.now, 4001u);
}

TEST(DelaySeconds, ZeroOrLessReturnsWithoutServingEvents) {
    for (int seconds : {0, -1, -32}) {
        FakePlatform fake;
        DelaySeconds(seconds, fake.platform());
        EXPECT_EQ(fake.batches, 0);
        EXPECT_EQ(fake.now, 0u);
    }
}

TEST(DelaySeconds, RejectsWaitsBeyondSixteenBitMilliseconds) {
    FakePlatform fake;
    EXPECT_THROW(DelaySeconds(33, fake.platform()), std::out_of_range);
    EXPECT_THROW(DelaySeconds(-33, fake.platform()), std::out_of_range);
    EXPECT_NO_THROW(DelaySeconds(32, fake.platform()));
    EXPECT_GE(fake.now, 32000u);
}

TEST(DelaySeconds, EndsAsSoonAsALongHandlerReturns) {
    FakePlatform fake;
    fake.handler_cost = 10000; // a handler that runs 10 s inside a 4 s wait
    DelaySeconds(4, fake.platform());
    EXPECT_EQ(fake.batches, 1);
    EXPECT_EQ(fake.sleeps, 0);
    EXPECT_EQ(fake.now, 10000u);
}

TEST(PumpUntil, StopsWhenDoneOrWhenTheProgramCloses) {
    FakePlatform fake;
    EXPECT_TRUE(pump_until([&] { return fake.batches >= 3; }, 60000, fake.platform()));
    EXPECT_EQ(fake.batches, 3);

    FakePlatform closing;
    closing.stop = true;
    EXPECT_FALSE(pump_until([] { return false; }, 60000, closing.platform()));
    EXPECT_EQ(closing.batches, 0);

    FakePlatform timing_out;
    EXPECT_FALSE(pump_until([] { return false; }, 1000, timing_out.platform()));
    EXPECT_GE(timing_out.now, 1000u);
}

TEST(DelaySecondsOnTheMainLoop, ServesEventsWhileSleepingMostOfTheTime) {
    platform::reset_quit_request();
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

TEST(DelaySecondsOnTheMainLoop, ReturnsEarlyWhenTheProgramCloses) {
    platform::reset_quit_request();
    g_timeout_add(
        50,
        [](gpointer) -> gboolean {
            platform::request_quit();
            return G_SOURCE_REMOVE;
        },
        nullptr);
    const gint64 start = g_get_monotonic_time();
    DelaySeconds(30);
    EXPECT_LT((g_get_monotonic_time() - start) / 1000, 20000);
    platform::reset_quit_request();
}
