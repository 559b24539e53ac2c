#include "services/precise_delay.h"

#include <limits>

#include "tests/sim_fixture.h"

namespace tavrel {
namespace {

using PreciseDelayTest = SimTest;

TEST_F(PreciseDelayTest, DueTimeFollowsTheUnitTable) {
    struct Case { std::int32_t interval, unit; std::int64_t due; };
    const Case cases[] = {
        {1, DelayMilliseconds, -10000},
        {1000, DelayMilliseconds, -10000000},
        {7, DelayMicroseconds, -70},
        {3, DelaySeconds, -30000000},
        {2, DelayMinutes, -1200000000},
        {1, DelayHours, -36000000000},
        {1, DelayDays, -864000000000},
        {2147483647, DelayMilliseconds, -21474836470000},
        {5, 9, -50000},  // an unknown unit acts as milliseconds
        {2147483647, DelayDays, std::numeric_limits<std::int64_t>::min()},  // clamped, not undefined
    };
    for (const Case& c : cases) EXPECT_EQ(DelayDueTime(c.interval, c.unit), c.due) << c.interval << " unit " << c.unit;
}

TEST_F(PreciseDelayTest, WaitsTheVirtualTimeAndClosesItsTimer) {
    PreciseDelay(1500, DelayMilliseconds);
    EXPECT_EQ(sim::NowMilliseconds(), 1500);
    PreciseDelay(250, DelayMicroseconds);
    EXPECT_EQ(sim::NowNanoseconds(), 1500250000);
    PreciseDelay(2, DelaySeconds);
    EXPECT_EQ(sim::NowNanoseconds(), 3500250000);
    EXPECT_EQ(sim::OpenTimers(), 0);
}

TEST_F(PreciseDelayTest, BelowOneReturnsAtOnceInEveryUnit) {
    for (std::int32_t unit = 0; unit <= 5; ++unit) {
        for (std::int32_t interval : {0, -1, std::numeric_limits<std::int32_t>::min()}) PreciseDelay(interval, unit);
    }
    EXPECT_EQ(sim::NowNanoseconds(), 0);
    EXPECT_EQ(sim::OpenTimers(), 0);
}

TEST_F(PreciseDelayTest, MessagesAreDispatchedWithoutShorteningTheWait) {
    std::vector<std::int64_t> dispatchedAt;
    for (std::int64_t at : {50, 120}) {
        sim::PostMessageAt(at, [&] { dispatchedAt.push_back(sim::NowMilliseconds()); });
    }
    PreciseDelay(200, DelayMilliseconds);
    EXPECT_EQ(dispatchedAt, (std::vector<std::int64_t>{50, 120}));
    EXPECT_EQ(sim::NowMilliseconds(), 200);
    EXPECT_EQ(sim::OpenTimers(), 0);
}

TEST_F(PreciseDelayTest, AFailingTimerStillWaitsTheFullTime) {
    struct Case { bool create, arm, wait; };
    for (const Case c : {Case{true, false, false}, Case{false, true, false}, Case{false, false, true}}) {
        const std::int64_t before = sim::NowMilliseconds();
        sim::FailTimers(c.create, c.arm, c.wait);
        PreciseDelay(300, DelayMilliseconds);
        EXPECT_EQ(sim::NowMilliseconds() - before, 300) << c.create << c.arm << c.wait;
        EXPECT_EQ(sim::OpenTimers(), 0);
    }
}

}  // namespace
}  // namespace tavrel
