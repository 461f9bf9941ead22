#pragma once
// The Wayback Machine's rules for every download from one archive host while the program runs:
// every request to it goes through one ArchivePoliteness, so what the archive said during a
// harvest still holds for the save after it.

#include "archive/archive_politeness.h"
#include "platform/request_policy.h"
#include "platform/shared_connections.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace archive {

class ArchiveRequestPolicy : public platform::RequestPolicy {
public:
    // `archive` is scheme and host as in WaybackBlog: "https://web.archive.org". Every http or
    // https address of its host is governed, whatever its scheme and port.
    explicit ArchiveRequestPolicy(const std::string& archive, PolitenessLimits limits = {});

    bool governs(const std::string& url) const override;
    // An archive given over https is asked over https only: its http addresses, which it
    // answers with a redirect to https, are asked there at once.
    std::string address_of(const std::string& url) const override;
    Permission ask(const std::string& url) const override;
    void begin(const std::string& url, Attempts& request) override;
    Next end(Attempts& request, const Answer& answer) override;
    long connect_timeout_seconds() const override { return 30; }
    // The archive refuses clients that open and close many connections: the few it allows are
    // kept alive for every request of the run.
    platform::SharedConnections* connections() override { return &m_connections; }

    // A new harvest or save: an archive found out of reach is tried again.
    void try_again() { m_politeness.try_again(); }
    // From now on the archive is asked over https only (see address_of).
    void ask_over_https() { m_https = true; }
    std::int64_t pause_seconds_left() const { return m_politeness.pause_seconds_left(); }
    bool blocked() const { return m_politeness.blocked(); }
    bool unreachable() const { return m_politeness.unreachable(); }
    // Attempts begun and not yet ended.
    int running() const { return m_politeness.running(); }

private:
    RequestKind kind_of(const std::string& url) const;

    std::string m_host; // in lower case, without a port
    bool m_https;       // the archive is asked over https
    // Outlives every transfer of the download objects this policy governs.
    platform::SharedConnections m_connections;
    SystemPolitenessClock m_clock;
    ArchivePoliteness m_politeness;
};

// The host of an archive's address ("https://web.archive.org:443" -> "web.archive.org"), in
// lower case; "" when it is not an http or https address.
std::string archive_host(std::string_view archive);

// One policy per archive host (whatever the scheme and port), kept by whoever lives as long as the
// program (the window).
class ArchivePolicies {
public:
    // The policy of `archive` (as in ArchiveRequestPolicy), made on first use, ready for a new
    // harvest or save; over https from the first run that gives the archive over https.
    ArchiveRequestPolicy& for_run(const std::string& archive);

private:
    std::map<std::string, std::unique_ptr<ArchiveRequestPolicy>> m_policies;
};

} // namespace archive
