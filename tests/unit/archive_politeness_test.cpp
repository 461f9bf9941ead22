#include "archive/archive_politeness.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

using namespace archive;
using Go = ArchivePoliteness::Go;
using Next = ArchivePoliteness::Next;

namespace {

// 2015-10-21 07:28:00 UTC.
constexpr std::int64_t SomeDay = 1445412480;

class FakeClock : public PolitenessClock {
public:
    std::int64_t monotonic_ms() const override { return m_ms; }
    std::int64_t unix_seconds() const override { return SomeDay + m_ms / 1000; }
    void set(std::int64_t ms) { m_ms = ms; }

private:
    std::int64_t m_ms = 0;
};

constexpr std::int64_t Minute = 60000;
constexpr std::int64_t Hour = 60 * Minute;
constexpr RequestKind Replay = RequestKind::replay;
constexpr RequestKind Index = RequestKind::index;

ArchiveAnswer status(long code, std::string retry_after = {}, std::string date = {}) {
    ArchiveAnswer answer;
    answer.status = code;
    answer.retry_after = std::move(retry_after);
    answer.date = std::move(date);
    return answer;
}

ArchiveAnswer no_answer() {
    return ArchiveAnswer{};
}

ArchiveAnswer cut_short(long code) {
    ArchiveAnswer answer = status(code);
    answer.cut_short = true;
    return answer;
}

// Drives one request as the download layer would, waiting as told, every attempt answered with
// `answer`; returns the final verdict and the times the attempts started.
Next run_request(ArchivePoliteness& politeness, FakeClock& clock, const ArchiveAnswer& answer,
                 std::vector<std::int64_t>& starts, RequestKind kind = Replay) {
    ArchiveRequest request{kind};
    for (;;) {
        const ArchivePoliteness::Permission permission = politeness.ask(kind);
        if (permission.go == Go::At) {
            clock.set(permission.at_ms);
        }
        EXPECT_EQ(politeness.ask(kind).go, Go::Now);
        politeness.begin(request);
        starts.push_back(clock.monotonic_ms());
        const Next next = politeness.end(request, answer);
        if (next != Next::Retry) {
            return next;
        }
    }
}

// One attempt that starts as soon as it may and ends at once with `answer`.
Next one_attempt(ArchivePoliteness& politeness, FakeClock& clock, const ArchiveAnswer& answer,
                 RequestKind kind = Replay) {
    ArchiveRequest request{kind};
    const ArchivePoliteness::Permission permission = politeness.ask(kind);
    if (permission.go == Go::At) {
        clock.set(permission.at_ms);
    }
    politeness.begin(request);
    return politeness.end(request, answer);
}

} // namespace

