#include "core/update/UpdateSchedule.h"
#include "core/update/VersionComparator.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace std::chrono_literals;

TEST(VersionComparator, OrdersVersionsLikeUpdateFeedsDo) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"1.0", "1.0", 0},         {"1.0", "1.1", -1},        {"1.10", "1.9", 1},       {"1.0", "1.0.1", -1},
        {"1.0b1", "1.0", -1},      {"1.0a1", "1.0b1", -1},    {"1.0b2", "1.0b10", -1},  {"1.0rc1", "1.0", -1},
        {"2", "10", -1},           {"1.0.0", "1.0", 1},       {"1.0 beta", "1.0", 1},  {"1.0-1", "1.0.1", 0},
        {"1..0", "1.0", -1},       {"", "1", -1},             {"", "", 0},              {"1.0", "1a", 1},
        {"99999999999999999999", "1", 1},
    };
    for (const auto& c : cases) {
        const int forward = VersionComparator::compare(c.a, c.b);
        const int backward = VersionComparator::compare(c.b, c.a);
        EXPECT_EQ((forward > 0) - (forward < 0), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ((backward > 0) - (backward < 0), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(UpdateSchedule, ChecksAtMostOnceADay) {
    const auto now = std::chrono::system_clock::time_point(1'700'000'000s);
    EXPECT_EQ(UpdateSchedule::delayUntilNextCheck(std::nullopt, now), 0ms) << "never checked";
    EXPECT_EQ(UpdateSchedule::delayUntilNextCheck(now - 25h, now), 0ms);
    EXPECT_EQ(UpdateSchedule::delayUntilNextCheck(now - 24h, now), 0ms);
    EXPECT_EQ(UpdateSchedule::delayUntilNextCheck(now - 23h, now), 1h);
    EXPECT_EQ(UpdateSchedule::delayUntilNextCheck(now + 5h, now), 0ms) << "clock set back";
}
