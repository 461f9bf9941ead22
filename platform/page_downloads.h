#pragma once
// Downloads a list of pages a few at a time without blocking the thread: libcurl's multi
// interface runs from the GLib main context of the thread that made the object, so the window
// stays live while the caller waits in a nested loop.

#include "platform/http.h"
#include "platform/http_options.h"
#include "platform/request_policy.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <curl/curl.h>
#include <glib.h>

namespace platform {

// What one download came to.
struct DownloadResult {
    // The raw body whatever the status code; nullopt when no whole response could be had within
    // the limits.
    std::optional<std::string> body;
    long status = 0; // the HTTP status code, 0 when no response began
    FetchFailure failure = FetchFailure::none;
    std::string error;        // what went wrong, in a few words; empty when nothing did
    std::string content_type; // the response's Content-Type as sent; empty when none
    std::string address;      // where the answer came from, after redirects; empty when none
};

class PageDownloads {
public:
    // `body` and `status` as in DownloadResult.
    using Finished =
        std::function<void(std::size_t index, std::optional<std::string> body, long status)>;
    using FinishedWithResult = std::function<void(std::size_t index, DownloadResult result)>;

    // Starts the addresses in list order, at most `max_parallel` (at least 1) at a time.
    // `on_finished` runs from the main context, once per address, in the order the downloads end.
    // It may call cancel() or destroy this object. The addresses `policy` governs wait for its
    // leave before each attempt and are retried as it says; each address, and each hop, is
    // asked for where the policy's address_of() says. With a policy every redirect is
    // followed here one hop at a time, each hop into what it governs asked for like an attempt
    // (at most 5 such hops, 20 in all); it must outlive this object, and every attempt it let
    // begin is ended in it exactly once, whether the transfer ends, fails or is cancelled. A
    // request it keeps waiting for a connection asks again within 200 ms, so that a connection
    // freed by another download object is taken up.
    // While `hold_back` says so, no transfer or retry starts (it is asked again a little later):
    // a caller that cannot keep up with what comes holds the rest back there.
    PageDownloads(std::vector<std::string> urls, std::size_t max_parallel,
                  FinishedWithResult on_finished, HttpLimits limits = {},
                  RequestPolicy* policy = nullptr, std::function<bool()> hold_back = {});
    PageDownloads(std::vector<std::string> urls, std::size_t max_parallel, Finished on_finished,
                  HttpLimits limits = {});
    ~PageDownloads();
    PageDownloads(const PageDownloads&) = delete;
    PageDownloads& operator=(const PageDownloads&) = delete;

    std::size_t running_count() const { return m_running.size(); }
    // Downloads running or ended but not yet reported: what holds memory here.
    std::size_t unreported_count() const { return m_running.size() + m_outcomes.size(); }
    // Every address has been reported, or the rest was cancelled.
    bool done() const { return m_cancelled || m_finished == m_urls.size(); }
    // Aborts the running transfers, giving their attempts back to the policy; no callback comes
    // afterwards.
    void cancel();
    // When `on_finished` threw (or the bookkeeping ran out of memory), the rest was cancelled;
    // this rethrows that exception. It is lost if `on_finished` also destroyed this object.
    void rethrow_failure() const;

private:
    struct MultiDeleter {
        void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
    };
    struct SourceDeleter {
        void operator()(GSource* source) const {
            g_source_destroy(source);
            g_source_unref(source);
        }
    };
    struct ContextDeleter {
        void operator()(GMainContext* context) const { g_main_context_unref(context); }
    };
    using Multi = std::unique_ptr<CURLM, MultiDeleter>;
    using Source = std::unique_ptr<GSource, SourceDeleter>;
    using Context = std::unique_ptr<GMainContext, ContextDeleter>;

    struct Transfer {
        Transfer(std::size_t index, const HttpLimits& limits) : index(index), reception(limits) {}
        std::size_t index;
        Reception reception; // before the handle, which points at it until it is cleaned up
        CurlEasy easy;
    };
    struct Outcome {
        std::size_t index = 0;
        DownloadResult result;
    };

    static int on_socket(CURL* easy, curl_socket_t socket, int what, void* self, void* socket_data);
    static int on_timer(CURLM* multi, long timeout_ms, void* self);
    static gboolean on_socket_ready(gint fd, GIOCondition condition, gpointer self);
    static gboolean on_timeout(gpointer self);
    static gboolean on_deliver(gpointer self);
    static gboolean on_wake(gpointer self);

    void watch_socket(curl_socket_t socket, int what);
    void set_timer(long timeout_ms);
    void schedule_delivery();
    void start_more();
    // The next address to try, retries first; false when none may start now.
    bool take_next(std::size_t& index);
    void wake_in(std::int64_t ms);
    bool governed(std::size_t index) const;
    // Tells the policy that the running attempt of `index`, if any, ended without an answer.
    void give_back(std::size_t index) noexcept;
    // What the policy makes of an ended governed transfer; false when it is tried again or its
    // redirect followed.
    bool settle(Outcome& outcome, CURL* handle, CURLcode result);
    // True when the answer is a redirect, which is then asked for next.
    bool follow_redirect(Outcome& outcome, CURL* handle);
    void start(std::size_t index);
    // Adds the transfer to the multi handle; what went wrong when it could not.
    std::optional<std::string> try_start(std::size_t index);
    void collect_finished();
    // Runs curl on `socket` and reports what ended. False when `on_finished` destroyed us.
    bool act(curl_socket_t socket, int events);
    bool deliver();
    void fail(std::exception_ptr failure);

    std::vector<std::string> m_urls;
    std::size_t m_max_parallel;
    FinishedWithResult m_on_finished;
    HttpLimits m_limits;
    RequestPolicy* m_policy;
    std::function<bool()> m_hold_back;
    Context m_context;

    std::size_t m_next = 0;
    std::deque<std::size_t> m_retries;
    struct Governed {
        RequestPolicy::Attempts attempts;
        int redirects = 0; // hops into what the policy governs
        int hops = 0;      // every hop
    };
    std::vector<Governed> m_governed; // one per address when a policy is given
    std::size_t m_finished = 0;
    bool m_cancelled = false;
    bool m_delivering = false;
    std::exception_ptr m_failure;
    // Shared with the callbacks running now, so they notice when `on_finished` destroys us.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    // Declared before the multi handle: the multi's callbacks reach into these.
    std::map<CURL*, std::unique_ptr<Transfer>> m_running;
    std::deque<Outcome> m_outcomes;
    std::map<curl_socket_t, Source> m_watches;
    Source m_timer;
    Source m_delivery;
    Source m_wake;
    Multi m_multi;
};

} // namespace platform
