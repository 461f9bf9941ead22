#include "tools/sample_blog/archive_traffic.h"

namespace sample_blog {
namespace {
// Without a Retry-After a caller is expected to back off for at least this long.
constexpr long long default_pause_ms = 5000;
} // namespace

ArchiveTraffic::ArchiveTraffic(const ArchiveOptions& options) : m_options(options) {
    if (!m_options.gaps) {
        return;
    }
    m_options.too_many_first.try_emplace(ArchiveRequestKind::index, 1);
    m_options.too_many_first.try_emplace(ArchiveRequestKind::raw, 1);
}

long long ArchiveTraffic::now_ms() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_started).count();
}

bool ArchiveTraffic::due(ArchiveRequestKind kind,
                         const std::map<ArchiveRequestKind, int>& first) const {
    const auto found = first.find(kind);
    const auto counted = m_kind_counts.find(kind);
    return found != first.end() && counted != m_kind_counts.end() &&
           counted->second <= found->second;
}

ArchiveTraffic::Admission ArchiveTraffic::begin(ArchiveRequestKind kind,
                                                const std::string& target) {
    const std::lock_guard lock(m_mutex);
    const long long now = now_ms();
    ++m_in_flight;
    m_entries.push_back({.start_ms = now, .in_flight = m_in_flight, .target = target});
    const Admission admission{.id = m_entries.size() - 1};
    const int index_requests = m_index_requests;
    if (kind == ArchiveRequestKind::index) {
        ++m_index_requests;
    }
    if (m_options.silent_after_index >= 0 && index_requests >= m_options.silent_after_index) {
        // The network is gone: nothing answers any more.
        return {Verdict::refuse, admission.id};
    }
    if (m_blocked || (m_options.block_impatient && now < m_pause_until_ms)) {
        m_blocked = true;
        return {Verdict::refuse, admission.id};
    }
    ++m_count;
    ++m_kind_counts[kind];
    const bool too_many =
        (m_options.too_many_every > 0 && m_count % m_options.too_many_every == 0) ||
        due(kind, m_options.too_many_first) || now < m_pause_until_ms;
    if (too_many) {
        if (now >= m_pause_until_ms) {
            m_pause_until_ms =
                now + (m_options.retry_after_seconds > 0 ? m_options.retry_after_seconds * 1000LL
                                                         : default_pause_ms);
        }
        return {Verdict::too_many, admission.id};
    }
    if (due(kind, m_options.busy_first)) {
        return {Verdict::busy, admission.id};
    }
    if (kind == ArchiveRequestKind::index && m_options.index_fails_after >= 0 &&
        index_requests >= m_options.index_fails_after) {
        return {Verdict::bad_request, admission.id};
    }
    return admission;
}

void ArchiveTraffic::end(std::size_t id, int status) {
    const std::lock_guard lock(m_mutex);
    if (id >= m_entries.size() || m_entries[id].end_ms >= 0) {
        return;
    }
    m_entries[id].end_ms = now_ms();
    m_entries[id].status = status;
    --m_in_flight;
}

std::string ArchiveTraffic::log() const {
    const std::lock_guard lock(m_mutex);
    std::string text;
    for (const Entry& entry : m_entries) {
        text += std::to_string(entry.start_ms) + " " +
                (entry.end_ms < 0 ? std::string("-") : std::to_string(entry.end_ms)) + " " +
                std::to_string(entry.in_flight) + " " + std::to_string(entry.status) + " " +
                entry.target + "\n";
    }
    return text;
}

} // namespace sample_blog