TEST(ArchivePoliteness, ReplayFourASecondOnTwoConnectionsAndTheIndexApartEveryTwoAndAHalf) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    ArchiveRequest first, second, third;
    ASSERT_EQ(politeness.ask(Replay).go, Go::Now);
    politeness.begin(first);
    EXPECT_EQ(politeness.ask(Replay).go, Go::At);
    EXPECT_EQ(politeness.ask(Replay).at_ms, 250);
    EXPECT_THROW(politeness.begin(second), std::logic_error);

    clock.set(249);
    EXPECT_EQ(politeness.ask(Replay).go, Go::At);
    clock.set(250);
    ASSERT_EQ(politeness.ask(Replay).go, Go::Now);
    politeness.begin(second);
    clock.set(5000);
    // Two connections at most, whatever kind the third request is.
    EXPECT_EQ(politeness.ask(Replay).go, Go::WhenOneEnds);
    EXPECT_EQ(politeness.ask(Index).go, Go::WhenOneEnds);

    EXPECT_EQ(politeness.end(first, status(200)), Next::Done);
    ASSERT_EQ(politeness.ask(Replay).go, Go::Now);
    politeness.begin(third);
    EXPECT_EQ(politeness.end(second, status(404)), Next::Done);
    EXPECT_EQ(politeness.ask(Replay).at_ms, 5250);
    EXPECT_EQ(politeness.pause_seconds_left(), 0);
    EXPECT_EQ(politeness.end(third, status(200)), Next::Done);

    // Answered at once, a run of replay requests starts exactly 250 ms apart: 4 a second, 240
    // a minute, 40% of the archive's 600.
    clock.set(6000);
    std::vector<std::int64_t> replay_starts;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(run_request(politeness, clock, status(200), replay_starts), Next::Done);
    }
    EXPECT_EQ(replay_starts, (std::vector<std::int64_t>{6000, 6250, 6500, 6750, 7000}));

    // The index is paced on its own: it need not wait for the replay's turn, but its own
    // requests start 2.5 s apart (24 a minute, under the archive's 30).
    ASSERT_EQ(politeness.ask(Index).go, Go::Now);
    EXPECT_EQ(one_attempt(politeness, clock, status(200), Index), Next::Done);
    EXPECT_EQ(politeness.ask(Index).at_ms, 9500);
    EXPECT_EQ(politeness.ask(Replay).at_ms, 7250);
    std::vector<std::int64_t> starts;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run_request(politeness, clock, status(200), starts, Index), Next::Done);
    }
    EXPECT_EQ(starts, (std::vector<std::int64_t>{9500, 12000, 14500}));

    EXPECT_EQ(request_kind("/cdx/search/cdx?url=hi.baidu.com/u/blog/item/"), Index);
    EXPECT_EQ(request_kind("/web/timemap/json?url=hi.baidu.com/u"), Index);
    EXPECT_EQ(request_kind("/web/2012id_/http://hi.baidu.com/u/blog"), Replay);
    EXPECT_EQ(request_kind("/web/2012im_/http://hi.baidu.com/cdx/a.gif"), Replay);
}

TEST(ArchivePoliteness, BusyAnswersBackOffFromFiveSecondsAndA429FromAMinuteToEightAtMost) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    std::vector<std::int64_t> starts;
    EXPECT_EQ(run_request(politeness, clock, status(503), starts), Next::Failed);
    EXPECT_EQ(starts, (std::vector<std::int64_t>{0, 5000, 15000, 35000, 75000}));

    // A good answer ends the run of failures; an answer cut short counts as busy.
    EXPECT_EQ(one_attempt(politeness, clock, status(200)), Next::Done);
    const std::int64_t now = clock.monotonic_ms();
    EXPECT_EQ(one_attempt(politeness, clock, cut_short(200)), Next::Retry);
    EXPECT_EQ(politeness.ask(Replay).at_ms, now + 250 + 5000);

    // 429s without Retry-After: 60 s, then doubling to 480 s and no further.
    FakeClock fresh;
    ArchivePoliteness limited(fresh);
    starts.clear();
    EXPECT_EQ(run_request(limited, fresh, status(429), starts), Next::Failed);
    std::vector<std::int64_t> expected{0, 60000, 180000, 420000, 900000};
    EXPECT_EQ(starts, expected);
    starts.clear();
    EXPECT_EQ(run_request(limited, fresh, status(429), starts), Next::Failed);
    EXPECT_EQ(starts.front(), 900000 + 480000);
    EXPECT_EQ(starts.at(1) - starts.at(0), 480000);
    // No request of either kind goes during the pause.
    EXPECT_EQ(limited.ask(Index).go, Go::At);
    EXPECT_EQ(limited.ask(Index).at_ms, starts.back() + 480000);
    EXPECT_EQ(limited.ask(Replay).at_ms, starts.back() + 480000);
    EXPECT_EQ(limited.pause_seconds_left(), 480);
}

