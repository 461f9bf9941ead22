// How PageDownloads runs from a GLib main context: curl's sockets and timer as GLib sources,
// and the idle and timed sources that deliver results and start waiting transfers.

#include "platform/page_downloads.h"

#include <algorithm>

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

} // namespace

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

void PageDownloads::wake_in(std::int64_t ms) {
    Source wake(
        g_timeout_source_new(static_cast<guint>(std::clamp<std::int64_t>(ms, 1, G_MAXUINT))));
    g_source_set_callback(wake.get(), &PageDownloads::on_wake, this, nullptr);
    g_source_attach(wake.get(), m_context.get());
    m_wake = std::move(wake);
}

} // namespace platform
