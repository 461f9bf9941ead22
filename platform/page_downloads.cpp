#include "platform/page_downloads.h"

#include "platform/http_options.h"
#include "platform/shared_connections.h"

#include <stdexcept>
#include <utility>

namespace platform {

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
                             RequestPolicy* policy, std::function<bool()> hold_back)
    : m_urls(std::move(urls)), m_max_parallel(max_parallel), m_on_finished(std::move(on_finished)),
      m_limits(limits), m_policy(policy), m_hold_back(std::move(hold_back)),
      m_context(g_main_context_ref_thread_default()) {
    if (m_max_parallel == 0) {
        throw std::invalid_argument("PageDownloads: at least one download must run at a time");
    }
    if (m_policy) {
        m_governed.resize(m_urls.size());
        for (std::string& url : m_urls) {
            url = m_policy->address_of(url);
        }
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
            give_back(entry.second->index);
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

void PageDownloads::start_more() {
    std::size_t index = 0;
    while (!m_cancelled && m_running.size() < m_max_parallel && take_next(index)) {
        start(index);
    }
}

void PageDownloads::start(std::size_t index) {
    if (auto error = try_start(index)) {
        give_back(index);
        // Reported from the main context like any other failure, never from in here.
        m_outcomes.push_back(
            Outcome{index, {std::nullopt, 0, FetchFailure::error, std::move(*error), {}, {}}});
        schedule_delivery();
    }
}

std::optional<std::string> PageDownloads::try_start(std::size_t index) {
    try {
        auto transfer = std::make_unique<Transfer>(index, m_limits);
        transfer->easy = make_curl_easy();
        CURL* handle = transfer->easy.get();
        configure_get(handle, m_urls[index], m_limits);
        if (m_policy) {
            // Each redirect is followed here, so that every hop into the governed server goes
            // through the policy, wherever the chain began.
            set_option(handle, CURLOPT_FOLLOWLOCATION, 0L);
        }
        if (governed(index)) {
            set_option(handle, CURLOPT_CONNECTTIMEOUT, m_policy->connect_timeout_seconds());
            if (SharedConnections* connections = m_policy->connections()) {
                connections->use_in(handle);
            }
        }
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
            {std::nullopt, 0, reception.failure(result), reception.error_text(result), {}, {}}};
        if (result == CURLE_OK) {
            outcome.result.body = reception.take_body();
        }
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.result.status);
        const char* content_type = nullptr;
        if (curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &content_type) == CURLE_OK &&
            content_type != nullptr) {
            outcome.result.content_type = content_type;
        }
        const char* address = nullptr;
        if (curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &address) == CURLE_OK &&
            address != nullptr) {
            outcome.result.address = address;
        }
        const bool settled = settle(outcome, handle, result);
        curl_multi_remove_handle(m_multi.get(), handle);
        m_running.erase(found);
        if (settled) {
            m_outcomes.push_back(std::move(outcome));
        }
    }
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
