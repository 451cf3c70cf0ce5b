#pragma once

// Asynchronous flows on the main loop: lazily started coroutine tasks with cooperative
// cancellation.
//
//  - spawn(loop, task) starts a task as a new job on the loop and returns a handle that can be
//    kept or dropped; cancel() on the handle reaches every child the task is awaiting.
//  - co_await child: runs a child task in the awaiting task's cancellation scope.
//  - co_await sleepFor(d): true when the time passed, false when the task was (or gets) cancelled;
//    a cancelled sleep ends at once.
//  - co_await race(a, b): runs both children, the first result wins, the loser is cancelled, and
//    the race returns once both have ended.
//  - Completion<T>: a one-shot result set on the loop, awaited by any number of tasks.
//
// Everything here is used on the loop's thread only. Resumptions caused by a cancellation or a
// completion are posted to the loop rather than run inline, so a caller of cancel() or resolve()
// finishes what it is doing before the woken task continues.

#include "core/runtime/EventLoop.h"

#include <cassert>
#include <coroutine>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace parlune {

class CancelState {
public:
    CancelState() = default;
    CancelState(const CancelState&) = delete;
    CancelState& operator=(const CancelState&) = delete;
    ~CancelState();

    bool isCancelled() const { return cancelled_; }
    void cancel();

    // Runs `callback` when this state is cancelled (at once when it already is; the result is then
    // 0). Returns an id for removeOnCancel().
    std::uint64_t onCancel(std::function<void()> callback);
    void removeOnCancel(std::uint64_t id);

    // A state that is cancelled whenever `parent` is, and can also be cancelled on its own.
    static std::shared_ptr<CancelState> childOf(const std::shared_ptr<CancelState>& parent);

private:
    bool cancelled_ = false;
    std::uint64_t nextId_ = 1;
    std::map<std::uint64_t, std::function<void()>> callbacks_;
    std::weak_ptr<CancelState> parent_;
    std::uint64_t parentRegistration_ = 0;
};

// What a running task knows about itself.
struct TaskContext {
    EventLoop* loop = nullptr;
    std::shared_ptr<CancelState> cancel;

    bool isCancelled() const { return cancel && cancel->isCancelled(); }
};

namespace detail {

struct PromiseBase {
    TaskContext context;
    std::coroutine_handle<> continuation;
    std::function<void()> onDone;
    std::exception_ptr error;

    std::suspend_always initial_suspend() noexcept { return {}; }

    struct FinalAwaiter {
        bool await_ready() noexcept { return false; }
        template <class P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> self) noexcept {
            PromiseBase& promise = self.promise();
            if (promise.continuation) return promise.continuation;
            if (promise.onDone) {
                // onDone may destroy this frame; it is moved out first and nothing touches the
                // frame afterwards.
                auto done = std::move(promise.onDone);
                done();
            }
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }
};

template <class P>
concept TaskPromise = std::is_base_of_v<PromiseBase, P>;

template <class T>
struct ValuePromise : PromiseBase {
    std::optional<T> value;
    template <class U>
    void return_value(U&& result) {
        value.emplace(std::forward<U>(result));
    }
    T take() {
        if (error) std::rethrow_exception(error);
        return std::move(*value);
    }
};

template <>
struct ValuePromise<void> : PromiseBase {
    void return_void() noexcept {}
    void take() {
        if (error) std::rethrow_exception(error);
    }
};

[[noreturn]] void escapedException(const std::exception_ptr& error) noexcept;

}  // namespace detail

template <class T = void>
class [[nodiscard]] Task {
public:
    struct promise_type : detail::ValuePromise<T> {
        Task get_return_object() { return Task(std::coroutine_handle<promise_type>::from_promise(*this)); }
    };
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept {
        if (this != &other) {
            if (handle_) handle_.destroy();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() {
        if (handle_) handle_.destroy();
    }

    bool valid() const { return static_cast<bool>(handle_); }

    // Awaiting a task runs it as a child in the awaiting task's loop and cancellation scope.
    bool await_ready() const noexcept { return false; }
    template <detail::TaskPromise P>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<P> parent) noexcept {
        auto& promise = handle_.promise();
        promise.context = parent.promise().context;
        promise.continuation = parent;
        return handle_;
    }
    T await_resume() { return handle_.promise().take(); }

    Handle release() { return std::exchange(handle_, {}); }

private:
    explicit Task(Handle handle) : handle_(handle) {}
    Handle handle_;
};

namespace detail {

// Starts `task` with the given context as a free-standing frame; `deliver` receives its result and
// the frame is destroyed right after. An exception escaping such a task is a programming error.
template <class T, class Deliver>
void startDetached(TaskContext context, Task<T> task, Deliver deliver, bool startNow) {
    auto handle = task.release();
    assert(handle);
    handle.promise().context = std::move(context);
    handle.promise().onDone = [handle, deliver = std::move(deliver)]() mutable {
        auto& promise = handle.promise();
        if (promise.error) escapedException(promise.error);
        if constexpr (std::is_void_v<T>) {
            deliver();
        } else {
            T value = std::move(*promise.value);
            deliver(std::move(value));
        }
        handle.destroy();
    };
    if (startNow) {
        handle.resume();
    } else {
        EventLoop* loop = handle.promise().context.loop;
        loop->post([handle] { handle.resume(); });
    }
}

}  // namespace detail

// Handle of a spawned task. Copies refer to the same task; dropping every copy does not stop it.
class TaskHandle {
public:
    TaskHandle() = default;

