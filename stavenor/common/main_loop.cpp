#include "common/main_loop.h"

#include <glib.h>

#include <deque>
#include <mutex>
#include <thread>

namespace {
std::atomic<bool> stopping{false};
// Static objects are built on the thread that runs main.
const std::thread::id main_thread_id = std::this_thread::get_id();
} // namespace

Glib::RefPtr<Glib::MainLoop> main_loop()
{
    static Glib::RefPtr<Glib::MainLoop> loop = Glib::MainLoop::create();
    return loop;
}

void set_main_loop_stopping() { stopping = true; }

bool main_loop_stopping() { return stopping; }

bool on_main_thread() { return std::this_thread::get_id() == main_thread_id; }

namespace {
// Tasks pass through this queue under a mutex that ThreadSanitizer sees; the idle source only
// wakes the loop, one source per task.
std::mutex queue_mutex;
std::deque<std::function<void()>> queue;

gboolean run_one_task(gpointer)
{
    std::function<void()> task;
    {
        std::lock_guard lock(queue_mutex);
        if (queue.empty()) return G_SOURCE_REMOVE;
        task = std::move(queue.front());
        queue.pop_front();
    }
    task();
    return G_SOURCE_REMOVE;
}
} // namespace

void post_to_main(std::function<void()> task)
{
    {
        std::lock_guard lock(queue_mutex);
        queue.push_back(std::move(task));
    }
    // g_idle_add_full is safe from any thread and wakes the main context.
    g_idle_add_full(G_PRIORITY_DEFAULT, run_one_task, nullptr, nullptr);
}
