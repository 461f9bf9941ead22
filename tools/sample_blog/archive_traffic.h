#pragma once
// How the stand-in archive treats its callers: the 429 and 503 answers that the options ask for,
// the block of a caller that comes back before a 429's Retry-After has passed, and a log of every
// request with its times, so tests can check the pace and the number of requests at once.

#include "tools/sample_blog/archive_options.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace sample_blog {

class ArchiveTraffic {
public:
    enum class Verdict { serve, too_many, busy, refuse, bad_request };
    struct Admission {
        Verdict verdict = Verdict::serve;
        std::size_t id = 0; // for end()
    };

    explicit ArchiveTraffic(const ArchiveOptions& options);

    Admission begin(ArchiveRequestKind kind, const std::string& target);
    // status 0: closed without an answer.
    void end(std::size_t id, int status);

    // One line per request, in arrival order:
    //   START_MS END_MS IN_FLIGHT STATUS TARGET
    // milliseconds since the service started; END_MS is "-" while it runs; IN_FLIGHT counts the
    // archive requests running when it arrived, itself included.
    std::string log() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        long long start_ms = 0;
        long long end_ms = -1;
        int in_flight = 0;
        int status = 0;
        std::string target;
    };
    long long now_ms() const;
    bool due(ArchiveRequestKind kind, const std::map<ArchiveRequestKind, int>& first) const;

    mutable std::mutex m_mutex;
    ArchiveOptions m_options;
    Clock::time_point m_started = Clock::now();
    int m_count = 0;
    int m_index_requests = 0; // every one, answered or not
    std::map<ArchiveRequestKind, int> m_kind_counts;
    long long m_pause_until_ms = -1;
    bool m_blocked = false;
    int m_in_flight = 0;
    std::vector<Entry> m_entries;
};

} // namespace sample_blog