TEST(ArchivePoliteness, PausesEveryRequestForTheServersRetryAfter) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    ArchiveRequest first, second;
    politeness.begin(first);
    clock.set(1000);
    politeness.begin(second);
    clock.set(1500);
    EXPECT_EQ(politeness.end(first, status(429, "7")), Next::Retry);
    EXPECT_EQ(politeness.pause_seconds_left(), 7);
    clock.set(2000);
    EXPECT_EQ(politeness.pause_seconds_left(), 7); // 6.5 s, rounded up
    // A shorter pause asked for meanwhile does not cut the longer one short.
    EXPECT_EQ(politeness.end(second, status(503, "1")), Next::Retry);
    EXPECT_EQ(politeness.ask(Index).go, Go::At);
    EXPECT_EQ(politeness.ask(Index).at_ms, 8500);

    EXPECT_EQ(retry_after_seconds("120", "", SomeDay), 120);
    EXPECT_EQ(retry_after_seconds(" 0 ", "", SomeDay), 0);
    EXPECT_EQ(retry_after_seconds("Wed, 21 Oct 2015 07:28:30 GMT", "", SomeDay), 30);
    EXPECT_EQ(retry_after_seconds("Wed, 21 Oct 2015 07:28:30 GMT", "Wed, 21 Oct 2015 07:27:00 GMT",
                                  SomeDay),
              90);
    EXPECT_EQ(retry_after_seconds("Wednesday, 21-Oct-15 07:29:00 GMT", "", SomeDay), 60);
    EXPECT_EQ(retry_after_seconds("Wed, 21 Oct 2015 07:00:00 GMT", "", SomeDay), 0);
    for (const char* unusable : {"", "soon", "-5", "1.5"}) {
        EXPECT_FALSE(retry_after_seconds(unusable, "", SomeDay)) << unusable;
    }

    // An unusable Retry-After falls back to the back-off; a date is read against the answer's
    // own Date header; an hour exactly is still a wait.
    FakeClock later;
    ArchivePoliteness dated(later);
    EXPECT_EQ(one_attempt(dated, later, status(503, "soon")), Next::Retry);
    EXPECT_EQ(dated.ask(Replay).at_ms, 5000);
    EXPECT_EQ(
        one_attempt(dated, later,
                    status(429, "Wed, 21 Oct 2015 07:30:00 GMT", "Wed, 21 Oct 2015 07:29:00 GMT")),
        Next::Retry);
    EXPECT_EQ(dated.ask(Replay).at_ms, 65000);
    EXPECT_EQ(one_attempt(dated, later, status(429, "3600")), Next::Retry);
    EXPECT_EQ(dated.pause_seconds_left(), 3600);
    EXPECT_FALSE(dated.blocked());
}

TEST(ArchivePoliteness, ShutOutAfterA429ForAnHourThenTwoAndAskedForMoreThanAnHour) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    ArchiveRequest first{Replay}, second{Index};
    EXPECT_EQ(one_attempt(politeness, clock, status(429, "1")), Next::Retry);
    clock.set(politeness.ask(Replay).at_ms);
    politeness.begin(first);
    clock.set(clock.monotonic_ms() + 2500);
    politeness.begin(second);
    const std::int64_t refused_at = clock.monotonic_ms();
    EXPECT_EQ(politeness.end(first, no_answer()), Next::Blocked);
    EXPECT_TRUE(politeness.blocked());
    EXPECT_EQ(politeness.ask(Replay).go, Go::Blocked);
    EXPECT_EQ(politeness.ask(Index).go, Go::Blocked);
    // An answer that did come back is still kept.
    EXPECT_EQ(politeness.end(second, status(200)), Next::Done);
    EXPECT_THROW(politeness.begin(second), std::logic_error);

    // The block ends after an hour: the user may try again in the same run.
    clock.set(refused_at + Hour - 1);
    EXPECT_EQ(politeness.ask(Replay).go, Go::Blocked);
    clock.set(refused_at + Hour);
    EXPECT_FALSE(politeness.blocked());
    EXPECT_EQ(politeness.ask(Replay).go, Go::Now);

    // Retry-After longer than an hour is a block, not a day's wait; the second block is two hours.
    EXPECT_EQ(one_attempt(politeness, clock, status(429, "1000000000")), Next::Blocked);
    EXPECT_EQ(politeness.pause_seconds_left(), 0);
    const std::int64_t second_block = clock.monotonic_ms();
    clock.set(second_block + 2 * Hour - 1);
    EXPECT_EQ(politeness.ask(Index).go, Go::Blocked);
    // ... unless the archive asked for longer, which is honoured up to a day.
    clock.set(second_block + 24 * Hour);
    EXPECT_EQ(politeness.ask(Index).go, Go::Now);

    FakeClock other;
    ArchivePoliteness asked(other);
    EXPECT_EQ(one_attempt(asked, other, status(503, "3601")), Next::Blocked);
    other.set(Hour + 500);
    EXPECT_TRUE(asked.blocked());
    other.set(Hour + 1000);
    EXPECT_FALSE(asked.blocked());
}

