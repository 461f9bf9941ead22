#include "archive/archive_politeness.h"

#include "archive/http_date.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace archive {
namespace {

// Anything past a year is as good as forever; no pause read from a header goes beyond it.
constexpr std::int64_t longest_retry_after_seconds = 366LL * 86400;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// `first` doubled for each failure in a row after the first, at most `most`.
std::int64_t doubled(std::int64_t first, int in_a_row, std::int64_t most) {
    std::int64_t pause = first;
    for (int i = 1; i < in_a_row && pause < most; ++i) {
        pause *= 2;
    }
    return std::min(pause, most);
}

} // namespace

std::int64_t SystemPolitenessClock::monotonic_ms() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t SystemPolitenessClock::unix_seconds() const {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::optional<std::int64_t> retry_after_seconds(std::string_view retry_after, std::string_view date,
                                                std::int64_t now_unix) {
    const std::string_view value = trimmed(retry_after);
    if (value.empty()) {
        return std::nullopt;
    }
    if (value.find_first_not_of("0123456789") == std::string_view::npos) {
        std::int64_t seconds = 0;
        for (char c : value) {
            // Stops growing before it could overflow.
            seconds = std::min(seconds * 10 + (c - '0'), longest_retry_after_seconds);
        }
        return seconds;
    }
    const std::optional<std::int64_t> until = http_date_seconds(value);
    if (!until) {
        return std::nullopt;
    }
    // The dates' years stop at 9999, so the difference cannot overflow.
    const std::int64_t now = http_date_seconds(trimmed(date)).value_or(now_unix);
    return std::clamp<std::int64_t>(*until - now, 0, longest_retry_after_seconds);
}

RequestKind request_kind(std::string_view path) {
    // The CDX server and the timemaps draw on the archive's one small pool.
    return path.starts_with("/cdx/") || path.starts_with("/web/timemap") ? RequestKind::index
                                                                         : RequestKind::replay;
}

ArchivePoliteness::ArchivePoliteness(const PolitenessClock& clock, PolitenessLimits limits)
    : m_clock(clock), m_limits(limits) {}

ArchivePoliteness::Permission ArchivePoliteness::ask(RequestKind kind) const {
    if (blocked()) {
        return {Go::Blocked, 0};
    }
    if (m_unreachable) {
        return {Go::Unreachable, 0};
    }
    if (m_running >= m_limits.max_connections) {
        return {Go::WhenOneEnds, 0};
    }
    std::int64_t earliest = m_paused_until_ms;
    if (const std::optional<std::int64_t>& last = m_last_start_ms[static_cast<int>(kind)]) {
        earliest =
            std::max(earliest, *last + (kind == RequestKind::index ? m_limits.index_interval_ms
                                                                   : m_limits.replay_interval_ms));
    }
    const std::int64_t now = m_clock.monotonic_ms();
    if (earliest > now) {
        return {Go::At, earliest};
    }
    return {Go::Now, now};
}

void ArchivePoliteness::begin(ArchiveRequest& request) {
    if (request.running || request.attempts >= m_limits.max_attempts) {
        throw std::logic_error("archive request started again or past its attempts");
    }
    if (ask(request.kind).go != Go::Now) {
        throw std::logic_error("archive request started before its turn");
    }
    ++request.attempts;
    request.running = true;
    ++m_running;
    m_last_start_ms[static_cast<int>(request.kind)] = m_clock.monotonic_ms();
}

ArchivePoliteness::Next ArchivePoliteness::end(ArchiveRequest& request,
                                               const ArchiveAnswer& answer) {
    if (!request.running) {
        throw std::logic_error("archive request ended without a start");
    }
    request.running = false;
    --m_running;
    if (!answer.sent) {
        return Next::Failed;
    }
    if (answer.status == 0) {
        // Within the hour after a 429, silence is the archive's firewall shutting us out.
        if (recent_429()) {
            block(0);
        }
        if (blocked()) {
            return Next::Blocked;
        }
        if (++m_no_answers_in_a_row >= m_limits.no_answers_until_unreachable) {
            m_unreachable = true;
        }
        if (m_unreachable) {
            return Next::Unreachable;
        }
    } else {
        m_no_answers_in_a_row = 0;
    }
    const bool too_many = answer.status == 429;
    const bool busy =
        answer.status == 0 || answer.cut_short || (answer.status >= 500 && answer.status <= 599);
    if (!too_many && !busy) {
        m_busy_in_a_row = 0;
        m_429_in_a_row = 0;
        return Next::Done;
    }
    if (blocked()) {
        return Next::Blocked;
    }
    std::int64_t pause_ms = 0;
    if (too_many) {
        m_last_429_ms = m_clock.monotonic_ms();
        pause_ms =
            doubled(m_limits.first_429_pause_ms, ++m_429_in_a_row, m_limits.max_429_pause_ms);
    } else {
        pause_ms = doubled(m_limits.first_backoff_ms, ++m_busy_in_a_row, m_limits.max_backoff_ms);
    }
    if (answer.status != 0) {
        if (const std::optional<std::int64_t> seconds =
                retry_after_seconds(answer.retry_after, answer.date, m_clock.unix_seconds())) {
            pause_ms = *seconds * 1000;
        }
    }
    if (pause_ms > m_limits.longest_pause_ms) {
        // Asked to stay away for longer than an hour: that is a block, not a wait.
        block(pause_ms);
        return Next::Blocked;
    }
    m_paused_until_ms = std::max(m_paused_until_ms, m_clock.monotonic_ms() + pause_ms);
    return request.attempts >= m_limits.max_attempts ? Next::Failed : Next::Retry;
}

std::int64_t ArchivePoliteness::pause_seconds_left() const {
    const std::int64_t left = m_paused_until_ms - m_clock.monotonic_ms();
    return left > 0 ? (left + 999) / 1000 : 0;
}

bool ArchivePoliteness::blocked() const {
    return m_blocked_until_ms && m_clock.monotonic_ms() < *m_blocked_until_ms;
}

bool ArchivePoliteness::recent_429() const {
    return m_last_429_ms && m_clock.monotonic_ms() - *m_last_429_ms < m_limits.memory_of_429_ms;
}

void ArchivePoliteness::block(std::int64_t at_least_ms) {
    if (blocked()) {
        return;
    }
    const std::int64_t length = m_blocks++ == 0 ? m_limits.first_block_ms : m_limits.later_block_ms;
    // A Retry-After of years would outlast any run; a day is as good as forever here.
    const std::int64_t asked = std::min<std::int64_t>(at_least_ms, 86400000);
    m_blocked_until_ms = m_clock.monotonic_ms() + std::max(length, asked);
    // What was remembered belongs to the time before the block.
    m_last_429_ms.reset();
    m_429_in_a_row = 0;
    m_busy_in_a_row = 0;
    m_no_answers_in_a_row = 0;
}

} // namespace archive
