#include "platform/page_downloads.h"

#include "platform/http_options.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include <glib-unix.h>

namespace platform {

namespace {

int curl_events(GIOCondition condition) {
    int events = 0;
    // A hang-up still leaves data to read; curl finds the end of the stream by reading.
    if ((condition & (G_IO_IN | G_IO_HUP)) != 0) {
        events |= CURL_CSELECT_IN;
    }
    if ((condition & G_IO_OUT) != 0) {
        events |= CURL_CSELECT_OUT;
    }
    if ((condition & G_IO_ERR) != 0) {
        events |= CURL_CSELECT_ERR;
    }
    return events;
}

DownloadResult blocked_result(long status) {
    return {std::nullopt, status, FetchFailure::blocked, "the server refuses us for now", {}};
}

} // namespace

PageDownloads::PageDownloads(std::vector<std::string> urls, std::size_t max_parallel,
                             Finished on_finished, HttpLimits limits)
    : PageDownloads(
          std::move(urls), max_parallel,
          [on_finished = std::move(on_finished)](std::size_t index, DownloadResult result) {
              on_finished(index, std::move(result.body), result.status);
          },
          limits) {}

PageDownloads::PageDownloads(std::vector<std::string> urls, std::size_t max_parallel,
                             FinishedWithResult on_finished, HttpLimits limits,
                             RequestPolicy* policy)
    : m_urls(std::move(urls)), m_max_parallel(max_parallel), m_on_finished(std::move(on_finished)),
      m_limits(limits), m_policy(policy), m_context(g_main_context_ref_thread_default()) {
    if (m_max_parallel == 0) {
        throw std::invalid_argument("PageDownloads: at least one download must run at a time");
    }
    if (m_policy) {
        m_attempts.resize(m_urls.size());
    }
    start_curl_once();
    m_multi.reset(curl_multi_init());
    if (!m_multi) {
        throw HttpError("libcurl could not create a multi handle");
    }
    CURLM* multi = m_multi.get();
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &PageDownloads::on_socket);
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &PageDownloads::on_timer);
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
    curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(m_max_parallel));
    start_more();
}

PageDownloads::~PageDownloads() {
    *m_alive = false;
    cancel();
}

void PageDownloads::cancel() {
    m_cancelled = true;
    m_outcomes.clear();
    if (m_multi) {
        for (auto& entry : m_running) {
            curl_multi_remove_handle(m_multi.get(), entry.first);
        }
        m_running.clear();
        // Closing the connection cache must not call back into a half-torn-down object.
        curl_multi_setopt(m_multi.get(), CURLMOPT_SOCKETFUNCTION,
                          static_cast<curl_socket_callback>(nullptr));
        curl_multi_setopt(m_multi.get(), CURLMOPT_TIMERFUNCTION,
                          static_cast<curl_multi_timer_callback>(nullptr));
        m_multi.reset();
    }
    m_watches.clear();
    m_timer.reset();
    m_delivery.reset();
    m_wake.reset();
}

void PageDownloads::rethrow_failure() const {
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
}

void PageDownloads::fail(std::exception_ptr failure) {
    m_failure = std::move(failure);
    cancel();
}

int PageDownloads::on_socket(CURL*, curl_socket_t socket, int what, void* self, void*) {
    try {
        static_cast<PageDownloads*>(self)->watch_socket(socket, what);
        return 0;
    } catch (...) {
        return -1; // curl then fails every transfer, which is reported as such
    }
}

int PageDownloads::on_timer(CURLM*, long timeout_ms, void* self) {
    try {
        static_cast<PageDownloads*>(self)->set_timer(timeout_ms);
        return 0;
    } catch (...) {
        return -1;
    }
}

gboolean PageDownloads::on_socket_ready(gint fd, GIOCondition condition, gpointer self) {
    auto* downloads = static_cast<PageDownloads*>(self);
    try {
        if ((condition & G_IO_NVAL) != 0) {
            // Closed behind our back: stop polling it rather than spin.
            downloads->m_watches.erase(fd);
            return G_SOURCE_CONTINUE;
        }
        downloads->act(fd, curl_events(condition));
    } catch (...) {
        downloads->fail(std::current_exception());
    }
    // This source may have been replaced or destroyed meanwhile; GLib copes with either.
    return G_SOURCE_CONTINUE;
}

