#pragma once
// What a server allows: PageDownloads asks a policy before each attempt of a transfer the policy
// governs and tells it how the attempt ended, so one place decides pace, pauses and retries.
// Redirects of a governed transfer are followed one by one, each asked for like an attempt.

#include <cstdint>
#include <string>

namespace platform {

class SharedConnections;

class RequestPolicy {
public:
    enum class Go {
        Now,         // start the attempt
        Later,       // ask again after `wait_ms`
        WhenOneEnds, // ask again when a governed attempt has ended
        Blocked,     // the server shuts us out: give up on this request
        Unreachable, // the server does not answer at all: give up on this request
    };
    struct Permission {
        Go go = Go::Now;
        std::int64_t wait_ms = 0;
    };
    enum class Next {
        Done,        // report the answer
        Retry,       // attempt it again
        Failed,      // report the answer as it is: the attempts ran out
        Blocked,     // report the request as blocked
        Unreachable, // report the request as unanswered
    };
    // What came back for one attempt.
    struct Answer {
        long status = 0;         // 0 when no answer came
        bool cut_short = false;  // the connection broke after the status came
        bool sent = true;        // false when nothing went out
        std::string retry_after; // response headers, "" when absent
        std::string date;
    };
    // One request's attempts so far; PageDownloads keeps one per address.
    struct Attempts {
        int count = 0;
        bool running = false;
    };

    virtual ~RequestPolicy() = default;
    virtual bool governs(const std::string& url) const = 0;
    // Where a governed address is asked for: a server that answers an address only by sending
    // the client elsewhere is asked there at once, sparing it a request. `url` itself unless
    // the policy knows better.
    virtual std::string address_of(const std::string& url) const { return url; }
    virtual Permission ask(const std::string& url) const = 0;
    virtual void begin(const std::string& url, Attempts& request) = 0;
    virtual Next end(Attempts& request, const Answer& answer) = 0;
    // Seconds a governed transfer may take to connect.
    virtual long connect_timeout_seconds() const = 0;
    // Where every governed transfer, of any download object, keeps its connections alive for
    // the next; nothing when each download object keeps its own.
    virtual SharedConnections* connections() { return nullptr; }
};

} // namespace platform
