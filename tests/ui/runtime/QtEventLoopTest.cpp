#include "ui/UiTest.h"
#include "ui/runtime/QtEventLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

TEST(QtEventLoop, RunsPostsFromOtherThreadsAndTimersInDueOrderOnTheGuiThread) {
    uiApplication();
    QtEventLoop loop;
    std::vector<std::string> seen;
    bool allOnGuiThread = true;
    auto record = [&](std::string what) {
        allOnGuiThread = allOnGuiThread && QThread::currentThread() == qApp->thread();
        seen.push_back(std::move(what));
    };
    loop.postAfter(30ms, [&] { record("late"); });
    auto cancelled = loop.postAfter(10ms, [&] { record("cancelled"); });
    loop.postAfter(10ms, [&] { record("early"); });
    loop.postAfter(10ms, [&] { record("early tie"); });
    cancelled.cancel();
    std::thread poster([&] {
        loop.post([&] { record("from thread"); });
        loop.postAfter(20ms, [&] { record("timer from thread"); });
    });
    poster.join();
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 5; }));
    pump(50ms);
    // The thread's jobs come whenever it got to post them; the loop's own timers in due order.
    std::vector<std::string> timers;
    std::copy_if(seen.begin(), seen.end(), std::back_inserter(timers), [](const auto& what) { return what.find("thread") == std::string::npos; });
    EXPECT_EQ(timers, (std::vector<std::string>{"early", "early tie", "late"}));
    EXPECT_EQ(seen.size(), 5u) << "the cancelled timer never ran";
    EXPECT_TRUE(allOnGuiThread);
}

TEST(QtEventLoop, ATimerNeverRunsBeforeItsDueTimeOnTheSteadyClock) {
    uiApplication();
    QtEventLoop loop;
    const auto posted = loop.now();
    TimePoint ranAt{};
    loop.postAfter(25ms, [&] { ranAt = loop.now(); });
    ASSERT_TRUE(waitUntil([&] { return ranAt != TimePoint{}; }));
    EXPECT_GE(ranAt - posted, 25ms);
}

TEST(QtEventLoop, ServesReadableFileDescriptorsUntilTheWatchIsCancelled) {
    uiApplication();
    QtEventLoop loop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    int calls = 0;
    WatchHandle watch;
    watch = loop.watchReadable(fds[0], [&] {
        ++calls;
        char buffer[16];
        const auto n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
        if (received == "hello") watch.cancel();
    });
    std::thread writer([&] { [[maybe_unused]] auto n = ::write(fds[1], "hello", 5); });
    EXPECT_TRUE(waitUntil([&] { return received == "hello"; }));
    writer.join();
    const int callsWhenCancelled = calls;
    [[maybe_unused]] auto n = ::write(fds[1], "more", 4);
    pump(50ms);
    EXPECT_EQ(calls, callsWhenCancelled) << "a cancelled watch is not called again";
    ::close(fds[0]);
    ::close(fds[1]);
}
