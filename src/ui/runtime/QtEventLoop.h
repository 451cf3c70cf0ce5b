#pragma once

#include "core/runtime/EventLoop.h"

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QSocketNotifier;

namespace parlune {

// The main loop of the desktop application: the Qt event loop of the thread that creates it (the
// GUI thread), so the core's tasks run beside the views. Jobs posted from other threads are queued
// events; delayed jobs are kept in due-time order on the steady clock and served by one precise
// timer; file-descriptor watches are socket notifiers. Create it after the QCoreApplication.
class QtEventLoop final : public QObject, public EventLoop {
public:
    QtEventLoop();
    ~QtEventLoop() override;
    QtEventLoop(const QtEventLoop&) = delete;
    QtEventLoop& operator=(const QtEventLoop&) = delete;

    void post(std::function<void()> job) override;
    TimerHandle postAfter(Duration delay, std::function<void()> job) override;
    TimePoint now() const override;
    WatchHandle watchReadable(int fd, std::function<void()> onReadable) override;

private:
    struct Timer {
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::function<void()> job;
    };
    struct Watch {
        std::shared_ptr<std::atomic<bool>> cancelled;
        QSocketNotifier* notifier = nullptr;
    };

    void armTimer();
    void runDueTimers();
    // Deletes the notifiers of cancelled watches (before the loop next waits on their fds).
    void dropCancelledWatches();

    std::mutex mutex_;
    std::multimap<std::pair<TimePoint, std::uint64_t>, Timer> timers_;
    std::uint64_t sequence_ = 0;
    QTimer timer_;
    std::vector<Watch> watches_;
};

}  // namespace parlune
