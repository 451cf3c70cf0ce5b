#pragma once

#include "core/runtime/EventLoop.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace parlune {

// Keeps an observer registered for as long as it lives.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::shared_ptr<void> token) : token_(std::move(token)) {}
    void reset() { token_.reset(); }
    explicit operator bool() const { return token_ != nullptr; }

private:
    std::shared_ptr<void> token_;
};

// A value whose observers are told of every change made through set() (also when the new value
// equals the old one). Used on the loop's thread only.
template <class T>
class Property {
public:
    using Observer = std::function<void(const T&)>;

    Property() : observers_(std::make_shared<Observers>()) {}
    explicit Property(T initial) : value_(std::move(initial)), observers_(std::make_shared<Observers>()) {}
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;

    const T& get() const { return value_; }
    const T& operator*() const { return value_; }
    const T* operator->() const { return &value_; }

    void set(T value) {
        value_ = std::move(value);
        notify();
    }

    // Changes the value in place, then notifies.
    template <class Mutator>
    void update(Mutator&& mutate) {
        mutate(value_);
        notify();
    }

    [[nodiscard]] Subscription observe(Observer observer) const {
        const auto id = observers_->nextId++;
        observers_->list.emplace(id, std::move(observer));
        std::weak_ptr<Observers> weakObservers = observers_;
        auto token = std::shared_ptr<void>(nullptr, [weakObservers, id](void*) {
            if (auto observers = weakObservers.lock()) observers->list.erase(id);
        });
        return Subscription(token);
    }

private:
    struct Observers {
        std::uint64_t nextId = 1;
        std::map<std::uint64_t, Observer> list;
    };

    void notify() {
        // Observers may subscribe or unsubscribe while being told; work on a snapshot of ids.
        auto observers = observers_;
        std::vector<std::uint64_t> ids;
        ids.reserve(observers->list.size());
        for (const auto& entry : observers->list) ids.push_back(entry.first);
        for (auto id : ids) {
            auto found = observers->list.find(id);
            if (found == observers->list.end()) continue;
            auto observer = found->second;
            observer(value_);
        }
    }

    T value_{};
    std::shared_ptr<Observers> observers_;
};

// Copies every new value of `source` into `sink`, delivered as a later job on the loop. Nothing is
// delivered once the returned subscription is gone.
template <class T, class Sink>
[[nodiscard]] Subscription bindAsync(EventLoop& loop, const Property<T>& source, Sink sink) {
    auto alive = std::make_shared<Subscription>();
    std::weak_ptr<Subscription> weakAlive = alive;
    *alive = source.observe([&loop, weakAlive, sink](const T& value) {
        loop.post([weakAlive, sink, value] {
            if (weakAlive.lock()) sink(value);
        });
    });
    return Subscription(alive);
}

// Wraps a callback so that it does nothing once `owner` is gone.
template <class Owner, class Function>
auto weakly(const std::shared_ptr<Owner>& owner, Function function) {
    return [weakOwner = std::weak_ptr<Owner>(owner), function](auto&&... arguments) {
        if (auto strong = weakOwner.lock()) function(*strong, std::forward<decltype(arguments)>(arguments)...);
    };
}

}  // namespace parlune