TEST(ArchivePoliteness, ThreeAttemptsInARowWithNoAnswerMeanOutOfReachUnlessA429CameWithinTheHour) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    // Across requests and connections; a real answer in between starts the count again.
    EXPECT_EQ(one_attempt(politeness, clock, no_answer()), Next::Retry);
    EXPECT_EQ(politeness.ask(Replay).at_ms, 5000);
    EXPECT_EQ(one_attempt(politeness, clock, no_answer(), Index), Next::Retry);
    EXPECT_EQ(politeness.ask(Replay).at_ms, 15000);
    EXPECT_EQ(one_attempt(politeness, clock, status(404)), Next::Done);
    EXPECT_EQ(one_attempt(politeness, clock, no_answer()), Next::Retry);
    EXPECT_EQ(one_attempt(politeness, clock, no_answer()), Next::Retry);
    ArchiveRequest running;
    clock.set(politeness.ask(Replay).at_ms);
    politeness.begin(running);
    // The 404 came at 15 s, the next replay turn 250 ms later; pauses of 5 s and 10 s after the
    // silences that followed it.
    EXPECT_EQ(clock.monotonic_ms(), 30250);
    EXPECT_EQ(politeness.end(running, no_answer()), Next::Unreachable);
    EXPECT_TRUE(politeness.unreachable());
    EXPECT_FALSE(politeness.blocked());
    EXPECT_EQ(politeness.ask(Replay).go, Go::Unreachable);
    EXPECT_EQ(politeness.ask(Index).go, Go::Unreachable);
    // A new harvest or save tries again, after the pause still running.
    politeness.try_again();
    EXPECT_EQ(politeness.ask(Replay).go, Go::At);
    EXPECT_EQ(one_attempt(politeness, clock, no_answer()), Next::Retry);

    // No answer within the hour after a 429 is the archive's firewall: a block at once.
    FakeClock later;
    ArchivePoliteness limited(later);
    EXPECT_EQ(one_attempt(limited, later, status(429, "2")), Next::Retry);
    later.set(Hour - 1);
    EXPECT_EQ(one_attempt(limited, later, no_answer()), Next::Blocked);
    // An hour after the 429, silence is only silence.
    FakeClock much_later;
    ArchivePoliteness forgotten(much_later);
    EXPECT_EQ(one_attempt(forgotten, much_later, status(429, "2")), Next::Retry);
    much_later.set(Hour);
    EXPECT_EQ(one_attempt(forgotten, much_later, no_answer()), Next::Retry);
    EXPECT_FALSE(forgotten.blocked());

    // Nothing sent (a local failure) only gives the connection back.
    FakeClock quiet;
    ArchivePoliteness local(quiet);
    ArchiveAnswer nothing;
    nothing.sent = false;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(one_attempt(local, quiet, nothing), Next::Failed);
    }
    EXPECT_EQ(local.ask(Replay).go, Go::At);
    EXPECT_EQ(local.pause_seconds_left(), 0);
}

