#pragma once
// The Wayback Machine's rules, for the downloads of one harvest or save: every request to the
// archive typed by the user goes through one ArchivePoliteness.

#include "archive/archive_politeness.h"
#include "platform/request_policy.h"

#include <string>

namespace platform {

class ArchiveRequestPolicy : public RequestPolicy {
public:
    // `archive` is scheme and host as in archive::WaybackBlog: "https://web.archive.org".
    explicit ArchiveRequestPolicy(const std::string& archive,
                                  archive::PolitenessLimits limits = {});

    bool governs(const std::string& url) const override;
    Permission ask() const override;
    void begin(Attempts& request) override;
    Next end(Attempts& request, const Answer& answer) override;

    std::int64_t pause_seconds_left() const { return m_politeness.pause_seconds_left(); }
    bool blocked() const { return m_politeness.blocked(); }

private:
    std::string m_prefix; // the archive's address and the "/" after its host
    archive::SystemPolitenessClock m_clock;
    archive::ArchivePoliteness m_politeness;
};

} // namespace platform
