#include "common/main_loop.h"

#include <glib.h>

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

void post_to_main(std::function<void()> task)
{
    // g_idle_add_full is safe from any thread and wakes the main context.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(task)),
        [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}
