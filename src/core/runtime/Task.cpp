#include "core/runtime/Task.h"

#include <cstdio>

namespace parlune {

CancelState::~CancelState() {
    if (auto parent = parent_.lock()) parent->removeOnCancel(parentRegistration_);
}

void CancelState::cancel() {
    if (cancelled_) return;
    cancelled_ = true;
    auto callbacks = std::move(callbacks_);
    callbacks_.clear();
    for (auto& [id, callback] : callbacks) callback();
}

std::uint64_t CancelState::onCancel(std::function<void()> callback) {
    if (cancelled_) {
        callback();
        return 0;
    }
    const auto id = nextId_++;
    callbacks_.emplace(id, std::move(callback));
    return id;
}

void CancelState::removeOnCancel(std::uint64_t id) {
    if (id != 0) callbacks_.erase(id);
}

std::shared_ptr<CancelState> CancelState::childOf(const std::shared_ptr<CancelState>& parent) {
    auto child = std::make_shared<CancelState>();
    if (!parent) return child;
    child->parent_ = parent;
    std::weak_ptr<CancelState> weakChild = child;
    child->parentRegistration_ = parent->onCancel([weakChild] {
        if (auto strong = weakChild.lock()) strong->cancel();
    });
    return child;
}

namespace detail {

void escapedException(const std::exception_ptr& error) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fatal: exception escaped a task: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "fatal: exception escaped a task\n");
    }
    std::fflush(stderr);
    std::terminate();
}

}  // namespace detail

TaskHandle spawn(EventLoop& loop, Task<void> task) {
    auto control = std::make_shared<TaskHandle::Control>();
    control->cancel = std::make_shared<CancelState>();
    detail::startDetached(TaskContext{&loop, control->cancel}, std::move(task), [control] { control->done = true; },
                          false);
    return TaskHandle(control);
}

bool SleepAwaiter::suspend(const TaskContext& context, std::coroutine_handle<> waiter) {
    state_ = std::make_shared<State>();
    if (context.isCancelled()) return false;  // completed stays false: resume at once
    state_->waiter = waiter;
    state_->cancel = context.cancel;
    EventLoop* loop = context.loop;
    std::shared_ptr<State> state = state_;
    state->timer = loop->postAfter(duration_, [state] {
        if (state->finished) return;
        state->finished = true;
        state->completed = true;
        if (auto cancel = state->cancel.lock()) cancel->removeOnCancel(state->registration);
        state->waiter.resume();
    });
    if (context.cancel) {
        std::weak_ptr<State> weakState = state;
        state->registration = context.cancel->onCancel([weakState, loop] {
            auto strong = weakState.lock();
            if (!strong || strong->finished) return;
            strong->finished = true;
            strong->timer.cancel();
            loop->post([strong] { strong->waiter.resume(); });
        });
    }
    return true;
}

}  // namespace parlune
