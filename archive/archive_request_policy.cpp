#include "archive/archive_request_policy.h"

#include <algorithm>
#include <cctype>

namespace archive {
namespace {

void keep(const ArchiveRequest& state, platform::RequestPolicy::Attempts& request) {
    request.count = state.attempts;
    request.running = state.running;
}

} // namespace

ArchiveRequestPolicy::ArchiveRequestPolicy(const std::string& archive, PolitenessLimits limits)
    : m_prefix(archive + "/"), m_politeness(m_clock, limits) {}

bool ArchiveRequestPolicy::governs(const std::string& url) const {
    // Scheme and host are compared in any case; the archive keeps them lower case already.
    return url.size() >= m_prefix.size() &&
           std::equal(m_prefix.begin(), m_prefix.end(), url.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

RequestKind ArchiveRequestPolicy::kind_of(const std::string& url) const {
    return request_kind(std::string_view(url).substr(m_prefix.size() - 1));
}

platform::RequestPolicy::Permission ArchiveRequestPolicy::ask(const std::string& url) const {
    const ArchivePoliteness::Permission permission = m_politeness.ask(kind_of(url));
    switch (permission.go) {
    case ArchivePoliteness::Go::Now:
        return {Go::Now, 0};
    case ArchivePoliteness::Go::At:
        return {Go::Later, std::max<std::int64_t>(1, permission.at_ms - m_clock.monotonic_ms())};
    case ArchivePoliteness::Go::WhenOneEnds:
        return {Go::WhenOneEnds, 0};
    case ArchivePoliteness::Go::Unreachable:
        return {Go::Unreachable, 0};
    case ArchivePoliteness::Go::Blocked:
        break;
    }
    return {Go::Blocked, 0};
}

void ArchiveRequestPolicy::begin(const std::string& url, Attempts& request) {
    ArchiveRequest state{kind_of(url), request.count, request.running};
    m_politeness.begin(state);
    keep(state, request);
}

platform::RequestPolicy::Next ArchiveRequestPolicy::end(Attempts& request, const Answer& answer) {
    ArchiveRequest state{RequestKind::replay, request.count, request.running};
    const ArchivePoliteness::Next next = m_politeness.end(
        state, {answer.status, answer.cut_short, answer.sent, answer.retry_after, answer.date});
    keep(state, request);
    switch (next) {
    case ArchivePoliteness::Next::Done:
        return Next::Done;
    case ArchivePoliteness::Next::Retry:
        return Next::Retry;
    case ArchivePoliteness::Next::Failed:
        return Next::Failed;
    case ArchivePoliteness::Next::Unreachable:
        return Next::Unreachable;
    case ArchivePoliteness::Next::Blocked:
        break;
    }
    return Next::Blocked;
}

ArchiveRequestPolicy& ArchivePolicies::for_run(const std::string& archive) {
    std::unique_ptr<ArchiveRequestPolicy>& policy = m_policies[archive];
    if (!policy) {
        policy = std::make_unique<ArchiveRequestPolicy>(archive);
    }
    policy->try_again();
    return *policy;
}

} // namespace archive
