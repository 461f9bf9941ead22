#pragma once
// How hard the program may press the Wayback Machine, as a small state machine with no clock and
// no sleeping of its own. The archive's index (/cdx/search/cdx) and its timemaps share one pool
// of 30 requests a minute per address; past it the archive answers 429, and an address that
// goes on after 429 answers is refused at its firewall for an hour, the next time for two.
// Index requests therefore start at least 2.5 s apart (24 a minute). Replay (/web/..., id_,
// im_) has a pool of its own, 600 a minute; the archive asks clients to stay at 80% of its limits,
// and we stay well below: replay requests start at least 250 ms apart (4 a second), on at most
// two connections, kept alive for the whole run since opening many gets an address refused.
//
// One ArchivePoliteness per archive host serves every download from it while the program runs
// (harvest, save, the copy's pictures). The download layer asks before each attempt and reports
// each answer:
//
//   ArchiveRequest request{.kind = RequestKind::index};
//   for (;;) {
//       Permission p = politeness.ask(request.kind); // Now / At / WhenOneEnds / Blocked / ...
//       ... wait as told, then ask again, until Now ...
//       politeness.begin(request);
//       ArchiveAnswer answer = download();
//       switch (politeness.end(request, answer)) { Done: use it; Retry: loop; Failed; ... }
//   }

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace archive {

// What the window shows: the box when the archive blocks us, the box when it does not answer
// at all, and the caption's word while a pause runs (followed by the seconds left).
inline constexpr std::u16string_view BlockedMessage = u"网页时光机暂时拒绝访问，请一小时后再试";
inline constexpr std::u16string_view UnreachableMessage = u"无法连接网页时光机，请检查网络后再试";
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
    int max_connections = 2;               // every kind of request together
    std::int64_t replay_interval_ms = 250; // between the starts of two replay requests
    std::int64_t index_interval_ms = 2500; // between the starts of two index requests
    int max_attempts = 5;                  // per request, the first one included
    // After a 5xx, an answer cut short or no answer: 5 s, doubling.
    std::int64_t first_backoff_ms = 5000;
    std::int64_t max_backoff_ms = 320000;
    // After a 429 without Retry-After: a minute, doubling.
    std::int64_t first_429_pause_ms = 60000;
    std::int64_t max_429_pause_ms = 480000;
    // A longer pause asked for is the archive shutting us out.
    std::int64_t longest_pause_ms = 3600000;
    // How long a 429 is remembered: no answer within it is the firewall's refusal.
    std::int64_t memory_of_429_ms = 3600000;
    // How long the archive shuts an address out: the first time, and every time after.
    std::int64_t first_block_ms = 3600000;
    std::int64_t later_block_ms = 7200000;
    // Attempts in a row, on any connection, with no answer at all, before the archive counts as
    // out of reach.
    int no_answers_until_unreachable = 3;
};

enum class RequestKind { replay, index };

// The kind of a request to the archive at `path`, the part of the address from the "/" after
// the host: the capture index and timemaps are index requests, everything else replay.
RequestKind request_kind(std::string_view path);

// What came back for one attempt.
struct ArchiveAnswer {
    long status = 0;         // the HTTP status; 0 when no answer came
    bool cut_short = false;  // the connection broke after the status came: taken as a 5xx
    bool sent = true;        // false when nothing went out: the attempt only ends
    std::string retry_after; // the Retry-After header, "" when absent
    std::string date;        // the Date header, "" when absent
};

// One request's attempts so far; the caller keeps one per address.
struct ArchiveRequest {
    RequestKind kind = RequestKind::replay;
    int attempts = 0;
    bool running = false;
};

// The pause a Retry-After asks for: delta seconds ("120") or an HTTP-date, taken against the
// answer's Date header when it has one, else against `now_unix`. A date in the past is 0;
// nothing when the value is neither. At most a year, however far off the value.
std::optional<std::int64_t> retry_after_seconds(std::string_view retry_after, std::string_view date,
                                                std::int64_t now_unix);

class ArchivePoliteness {
public:
    enum class Go {
        Now,         // start the attempt now
        At,          // not before `at_ms` on the monotonic clock (a pause or the pace)
        WhenOneEnds, // every connection is busy: ask again when an attempt has ended
        Blocked,     // the archive has shut this address out: stop, keep what was saved
        Unreachable, // the archive does not answer at all: stop, keep what was saved
    };
    struct Permission {
        Go go = Go::Now;
        std::int64_t at_ms = 0;
    };
    enum class Next {
        Done,        // a final answer (2xx, 3xx, 4xx other than 429): use it
        Retry,       // ask again; the attempt counts
        Failed,      // 429, 5xx or no answer on the last allowed attempt
        Blocked,     // shut out (see Go::Blocked): stop every request
        Unreachable, // out of reach (see Go::Unreachable): stop every request
    };

    explicit ArchivePoliteness(const PolitenessClock& clock, PolitenessLimits limits = {});

    Permission ask(RequestKind kind) const;
    // An attempt of `request` starts now. Throws std::logic_error when ask() did not say Now, or
    // when the request has used its attempts.
    void begin(ArchiveRequest& request);
    // The attempt of `request` that begin() started has ended with `answer`.
    Next end(ArchiveRequest& request, const ArchiveAnswer& answer);

    // A new harvest or save: an archive found out of reach is tried again, three attempts
    // again. What it said (pauses, 429s, a block) still holds.
    void try_again() {
        m_unreachable = false;
        m_no_answers_in_a_row = 0;
    }

    // Whole seconds, rounded up, until the archive may be asked again after a 429 or 5xx; 0 when
    // no pause runs. The caption shows "等待" and this number.
    std::int64_t pause_seconds_left() const;
    // The archive shuts us out now; it lets us in again once the block's time has passed.
    bool blocked() const;
    bool unreachable() const { return m_unreachable; }
    // Attempts begun and not yet ended.
    int running() const { return m_running; }

private:
    bool recent_429() const;
    void block(std::int64_t at_least_ms);

    const PolitenessClock& m_clock;
    PolitenessLimits m_limits;
    int m_running = 0;
    std::optional<std::int64_t> m_last_start_ms[2]; // by RequestKind
    std::int64_t m_paused_until_ms = 0;
    int m_busy_in_a_row = 0; // 5xx, cut short or no answer
    int m_429_in_a_row = 0;
    int m_no_answers_in_a_row = 0;
    std::optional<std::int64_t> m_last_429_ms;
    std::optional<std::int64_t> m_blocked_until_ms;
    int m_blocks = 0;
    bool m_unreachable = false;
};

} // namespace archive
