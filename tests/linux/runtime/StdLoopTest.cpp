#include "linux/runtime/StdLoop.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

using namespace parlune;
using namespace std::chrono_literals;

TEST(StdLoop, ServesPostsFromOtherThreadsAndTimersUntilQuit) {
    StdLoop loop;
    std::vector<std::string> seen;
    // The other thread's post is in before the loop runs, so a busy machine cannot let the timer
    // win the race.
    std::thread poster([&] { loop.post([&] { seen.push_back("from thread"); }); });
    poster.join();
    loop.postAfter(5ms, [&] {
        seen.push_back("timer");
        loop.quit();
    });
    loop.postAfter(10s, [&] { loop.quit(); });  // a bound on the test, not a timing assertion
    loop.run();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.back(), "timer");
}

TEST(StdLoop, ServesReadableFileDescriptorsUntilTheWatchIsCancelled) {
    StdLoop loop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    WatchHandle watch;
    watch = loop.watchReadable(fds[0], [&] {
        char buffer[16];
        const auto n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
        if (received == "hello") watch.cancel();
    });
    std::thread writer([&] { [[maybe_unused]] auto n = ::write(fds[1], "hello", 5); });
    EXPECT_TRUE(loop.runUntil([&] { return received == "hello"; }, 10s));
    writer.join();
    EXPECT_FALSE(loop.runUntil([] { return false; }, 20ms)) << "runUntil gives up at its bound";
    ::close(fds[0]);
    ::close(fds[1]);
}
