#include "platform/archive_request_policy.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

using archive::ArchivePoliteness;

archive::ArchiveRequest archive_request(const RequestPolicy::Attempts& request) {
    return {request.count, request.running};
}

void keep(const archive::ArchiveRequest& state, RequestPolicy::Attempts& request) {
    request.count = state.attempts;
    request.running = state.running;
}

} // namespace

ArchiveRequestPolicy::ArchiveRequestPolicy(const std::string& archive,
                                           archive::PolitenessLimits limits)
    : m_prefix(archive + "/"), m_politeness(m_clock, limits) {}

bool ArchiveRequestPolicy::governs(const std::string& url) const {
    // Scheme and host are compared in any case; the archive keeps them lower case already.
    return url.size() >= m_prefix.size() &&
           std::equal(m_prefix.begin(), m_prefix.end(), url.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

RequestPolicy::Permission ArchiveRequestPolicy::ask() const {
    const ArchivePoliteness::Permission permission = m_politeness.ask();
    switch (permission.go) {
    case ArchivePoliteness::Go::Now:
        return {Go::Now, 0};
    case ArchivePoliteness::Go::At:
        return {Go::Later, std::max<std::int64_t>(1, permission.at_ms - m_clock.monotonic_ms())};
    case ArchivePoliteness::Go::WhenOneEnds:
        return {Go::WhenOneEnds, 0};
    case ArchivePoliteness::Go::Blocked:
        break;
    }
    return {Go::Blocked, 0};
}

void ArchiveRequestPolicy::begin(Attempts& request) {
    archive::ArchiveRequest state = archive_request(request);
    m_politeness.begin(state);
    keep(state, request);
}

RequestPolicy::Next ArchiveRequestPolicy::end(Attempts& request, const Answer& answer) {
    archive::ArchiveRequest state = archive_request(request);
    const ArchivePoliteness::Next next =
        m_politeness.end(state, {answer.status, answer.refused, answer.retry_after, answer.date});
    keep(state, request);
    switch (next) {
    case ArchivePoliteness::Next::Done:
        return Next::Done;
    case ArchivePoliteness::Next::Retry:
        return Next::Retry;
    case ArchivePoliteness::Next::Failed:
        return Next::Failed;
    case ArchivePoliteness::Next::Blocked:
        break;
    }
    return Next::Blocked;
}

} // namespace platform