    void cancel() const {
        if (control_) control_->cancel->cancel();
    }
    bool isCancelled() const { return control_ && control_->cancel->isCancelled(); }
    bool isDone() const { return control_ && control_->done; }
    explicit operator bool() const { return control_ != nullptr; }
    bool operator==(const TaskHandle& other) const { return control_ == other.control_; }

private:
    struct Control {
        std::shared_ptr<CancelState> cancel;
        bool done = false;
    };
    explicit TaskHandle(std::shared_ptr<Control> control) : control_(std::move(control)) {}
    std::shared_ptr<Control> control_;

    friend TaskHandle spawn(EventLoop& loop, Task<void> task);
};

// Starts `task` as a new job on the loop (it runs once the current job has finished).
TaskHandle spawn(EventLoop& loop, Task<void> task);

// co_await thisTask(): the running task's loop and cancellation state.
struct ThisTaskAwaiter {
    TaskContext context;
    bool await_ready() const noexcept { return false; }
    template <detail::TaskPromise P>
    bool await_suspend(std::coroutine_handle<P> self) noexcept {
        context = self.promise().context;
        return false;
    }
    TaskContext await_resume() { return std::move(context); }
};
inline ThisTaskAwaiter thisTask() { return {}; }

// co_await sleepFor(d): true when the whole time passed, false when the task was cancelled (then it
// ends at once, without waiting for the rest of the time).
class SleepAwaiter {
public:
    explicit SleepAwaiter(Duration duration) : duration_(duration) {}

    bool await_ready() const noexcept { return false; }
    template <detail::TaskPromise P>
    bool await_suspend(std::coroutine_handle<P> self) {
        return suspend(self.promise().context, self);
    }
    bool await_resume() const noexcept { return state_ ? state_->completed : false; }

private:
    struct State {
        std::coroutine_handle<> waiter;
        std::weak_ptr<CancelState> cancel;
        std::uint64_t registration = 0;
        TimerHandle timer;
        bool finished = false;
        bool completed = false;
    };
    bool suspend(const TaskContext& context, std::coroutine_handle<> waiter);

    Duration duration_;
    std::shared_ptr<State> state_;
};
inline SleepAwaiter sleepFor(Duration duration) { return SleepAwaiter(duration); }

// A one-shot result delivered on the loop. Any number of tasks may await it; each gets a copy.
template <class T>
class Completion {
public:
    Completion() : state_(std::make_shared<State>()) {}

    // Sets the result (once; later calls are ignored) and wakes the waiters through their loop.
    void resolve(T value) {
        if (state_->value) return;
        state_->value.emplace(std::move(value));
        auto waiters = std::move(state_->waiters);
        state_->waiters.clear();
        for (auto& [loop, waiter] : waiters) {
            loop->post([handle = waiter] { handle.resume(); });
        }
    }
    bool isResolved() const { return state_->value.has_value(); }
    const std::optional<T>& value() const { return state_->value; }

    struct Awaiter {
        std::shared_ptr<typename Completion::State> state;
        bool await_ready() const noexcept { return state->value.has_value(); }
        template <detail::TaskPromise P>
        void await_suspend(std::coroutine_handle<P> self) {
            state->waiters.emplace_back(self.promise().context.loop, self);
        }
        T await_resume() const { return *state->value; }
    };
    Awaiter operator co_await() const { return Awaiter{state_}; }

private:
    struct State {
        std::optional<T> value;
        std::vector<std::pair<EventLoop*, std::coroutine_handle<>>> waiters;
    };
    std::shared_ptr<State> state_;
};

struct Done {};
// A one-shot signal: Completion without a value.
using AsyncEvent = Completion<Done>;

template <class T>
struct RaceResult {
    std::size_t winner;  // 0 for the first task, 1 for the second
    T value;
};

// Runs both tasks as children of the awaiting task. The first to produce its result wins and the
// other is cancelled; the race returns the winner's result once both have ended. Cancelling the
// awaiting task cancels both.
template <class T>
Task<RaceResult<T>> race(Task<T> first, Task<T> second) {
    TaskContext context = co_await thisTask();
    struct State {
        std::optional<RaceResult<T>> result;
        int running = 2;
        std::shared_ptr<CancelState> scopes[2];
        AsyncEvent allEnded;
    };
    auto state = std::make_shared<State>();
    state->scopes[0] = CancelState::childOf(context.cancel);
    state->scopes[1] = CancelState::childOf(context.cancel);
    Task<T>* children[2] = {&first, &second};
    for (std::size_t index = 0; index < 2; ++index) {
        TaskContext childContext{context.loop, state->scopes[index]};
        detail::startDetached(
            childContext, std::move(*children[index]),
            [state, index](T value) {
                if (!state->result) {
                    state->result.emplace(RaceResult<T>{index, std::move(value)});
                    state->scopes[1 - index]->cancel();
                }
                if (--state->running == 0) state->allEnded.resolve(Done{});
            },
            true);
    }
    co_await state->allEnded;
    co_return std::move(*state->result);
}

}  // namespace parlune
