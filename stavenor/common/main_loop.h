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

// How long a handler waits for the main loop before it answers with an error.
constexpr std::chrono::milliseconds MAIN_LOOP_WAIT{10000};

// Runs `f` on the main loop and waits for its result, at most `bound`. On the main thread it runs at once.
// Returns none (false for void) when the stop began or the bound passed before `f` started; then `f`
// never runs, so it may refer to the caller's locals. Once started, `f` is waited for to its end.
template <class F>
auto run_on_main(F&& f, std::chrono::milliseconds bound = MAIN_LOOP_WAIT)
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
        bool started = false;
        bool abandoned = false;
        std::optional<Value> value;
    };
    auto state = std::make_shared<State>();
    post_to_main([state, fn = std::forward<F>(f), call]() mutable {
        {
            std::lock_guard lock(state->mutex);
            if (state->abandoned) return;
            state->started = true;
        }
        Value value = call(fn);
        std::lock_guard lock(state->mutex);
        state->value.emplace(std::move(value));
        state->done_cv.notify_all();
    });

    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::unique_lock lock(state->mutex);
    while (!state->value) {
        if (!state->started && (main_loop_stopping() || std::chrono::steady_clock::now() >= deadline)) {
            state->abandoned = true;
            return Result{};
        }
        state->done_cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    return Result(std::move(*state->value));
}