TEST(ArchivePoliteness, ARetryAfterOfAnySizeIsReadWithoutOverflowAndPastAnHourIsABlock) {
    constexpr std::int64_t year_seconds = 366LL * 86400;
    for (const char* far :
         {"Mon, 01 Jan 300000000 00:00:00 GMT", "Fri, 31 Dec 9999 23:59:59 GMT",
          "99999999999999999999999999999999999999", "9223372036854775808", "31622401"}) {
        EXPECT_EQ(retry_after_seconds(far, "", SomeDay), year_seconds) << far;
        // The answer's own Date, however odd, cannot turn the pause around.
        EXPECT_EQ(retry_after_seconds(far, "Thu, 01 Jan 1970 00:00:00 GMT", SomeDay), year_seconds)
            << far;
    }
    EXPECT_EQ(retry_after_seconds("Wed, 21 Oct 2015 07:28:30 GMT",
                                  "Mon, 01 Jan 300000000 00:00:00 GMT", SomeDay),
              0);
    EXPECT_EQ(retry_after_seconds("Mon, 01 Jan 1 00:00:00 GMT", "", SomeDay), 0);
    EXPECT_EQ(retry_after_seconds("Wed Oct 21 08:28:01 2015", "", SomeDay), 3601);
    EXPECT_EQ(retry_after_seconds("wed, 21 OCT 2015 08:28:00 gmt", "", SomeDay), 3600);
    for (const char* unusable : {"Wed, 32 Oct 2015 07:28:30 GMT", "Wed, 21 Oct 2015 24:00:00 GMT",
                                 "Wed, 21 Foo 2015 07:28:30 GMT", "Wed, 21 Oct 2015 GMT",
                                 "Wed, 21 Oct 2015 07:28:30 GMT 5"}) {
        EXPECT_FALSE(retry_after_seconds(unusable, "", SomeDay)) << unusable;
    }

    // Either form asking for more than an hour is a block, honoured up to a day.
    const std::pair<const char*, std::int64_t> blocks[] = {
        {"Mon, 01 Jan 300000000 00:00:00 GMT", 24 * Hour},
        {"99999999999999999999999", 24 * Hour},
        {"Wed, 21 Oct 2015 08:28:01 GMT", Hour + 1000},
        {"3601", Hour + 1000}};
    for (const auto& [value, length] : blocks) {
        FakeClock clock;
        ArchivePoliteness politeness(clock);
        EXPECT_EQ(one_attempt(politeness, clock, status(429, value)), Next::Blocked) << value;
        clock.set(length - 1);
        EXPECT_TRUE(politeness.blocked()) << value;
        clock.set(length);
        EXPECT_FALSE(politeness.blocked()) << value;
    }
    for (const char* value : {"Wed, 21 Oct 2015 08:28:00 GMT", "3600"}) {
        FakeClock clock;
        ArchivePoliteness politeness(clock);
        EXPECT_EQ(one_attempt(politeness, clock, status(503, value)), Next::Retry) << value;
        EXPECT_EQ(politeness.pause_seconds_left(), 3600) << value;
    }
}

TEST(ArchivePoliteness, EveryBlockAfterTheFirstLastsTwoHoursThoughLessWasAskedFor) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    EXPECT_EQ(one_attempt(politeness, clock, status(429, "3601")), Next::Blocked);
    clock.set(Hour + 1000);
    ASSERT_FALSE(politeness.blocked());
    for (int later = 0; later < 2; ++later) {
        const std::int64_t from = clock.monotonic_ms();
        EXPECT_EQ(one_attempt(politeness, clock, status(429, "3601")), Next::Blocked);
        clock.set(from + 2 * Hour - 1);
        EXPECT_TRUE(politeness.blocked()) << later;
        EXPECT_EQ(politeness.ask(Replay).go, Go::Blocked);
        clock.set(from + 2 * Hour);
        EXPECT_FALSE(politeness.blocked()) << later;
    }
}
