#include "common/main_loop.h"

#include <glib.h>
#include <glib-unix.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include <deque>
#include <mutex>
#include <thread>

namespace {
std::atomic<bool> stopping{false};
// Static objects are built on the thread that runs main.
const std::thread::id main_thread_id = std::this_thread::get_id();
} // namespace

namespace {
void watch_tasks();
}

Glib::RefPtr<Glib::MainLoop> main_loop()
{
    static Glib::RefPtr<Glib::MainLoop> loop = [] {
        watch_tasks();
        return Glib::MainLoop::create();
    }();
    return loop;
}

void set_main_loop_stopping() { stopping = true; }

bool main_loop_stopping() { return stopping; }

bool on_main_thread() { return std::this_thread::get_id() == main_thread_id; }

namespace {
// Tasks pass through this queue under a mutex that ThreadSanitizer sees. An eventfd wakes the loop:
// no glib object is made on one thread and freed on another (glib's own locks are invisible to
// ThreadSanitizer), and the watch is made once, on the thread that sets the loop up.
std::mutex queue_mutex;
std::deque<std::function<void()>> queue;
int wake_fd = -1;

gboolean run_tasks(gint fd, GIOCondition, gpointer)
{
    uint64_t count;
    while (read(fd, &count, sizeof count) > 0) {}
    // Only the tasks queued so far: one posted meanwhile wakes the loop again, so the other sources
    // get their turn in between.
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(queue_mutex);
        tasks.swap(queue);
    }
    for (auto& task : tasks) task();
    return G_SOURCE_CONTINUE;
}

void watch_tasks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake_fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd for the main loop");
        g_unix_fd_add(wake_fd, G_IO_IN, run_tasks, nullptr);
    });
}
} // namespace

void post_to_main(std::function<void()> task)
{
    watch_tasks();
    {
        std::lock_guard lock(queue_mutex);
        queue.push_back(std::move(task));
    }
    const uint64_t one = 1;
    // Never blocks: a full counter only means that a wake-up is already pending.
    (void)!write(wake_fd, &one, sizeof one);
}