gboolean PageDownloads::on_timeout(gpointer self) {
    auto* downloads = static_cast<PageDownloads*>(self);
    try {
        // Dropped first, so that a timer curl sets from inside the action survives.
        downloads->m_timer.reset();
        downloads->act(CURL_SOCKET_TIMEOUT, 0);
    } catch (...) {
        downloads->fail(std::current_exception());
    }
    return G_SOURCE_REMOVE;
}

gboolean PageDownloads::on_deliver(gpointer self) {
    auto* downloads = static_cast<PageDownloads*>(self);
    downloads->m_delivery.reset();
    try {
        downloads->deliver();
    } catch (...) {
        downloads->fail(std::current_exception());
    }
    return G_SOURCE_REMOVE;
}

gboolean PageDownloads::on_wake(gpointer self) {
    auto* downloads = static_cast<PageDownloads*>(self);
    downloads->m_wake.reset();
    try {
        downloads->start_more();
        downloads->deliver();
    } catch (...) {
        downloads->fail(std::current_exception());
    }
    return G_SOURCE_REMOVE;
}

void PageDownloads::watch_socket(curl_socket_t socket, int what) {
    if (what == CURL_POLL_REMOVE) {
        m_watches.erase(socket);
        return;
    }
    int condition = 0;
    if ((what & CURL_POLL_IN) != 0) {
        condition |= G_IO_IN;
    }
    if ((what & CURL_POLL_OUT) != 0) {
        condition |= G_IO_OUT;
    }
    Source source(g_unix_fd_source_new(socket, static_cast<GIOCondition>(condition)));
    g_source_set_callback(source.get(), G_SOURCE_FUNC(&PageDownloads::on_socket_ready), this,
                          nullptr);
    g_source_attach(source.get(), m_context.get());
    m_watches[socket] = std::move(source);
}

void PageDownloads::set_timer(long timeout_ms) {
    if (timeout_ms < 0) {
        m_timer.reset();
        return;
    }
    Source timer(g_timeout_source_new(static_cast<guint>(timeout_ms)));
    g_source_set_callback(timer.get(), &PageDownloads::on_timeout, this, nullptr);
    g_source_attach(timer.get(), m_context.get());
    m_timer = std::move(timer);
}

void PageDownloads::schedule_delivery() {
    if (m_delivery) {
        return;
    }
    Source idle(g_idle_source_new());
    g_source_set_callback(idle.get(), &PageDownloads::on_deliver, this, nullptr);
    g_source_attach(idle.get(), m_context.get());
    m_delivery = std::move(idle);
}

void PageDownloads::start_more() {
    std::size_t index = 0;
    while (!m_cancelled && m_running.size() < m_max_parallel && take_next(index)) {
        start(index);
    }
}

bool PageDownloads::take_next(std::size_t& index) {
    while (!m_retries.empty() || m_next < m_urls.size()) {
        const bool retry = !m_retries.empty();
        index = retry ? m_retries.front() : m_next;
        RequestPolicy::Go go = RequestPolicy::Go::Now;
        if (m_policy && m_policy->governs(m_urls[index])) {
            const RequestPolicy::Permission permission = m_policy->ask();
            go = permission.go;
            if (go == RequestPolicy::Go::Later) {
                wake_in(permission.wait_ms);
            }
            if (go == RequestPolicy::Go::Now) {
                m_policy->begin(m_attempts[index]);
            }
        }
        if (go == RequestPolicy::Go::Later || go == RequestPolicy::Go::WhenOneEnds) {
            return false;
        }
        if (retry) {
            m_retries.pop_front();
        } else {
            ++m_next;
        }
        if (go == RequestPolicy::Go::Now) {
            return true;
        }
        // Blocked: reported from the main context like any other failure.
        m_outcomes.push_back(Outcome{index, blocked_result(0)});
        schedule_delivery();
    }
    return false;
}

void PageDownloads::wake_in(std::int64_t ms) {
    Source wake(
        g_timeout_source_new(static_cast<guint>(std::clamp<std::int64_t>(ms, 1, G_MAXUINT))));
    g_source_set_callback(wake.get(), &PageDownloads::on_wake, this, nullptr);
    g_source_attach(wake.get(), m_context.get());
    m_wake = std::move(wake);
}

