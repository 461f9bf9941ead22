#pragma once
// Work that would freeze the window, run on a thread of its own. Jobs run one at a time, in the
// order they were posted; what each job leaves for the window is handed back on the thread that
// made the worker, from its GLib main context, so the window's state is only ever touched there.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <glib.h>

namespace platform {

class WorkerThread {
public:
    // `work` runs on the worker; `done` afterwards from the main context of the thread that made
    // the worker, never from within post(). Neither may throw: nothing could catch it there.
    struct Job {
        std::function<void()> work;
        std::function<void()> done;
    };

    WorkerThread();
    // Drops the jobs not yet begun and waits for the one running; no `done` runs afterwards.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void post(Job job);
    // Jobs posted whose `done` has not run yet. From the thread that made the worker.
    std::size_t unfinished() const { return m_unfinished; }

private:
    // Shared with the deliveries queued on the main context, which may outlive the worker.
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Job> waiting;
        std::deque<std::function<void()>> finished;
        bool delivery_queued = false;
        bool stopping = false;
        bool closed = false; // the worker is gone: deliveries do nothing
        std::size_t* unfinished = nullptr;
    };
    struct ContextDeleter {
        void operator()(GMainContext* context) const { g_main_context_unref(context); }
    };

    static void run(const std::shared_ptr<State>& state, GMainContext* context);
    static gboolean deliver(gpointer state);

    std::size_t m_unfinished = 0;
    std::unique_ptr<GMainContext, ContextDeleter> m_context;
    std::shared_ptr<State> m_state;
    std::thread m_thread; // last: started once everything it uses exists
};

} // namespace platform
