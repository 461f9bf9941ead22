#include "archive/archive_politeness.h"

#include <gtest/gtest.h>

#include <stdexcept>
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

ArchiveAnswer status(long code, std::string retry_after = {}, std::string date = {}) {
    ArchiveAnswer answer;
    answer.status = code;
    answer.retry_after = std::move(retry_after);
    answer.date = std::move(date);
    return answer;
}

ArchiveAnswer refused() {
    ArchiveAnswer answer;
    answer.refused = true;
    return answer;
}

// Drives one request as the download layer would, waiting as told, every attempt answered with
// `answer`; returns the final verdict and the times the attempts started.
Next run_request(ArchivePoliteness& politeness, FakeClock& clock, const ArchiveAnswer& answer,
                 std::vector<std::int64_t>& starts) {
    ArchiveRequest request;
    for (;;) {
        const ArchivePoliteness::Permission permission = politeness.ask();
        if (permission.go == Go::At) {
            clock.set(permission.at_ms);
        }
        EXPECT_EQ(politeness.ask().go, Go::Now);
        politeness.begin(request);
        starts.push_back(clock.monotonic_ms());
        const Next next = politeness.end(request, answer);
        if (next != Next::Retry) {
            return next;
        }
    }
}

} // namespace

TEST(ArchivePoliteness, OneRequestASecondOnAtMostTwoConnections) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    ArchiveRequest first, second, third;
    ASSERT_EQ(politeness.ask().go, Go::Now);
    politeness.begin(first);
    EXPECT_EQ(politeness.ask().go, Go::At);
    EXPECT_EQ(politeness.ask().at_ms, 1000);
    EXPECT_THROW(politeness.begin(second), std::logic_error);

    clock.set(999);
    EXPECT_EQ(politeness.ask().go, Go::At);
    clock.set(1000);
    ASSERT_EQ(politeness.ask().go, Go::Now);
    politeness.begin(second);
    clock.set(5000);
    EXPECT_EQ(politeness.ask().go, Go::WhenOneEnds);

    EXPECT_EQ(politeness.end(first, status(200)), Next::Done);
    ASSERT_EQ(politeness.ask().go, Go::Now);
    politeness.begin(third);
    EXPECT_EQ(politeness.end(second, status(404)), Next::Done);
    EXPECT_EQ(politeness.ask().go, Go::At);
    EXPECT_EQ(politeness.ask().at_ms, 6000);
    EXPECT_EQ(politeness.pause_seconds_left(), 0);
}

TEST(ArchivePoliteness, BacksOffFromFiveSecondsDoublingAndGivesUpAfterFiveAttempts) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    std::vector<std::int64_t> starts;
    EXPECT_EQ(run_request(politeness, clock, status(503), starts), Next::Failed);
    EXPECT_EQ(starts, (std::vector<std::int64_t>{0, 5000, 15000, 35000, 75000}));

    // A good answer ends the run of failures: the next one waits 5 s again.
    FakeClock fresh;
    ArchivePoliteness reset(fresh);
    ArchiveRequest request, other;
    reset.begin(request);
    EXPECT_EQ(reset.end(request, status(500)), Next::Retry);
    EXPECT_EQ(reset.ask().at_ms, 5000);
    fresh.set(5000);
    reset.begin(request);
    EXPECT_EQ(reset.end(request, status(200)), Next::Done);
    fresh.set(6000);
    reset.begin(other);
    EXPECT_EQ(reset.end(other, ArchiveAnswer{}), Next::Retry); // no answer at all
    EXPECT_EQ(reset.ask().at_ms, 11000);
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
    EXPECT_EQ(politeness.ask().go, Go::At);
    EXPECT_EQ(politeness.ask().at_ms, 8500);

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
    // own Date header.
    FakeClock later;
    ArchivePoliteness dated(later);
    ArchiveRequest request;
    dated.begin(request);
    EXPECT_EQ(dated.end(request, status(503, "soon")), Next::Retry);
    EXPECT_EQ(dated.ask().at_ms, 5000);
    later.set(5000);
    dated.begin(request);
    EXPECT_EQ(dated.end(request, status(429, "Wed, 21 Oct 2015 07:30:00 GMT",
                                        "Wed, 21 Oct 2015 07:29:00 GMT")),
              Next::Retry);
    EXPECT_EQ(dated.ask().at_ms, 65000);
}

TEST(ArchivePoliteness, RefusedAfterA429MeansBlockedAndStopsEverything) {
    FakeClock clock;
    ArchivePoliteness politeness(clock);
    std::vector<std::int64_t> starts;
    // Refused before any 429: the archive may just be out of reach; try again.
    EXPECT_EQ(run_request(politeness, clock, refused(), starts), Next::Failed);
    EXPECT_EQ(starts.size(), 5u);
    EXPECT_FALSE(politeness.blocked());

    ArchiveRequest first, second;
    clock.set(politeness.ask().at_ms);
    politeness.begin(first);
    EXPECT_EQ(politeness.end(first, status(429, "1")), Next::Retry);
    clock.set(politeness.ask().at_ms);
    politeness.begin(first);
    clock.set(clock.monotonic_ms() + 1000);
    politeness.begin(second);
    EXPECT_EQ(politeness.end(first, refused()), Next::Blocked);
    EXPECT_TRUE(politeness.blocked());
    EXPECT_EQ(politeness.ask().go, Go::Blocked);
    // A post that did come back is still kept.
    EXPECT_EQ(politeness.end(second, status(200)), Next::Done);
    EXPECT_EQ(politeness.ask().go, Go::Blocked);
    EXPECT_THROW(politeness.begin(second), std::logic_error);
}
