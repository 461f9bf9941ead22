#pragma once
// How hard the program may press the Wayback Machine, as a small state machine with no clock and
// no sleeping of its own. The archive lets an address make about 60 requests a minute and blocks
// at its firewall, for an hour and doubling, an address that goes on after 429 answers.
//
// One ArchivePoliteness serves every download from the archive in one run (index, posts,
// pictures). The download layer asks before each attempt and reports each answer:
//
//   ArchiveRequest request;
//   for (;;) {
//       Permission p = politeness.ask();       // Now / At(time) / WhenOneEnds / Blocked
//       ... wait as told, then ask again, until Now ...
//       politeness.begin(request);
//       ArchiveAnswer answer = download();
//       switch (politeness.end(request, answer)) { Done: use it; Retry: loop; Failed; Blocked }
//   }

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace archive {

// What the window shows: the box when the archive blocks us, and the caption's word while a
// pause runs (followed by the seconds left).
inline constexpr std::u16string_view BlockedMessage = u"网页时光机暂时拒绝访问，请一小时后再试";
inline constexpr std::u16string_view WaitingCaption = u"等待";

// Where the time comes from; tests give a fake one.
class PolitenessClock {
public:
    virtual ~PolitenessClock() = default;
    // Milliseconds on a clock that never goes back.
    virtual std::int64_t monotonic_ms() const = 0;
    // Seconds since 1970 UTC, for a Retry-After given as a date when the answer has no Date.
    virtual std::int64_t unix_seconds() const = 0;
};

// The real clocks.
class SystemPolitenessClock : public PolitenessClock {
public:
    std::int64_t monotonic_ms() const override;
    std::int64_t unix_seconds() const override;
};

struct PolitenessLimits {
    int max_connections = 2;
    std::int64_t min_interval_ms = 1000; // between the starts of two requests
    int max_attempts = 5;                // per request, the first one included
    std::int64_t first_backoff_ms = 5000;
    std::int64_t max_backoff_ms = 320000; // 5 s doubled six times
    std::int64_t max_retry_after_ms = 86400000;
};

// What came back for one attempt.
struct ArchiveAnswer {
    long status = 0;         // the HTTP status; 0 when no answer came
    bool refused = false;    // the connection was refused (no answer)
    std::string retry_after; // the Retry-After header, "" when absent
    std::string date;        // the Date header, "" when absent
};

// One request's attempts so far; the caller keeps one per address.
struct ArchiveRequest {
    int attempts = 0;
    bool running = false;
};

// The pause a Retry-After asks for: delta seconds ("120") or an HTTP-date, taken against the
// answer's Date header when it has one, else against `now_unix`. A date in the past is 0;
// nothing when the value is neither.
std::optional<std::int64_t> retry_after_seconds(std::string_view retry_after, std::string_view date,
                                                std::int64_t now_unix);

class ArchivePoliteness {
public:
    enum class Go {
        Now,         // start the attempt now
        At,          // not before `at_ms` on the monotonic clock (a pause or the one-a-second pace)
        WhenOneEnds, // every connection is busy: ask again when an attempt has ended
        Blocked,     // the archive has shut this address out: stop, keep what was saved
    };
    struct Permission {
        Go go = Go::Now;
        std::int64_t at_ms = 0;
    };
    enum class Next {
        Done,    // a final answer (2xx, 3xx, 4xx other than 429): use it
        Retry,   // ask again; the attempt counts
        Failed,  // 429, 5xx or no answer on the last allowed attempt
        Blocked, // refused after a 429, or no good answer once blocked: stop every request
    };

    explicit ArchivePoliteness(const PolitenessClock& clock, PolitenessLimits limits = {});

    Permission ask() const;
    // An attempt of `request` starts now. Throws std::logic_error when ask() did not say Now, or
    // when the request has used its attempts.
    void begin(ArchiveRequest& request);
    // The attempt of `request` that begin() started has ended with `answer`.
    Next end(ArchiveRequest& request, const ArchiveAnswer& answer);

    // Whole seconds, rounded up, until the archive may be asked again after a 429 or 5xx; 0 when
    // no pause runs. The caption shows "等待" and this number.
    std::int64_t pause_seconds_left() const;
    bool blocked() const { return m_blocked; }

private:
    const PolitenessClock& m_clock;
    PolitenessLimits m_limits;
    int m_running = 0;
    bool m_started_any = false;
    std::int64_t m_last_start_ms = 0;
    std::int64_t m_paused_until_ms = 0;
    int m_failures_in_a_row = 0;
    bool m_seen_429 = false;
    bool m_blocked = false;
};

} // namespace archive
