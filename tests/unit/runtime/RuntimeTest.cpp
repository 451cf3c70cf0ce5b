#include "core/runtime/Property.h"
#include "core/runtime/Task.h"
#include "core/runtime/VirtualLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

struct Trace {
    VirtualLoop& loop;
    std::vector<std::string> events;
    void add(const std::string& what) {
        events.push_back(what + "@" + std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(loop.elapsed()).count()));
    }
};

Task<int> sleepThenReturn(Trace& trace, std::string name, Duration duration, int value) {
    const bool completed = co_await sleepFor(duration);
    trace.add(name + (completed ? " slept" : " cancelled"));
    co_return completed ? value : -1;
}

}  // namespace

TEST(VirtualLoop, RunsJobsInOrderAndTimersAtTheirDueTimes) {
    VirtualLoop loop;
    Trace trace{loop, {}};
    loop.postAfter(300ms, [&] { trace.add("b"); });
    loop.postAfter(100ms, [&] {
        trace.add("a");
        loop.postAfter(100ms, [&] { trace.add("a2"); });
        loop.post([&] { trace.add("a-job"); });
    });
    auto cancelled = loop.postAfter(150ms, [&] { trace.add("never"); });
    cancelled.cancel();
    loop.post([&] { trace.add("job"); });

    loop.advance(250ms);
    EXPECT_EQ(trace.events, (std::vector<std::string>{"job@0", "a@100", "a-job@100", "a2@200"}));
    EXPECT_EQ(loop.elapsed(), 250ms);
    loop.advance(50ms);
    EXPECT_EQ(trace.events.back(), "b@300");
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(Task, SpawnRunsLaterAsItsOwnJobAndSleepsOnTheLoopClock) {
    VirtualLoop loop;
    Trace trace{loop, {}};
    auto body = [&]() -> Task<void> {
        trace.add("begin");
        const int value = co_await sleepThenReturn(trace, "child", 300ms, 7);
        trace.add("got " + std::to_string(value));
    };
    TaskHandle handle = spawn(loop, body());
    EXPECT_TRUE(trace.events.empty()) << "spawn must not run the task inline";
    loop.advance(299ms);
    EXPECT_EQ(trace.events, (std::vector<std::string>{"begin@0"}));
    EXPECT_FALSE(handle.isDone());
    loop.advance(1ms);
    EXPECT_EQ(trace.events, (std::vector<std::string>{"begin@0", "child slept@300", "got 7@300"}));
    EXPECT_TRUE(handle.isDone());
}

TEST(Task, CancellingEndsASleepAtOnceAndReachesAwaitedChildren) {
    VirtualLoop loop;
    Trace trace{loop, {}};
    auto body = [&]() -> Task<void> {
        const int value = co_await sleepThenReturn(trace, "child", 10s, 7);
        trace.add("got " + std::to_string(value));
        const bool second = co_await sleepFor(1s);  // already cancelled: returns at once
        trace.add(second ? "second slept" : "second cancelled");
    };
    TaskHandle handle = spawn(loop, body());
    loop.advance(100ms);
    handle.cancel();
    EXPECT_TRUE(trace.events.empty()) << "the woken task runs after the canceller's job";
    loop.runUntilIdle();
    EXPECT_EQ(trace.events, (std::vector<std::string>{"child cancelled@100", "got -1@100", "second cancelled@100"}));
    EXPECT_TRUE(handle.isDone());
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(Task, DroppedHandleLeavesTheTaskRunning) {
    VirtualLoop loop;
    bool finished = false;
    auto body = [&]() -> Task<void> {
        co_await sleepFor(1s);
        finished = true;
    };
    spawn(loop, body());
    loop.advance(1s);
    EXPECT_TRUE(finished);
}

TEST(Race, FirstResultWinsTheLoserIsCancelledAndTheRaceWaitsForBoth) {
    struct Case {
        Duration first, second;
        std::size_t winner;
        int value;
    };
    for (const Case& c : {Case{100ms, 10s, 0, 1}, Case{10s, 100ms, 1, 2}}) {
        VirtualLoop loop;
        Trace trace{loop, {}};
        auto body = [&]() -> Task<void> {
            auto result = co_await race(sleepThenReturn(trace, "first", c.first, 1),
                                        sleepThenReturn(trace, "second", c.second, 2));
            trace.add("winner " + std::to_string(result.winner) + " value " + std::to_string(result.value));
        };
        spawn(loop, body());
        loop.advance(20s);
        ASSERT_EQ(trace.events.size(), 3u);
        EXPECT_EQ(trace.events[0], (c.winner == 0 ? "first slept@100" : "second slept@100"));
        EXPECT_EQ(trace.events[1], (c.winner == 0 ? "second cancelled@100" : "first cancelled@100"));
        EXPECT_EQ(trace.events[2], "winner " + std::to_string(c.winner) + " value " + std::to_string(c.value) + "@100");
        EXPECT_EQ(loop.pendingTimers(), 0u);
    }
}

TEST(Race, CancellingTheAwaitingTaskCancelsBothChildren) {
    VirtualLoop loop;
    Trace trace{loop, {}};
    auto body = [&]() -> Task<void> {
        auto result = co_await race(sleepThenReturn(trace, "work", 60s, 1), sleepThenReturn(trace, "timer", 10s, 2));
        trace.add("winner " + std::to_string(result.winner));
    };
    TaskHandle handle = spawn(loop, body());
    loop.advance(2s);
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(trace.events, (std::vector<std::string>{"work cancelled@2000", "timer cancelled@2000", "winner 0@2000"}));
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(Completion, WakesEveryWaiterThroughTheLoop) {
    VirtualLoop loop;
    Completion<std::string> result;
    std::vector<std::string> got;
    auto waiter = [&](std::string name) -> Task<void> {
        std::string value = co_await result;
        got.push_back(name + ":" + value);
    };
    spawn(loop, waiter("a"));
    spawn(loop, waiter("b"));
    loop.runUntilIdle();
    result.resolve("done");
    result.resolve("ignored");
    EXPECT_TRUE(got.empty());
    loop.runUntilIdle();
    EXPECT_EQ(got, (std::vector<std::string>{"a:done", "b:done"}));
    spawn(loop, waiter("late"));  // already resolved: no suspension
    loop.runUntilIdle();
    EXPECT_EQ(got.back(), "late:done");
}

TEST(Property, TellsObserversOfEveryChangeUntilTheirSubscriptionEnds) {
    Property<int> property(1);
    std::vector<int> seen;
    auto subscription = property.observe([&](const int& value) { seen.push_back(value); });
    property.set(2);
    property.set(2);
    property.update([](int& value) { value += 1; });
    subscription.reset();
    property.set(9);
    EXPECT_EQ(seen, (std::vector<int>{2, 2, 3}));
    EXPECT_EQ(property.get(), 9);
}

TEST(Property, AsyncBindingDeliversOnALaterLoopJobAndStopsWithItsSubscription) {
    VirtualLoop loop;
    Property<bool> source(false);
    Property<bool> target(false);
    auto binding = bindAsync(loop, source, [&](bool value) { target.set(value); });
    source.set(true);
    EXPECT_FALSE(target.get());
    loop.runUntilIdle();
    EXPECT_TRUE(target.get());
    source.set(false);
    binding.reset();  // gone before delivery: nothing arrives
    loop.runUntilIdle();
    EXPECT_TRUE(target.get());
}

TEST(Weakly, DoesNothingOnceTheOwnerIsGone) {
    auto owner = std::make_shared<int>(0);
    auto callback = weakly(owner, [](int& value, int by) { value += by; });
    callback(2);
    EXPECT_EQ(*owner, 2);
    owner.reset();
    callback(3);  // must not touch freed memory (ASan watches this)
}
