#include "archive/archive_politeness.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace archive {
namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// An HTTP-date in any of its three forms, as seconds since 1970; nothing when it is not one.
std::optional<std::int64_t> http_date(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string terminated(text);
    const time_t parsed = curl_getdate(terminated.c_str(), nullptr);
    if (parsed == -1) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(parsed);
}

bool asks_for_a_pause(long status) {
    return status == 429 || (status >= 500 && status <= 599);
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
            // Anything past a year is as good as forever; stop before it could overflow.
            seconds = std::min<std::int64_t>(seconds * 10 + (c - '0'), 366LL * 86400);
        }
        return seconds;
    }
    const std::optional<std::int64_t> until = http_date(value);
    if (!until) {
        return std::nullopt;
    }
    const std::int64_t now = http_date(trimmed(date)).value_or(now_unix);
    return std::max<std::int64_t>(0, *until - now);
}

ArchivePoliteness::ArchivePoliteness(const PolitenessClock& clock, PolitenessLimits limits)
    : m_clock(clock), m_limits(limits) {}

ArchivePoliteness::Permission ArchivePoliteness::ask() const {
    if (m_blocked) {
        return {Go::Blocked, 0};
    }
    if (m_running >= m_limits.max_connections) {
        return {Go::WhenOneEnds, 0};
    }
    std::int64_t earliest = m_paused_until_ms;
    if (m_started_any) {
        earliest = std::max(earliest, m_last_start_ms + m_limits.min_interval_ms);
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
    if (ask().go != Go::Now) {
        throw std::logic_error("archive request started before its turn");
    }
    ++request.attempts;
    request.running = true;
    ++m_running;
    m_started_any = true;
    m_last_start_ms = m_clock.monotonic_ms();
}

ArchivePoliteness::Next ArchivePoliteness::end(ArchiveRequest& request,
                                               const ArchiveAnswer& answer) {
    if (!request.running) {
        throw std::logic_error("archive request ended without a start");
    }
    request.running = false;
    --m_running;
    if (answer.status == 429) {
        m_seen_429 = true;
    }
    if (answer.status == 0 && answer.refused && m_seen_429) {
        m_blocked = true;
        return Next::Blocked;
    }
    // No answer at all is treated like a 5xx: an archive that does not answer is overloaded or
    // out of reach, and pressing it is what gets an address blocked.
    if (answer.status != 0 && !asks_for_a_pause(answer.status)) {
        m_failures_in_a_row = 0;
        return Next::Done;
    }
    if (m_blocked) {
        return Next::Blocked;
    }
    ++m_failures_in_a_row;
    std::int64_t pause_ms = m_limits.first_backoff_ms;
    for (int i = 1; i < m_failures_in_a_row && pause_ms < m_limits.max_backoff_ms; ++i) {
        pause_ms *= 2;
    }
    pause_ms = std::min(pause_ms, m_limits.max_backoff_ms);
    if (answer.status != 0) {
        if (const std::optional<std::int64_t> seconds =
                retry_after_seconds(answer.retry_after, answer.date, m_clock.unix_seconds())) {
            pause_ms = std::min(*seconds * 1000, m_limits.max_retry_after_ms);
        }
    }
    m_paused_until_ms = std::max(m_paused_until_ms, m_clock.monotonic_ms() + pause_ms);
    return request.attempts >= m_limits.max_attempts ? Next::Failed : Next::Retry;
}

std::int64_t ArchivePoliteness::pause_seconds_left() const {
    const std::int64_t left = m_paused_until_ms - m_clock.monotonic_ms();
    return left > 0 ? (left + 999) / 1000 : 0;
}

} // namespace archive