void PageDownloads::start(std::size_t index) {
    if (auto error = try_start(index)) {
        if (m_policy && m_attempts.size() > index && m_attempts[index].running) {
            // Nothing was sent: the attempt only gives its connection back.
            m_policy->end(m_attempts[index], RequestPolicy::Answer{0, false, {}, {}});
        }
        // Reported from the main context like any other failure, never from in here.
        m_outcomes.push_back(
            Outcome{index, {std::nullopt, 0, FetchFailure::error, std::move(*error), {}}});
        schedule_delivery();
    }
}

std::optional<std::string> PageDownloads::try_start(std::size_t index) {
    try {
        auto transfer = std::make_unique<Transfer>(index, m_limits);
        transfer->easy = make_curl_easy();
        CURL* handle = transfer->easy.get();
        configure_get(handle, m_urls[index], m_limits);
        transfer->reception.attach(handle);
        const auto entry = m_running.emplace(handle, std::move(transfer)).first;
        const CURLMcode added = curl_multi_add_handle(m_multi.get(), handle);
        if (added == CURLM_OK) {
            return std::nullopt;
        }
        m_running.erase(entry);
        return curl_multi_strerror(added);
    } catch (const HttpError& error) {
        return error.what();
    }
}

bool PageDownloads::act(curl_socket_t socket, int events) {
    if (!m_multi) {
        return true;
    }
    int still_running = 0;
    curl_multi_socket_action(m_multi.get(), socket, events, &still_running);
    collect_finished();
    start_more();
    return deliver();
}

void PageDownloads::collect_finished() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi.get(), &queued)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        CURL* handle = message->easy_handle;
        const CURLcode result = message->data.result; // `message` dies with the removal
        const auto found = m_running.find(handle);
        if (found == m_running.end()) {
            continue;
        }
        Reception& reception = found->second->reception;
        Outcome outcome{
            found->second->index,
            {std::nullopt, 0, reception.failure(result), reception.error_text(result), {}}};
        if (result == CURLE_OK) {
            outcome.result.body = reception.take_body();
        }
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.result.status);
        const char* content_type = nullptr;
        if (curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &content_type) == CURLE_OK &&
            content_type != nullptr) {
            outcome.result.content_type = content_type;
        }
        const bool settled = settle(outcome, handle, result);
        curl_multi_remove_handle(m_multi.get(), handle);
        m_running.erase(found);
        if (settled) {
            m_outcomes.push_back(std::move(outcome));
        }
    }
}

bool PageDownloads::settle(Outcome& outcome, CURL* handle, CURLcode result) {
    RequestPolicy::Attempts* attempts =
        m_policy && m_policy->governs(m_urls[outcome.index]) ? &m_attempts[outcome.index] : nullptr;
    if (!attempts || !attempts->running) {
        return true;
    }
    RequestPolicy::Answer answer;
    answer.status = outcome.result.status;
    // A firewall shutting us out refuses the connection, or drops it with no answer.
    answer.refused = result == CURLE_COULDNT_CONNECT || result == CURLE_GOT_NOTHING ||
                     result == CURLE_RECV_ERROR || result == CURLE_SEND_ERROR;
    const auto header = [handle](const char* name) {
        curl_header* found = nullptr;
        if (curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &found) == CURLHE_OK) {
            return std::string(found->value);
        }
        return std::string();
    };
    answer.retry_after = header("Retry-After");
    answer.date = header("Date");
    switch (m_policy->end(*attempts, answer)) {
    case RequestPolicy::Next::Retry:
        m_retries.push_back(outcome.index);
        return false;
    case RequestPolicy::Next::Blocked:
        outcome.result = blocked_result(outcome.result.status);
        return true;
    case RequestPolicy::Next::Done:
    case RequestPolicy::Next::Failed:
        break;
    }
    return true;
}

bool PageDownloads::deliver() {
    if (m_delivering) {
        // A callback further up the stack is running a nested loop; its loop drains the queue.
        return true;
    }
    const std::shared_ptr<bool> alive = m_alive;
    m_delivering = true;
    while (!m_cancelled && !m_outcomes.empty()) {
        Outcome outcome = std::move(m_outcomes.front());
        m_outcomes.pop_front();
        ++m_finished;
        try {
            m_on_finished(outcome.index, std::move(outcome.result));
        } catch (...) {
            if (*alive) {
                fail(std::current_exception());
            }
        }
        if (!*alive) {
            return false;
        }
    }
    m_delivering = false;
    return true;
}

} // namespace platform
