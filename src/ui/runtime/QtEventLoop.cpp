#include "ui/runtime/QtEventLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>

namespace parlune {

QtEventLoop::QtEventLoop() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { runDueTimers(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { dropCancelledWatches(); });
    }
}

QtEventLoop::~QtEventLoop() {
    for (auto& watch : watches_) delete watch.notifier;
}

void QtEventLoop::post(std::function<void()> job) {
    // Queued calls to one receiver are delivered in posting order, from any thread.
    QMetaObject::invokeMethod(this, [job = std::move(job)] { job(); }, Qt::QueuedConnection);
}

TimerHandle QtEventLoop::postAfter(Duration delay, std::function<void()> job) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(mutex_);
        timers_.emplace(std::make_pair(now() + delay, sequence_++), Timer{cancelled, std::move(job)});
    }
    if (QThread::currentThread() == thread()) {
        armTimer();
    } else {
        QMetaObject::invokeMethod(this, [this] { armTimer(); }, Qt::QueuedConnection);
    }
    return TimerHandle(cancelled);
}

TimePoint QtEventLoop::now() const {
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

void QtEventLoop::armTimer() {
    std::lock_guard lock(mutex_);
    while (!timers_.empty() && timers_.begin()->second.cancelled->load()) timers_.erase(timers_.begin());
    if (timers_.empty()) {
        timer_.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(timers_.begin()->first.first - now());
    timer_.start(static_cast<int>(std::max<std::int64_t>(0, wait.count())));
}

void QtEventLoop::runDueTimers() {
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard lock(mutex_);
            while (!timers_.empty() && timers_.begin()->second.cancelled->load()) timers_.erase(timers_.begin());
            if (timers_.empty() || timers_.begin()->first.first > now()) break;
            job = std::move(timers_.begin()->second.job);
            timers_.erase(timers_.begin());
        }
        job();
    }
    armTimer();
}

WatchHandle QtEventLoop::watchReadable(int fd, std::function<void()> onReadable) {
    dropCancelledWatches();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [cancelled, onReadable = std::move(onReadable)] {
        if (!cancelled->load()) onReadable();
    });
    watches_.push_back(Watch{cancelled, notifier});
    return WatchHandle(cancelled);
}

void QtEventLoop::dropCancelledWatches() {
    std::erase_if(watches_, [](Watch& watch) {
        if (!watch.cancelled->load()) return false;
        watch.notifier->setEnabled(false);
        watch.notifier->deleteLater();
        return true;
    });
}

}  // namespace parlune
