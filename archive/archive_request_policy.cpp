#include "archive/archive_request_policy.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

namespace archive {
namespace {

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// Where the host of an http or https address starts and ends; nothing for any other address.
struct Parts {
    bool https = false;
    std::string_view authority; // as written, user and port included
    std::string host;           // in lower case, without a port
    std::string_view after;     // everything after the authority, as written
    std::string_view path;      // from the "/" after the host; "/" when there is none
};

std::optional<Parts> address_parts(std::string_view url) {
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string scheme = lowered(url.substr(0, colon));
    if (scheme != "http" && scheme != "https") {
        return std::nullopt;
    }
    const std::string_view rest = url.substr(colon + 3);
    const std::size_t authority_end = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string_view authority = rest.substr(0, authority_end);
    std::string_view host = authority;
    if (const std::size_t at = host.rfind('@'); at != std::string_view::npos) {
        host.remove_prefix(at + 1);
    }
    host = host.substr(0, host.find(':'));
    const std::string_view path = authority_end < rest.size() && rest[authority_end] == '/'
                                      ? rest.substr(authority_end)
                                      : std::string_view("/");
    return Parts{scheme == "https", authority, lowered(host), rest.substr(authority_end), path};
}

bool over_https(std::string_view url) {
    const std::optional<Parts> parts = address_parts(url);
    return parts && parts->https;
}

void keep(const ArchiveRequest& state, platform::RequestPolicy::Attempts& request) {
    request.count = state.attempts;
    request.running = state.running;
}

} // namespace

std::string archive_host(std::string_view archive) {
    const std::optional<Parts> parts = address_parts(archive);
    return parts ? parts->host : std::string();
}

ArchiveRequestPolicy::ArchiveRequestPolicy(const std::string& archive, PolitenessLimits limits)
    : m_host(archive_host(archive)), m_https(over_https(archive)), m_politeness(m_clock, limits) {}

std::string ArchiveRequestPolicy::address_of(const std::string& url) const {
    const std::optional<Parts> parts = address_parts(url);
    if (!m_https || !parts || parts->https || m_host.empty() || parts->host != m_host) {
        return url;
    }
    // The archive answers its http addresses only with a redirect to https, which would cost a
    // turn of the pace; the http port goes with the scheme.
    std::string_view authority = parts->authority;
    if (authority.ends_with(":80")) {
        authority.remove_suffix(3);
    }
    return "https://" + std::string(authority) + std::string(parts->after);
}

bool ArchiveRequestPolicy::governs(const std::string& url) const {
    const std::optional<Parts> parts = address_parts(url);
    return parts && !m_host.empty() && parts->host == m_host;
}

RequestKind ArchiveRequestPolicy::kind_of(const std::string& url) const {
    const std::optional<Parts> parts = address_parts(url);
    return request_kind(parts ? parts->path : std::string_view("/"));
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
    std::unique_ptr<ArchiveRequestPolicy>& policy = m_policies[archive_host(archive)];
    if (!policy) {
        policy = std::make_unique<ArchiveRequestPolicy>(archive);
    }
    policy->try_again();
    if (over_https(archive)) {
        policy->ask_over_https();
    }
    return *policy;
}

} // namespace archive
