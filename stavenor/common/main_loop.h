// The main loop owns every unit-side object; other threads reach that state only through run_on_main.
#pragma once

#include <glibmm/main.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <functional>
#include <type_traits>

// The process's main loop, created on first use (not running until start-up runs it).
Glib::RefPtr<Glib::MainLoop> main_loop();

// Set once the stop has begun: threads waiting for the main loop give up instead of blocking the stop.
void set_main_loop_stopping();
bool main_loop_stopping();

bool on_main_thread();

// Queues `task` for the main loop (thread-safe; never runs it on the calling thread).
void post_to_main(std::function<void()> task);

// Runs `f` on the main loop and waits for its result. On the main thread it runs at once.
// Returns none (false for void) when the stop began before `f` ran or finished.
template <class F>
auto run_on_main(F&& f)
{
    using R = std::invoke_result_t<F&>;
    using Value = std::conditional_t<std::is_void_v<R>, bool, R>;
    using Result = std::conditional_t<std::is_void_v<R>, bool, std::optional<R>>;

    auto call = [](F& fn) -> Value {
        if constexpr (std::is_void_v<R>) {
            fn();
            return true;
        } else {
            return fn();
        }
    };
    if (on_main_thread()) return Result(call(f));

    struct State {
        std::mutex mutex;
        std::condition_variable done_cv;
        std::optional<Value> value;
    };
    auto state = std::make_shared<State>();
    post_to_main([state, fn = std::forward<F>(f), call]() mutable {
        Value value = call(fn);
        std::lock_guard lock(state->mutex);
        state->value.emplace(std::move(value));
        state->done_cv.notify_all();
    });

    std::unique_lock lock(state->mutex);
    while (!state->value) {
        if (main_loop_stopping()) return Result{};
        state->done_cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    return Result(std::move(*state->value));
}
