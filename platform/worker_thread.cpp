#include "platform/worker_thread.h"

#include <utility>

namespace platform {

WorkerThread::WorkerThread()
    : m_context(g_main_context_ref_thread_default()), m_state(std::make_shared<State>()) {
    m_state->unfinished = &m_unfinished;
    m_thread = std::thread(&WorkerThread::run, m_state, m_context.get());
}

WorkerThread::~WorkerThread() {
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        m_state->waiting.clear();
    }
    m_state->wake.notify_all();
    m_thread.join();
    const std::lock_guard lock(m_state->mutex);
    m_state->closed = true;
    m_state->finished.clear();
}

void WorkerThread::post(Job job) {
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->waiting.push_back(std::move(job));
    }
    ++m_unfinished;
    m_state->wake.notify_one();
}

void WorkerThread::run(const std::shared_ptr<State>& state, GMainContext* context) {
    std::unique_lock lock(state->mutex);
    while (true) {
        state->wake.wait(lock, [&] { return state->stopping || !state->waiting.empty(); });
        if (state->stopping) {
            return;
        }
        Job job = std::move(state->waiting.front());
        state->waiting.pop_front();
        lock.unlock();
        job.work();
        job.work = nullptr; // what the work held goes now, on this thread
        lock.lock();
        state->finished.push_back(std::move(job.done));
        if (!state->delivery_queued) {
            state->delivery_queued = true;
            GSource* idle = g_idle_source_new();
            g_source_set_callback(
                idle, &WorkerThread::deliver, new std::shared_ptr<State>(state),
                [](gpointer data) { delete static_cast<std::shared_ptr<State>*>(data); });
            g_source_attach(idle, context);
            g_source_unref(idle);
        }
    }
}

gboolean WorkerThread::deliver(gpointer data) {
    const std::shared_ptr<State> state = *static_cast<std::shared_ptr<State>*>(data);
    std::deque<std::function<void()>> finished;
    {
        const std::lock_guard lock(state->mutex);
        state->delivery_queued = false;
        if (state->closed) {
            return G_SOURCE_REMOVE;
        }
        finished.swap(state->finished);
    }
    for (std::function<void()>& done : finished) {
        // A `done` may end the worker (and with it `unfinished`); what is left is dropped then.
        {
            const std::lock_guard lock(state->mutex);
            if (state->closed) {
                break;
            }
        }
        --*state->unfinished;
        if (done) {
            done();
        }
    }
    return G_SOURCE_REMOVE;
}

} // namespace platform
