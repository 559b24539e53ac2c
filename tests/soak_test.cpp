// Long runs on the simulated machine: many passes and many waits leave no timer behind.
#include "app/player.h"

#include "app/window_layout.h"
#include "services/precise_delay.h"
#include "tests/sim_fixture.h"
#include "text/script.h"

namespace tavrel {
namespace {

using SoakTest = SimTest;

int Presses() {
    int count = 0;
    for (const auto& e : sim::MouseLog()) count += e.down ? 1 : 0;
    return count;
}

TEST_F(SoakTest, TenThousandPassesHoldAtMostOneTimerAndEndClean) {
    ASSERT_TRUE(CreateMainWindow(MainWindow()));
    // A click and a short delay: a pass lasts 1000 + 10 + 1000 ms.
    SetEditBoxText(ScriptBox, FormatClickLine(LineKind::LeftClick, 3, 4) + FormatDelayLine("10"));
    constexpr std::int64_t PassMs = 2010;
    constexpr int Passes = 10000;
    StartPlayback();
    int mostOpen = 0;
    // Steps of a hundred passes, each ending inside a pass's first pause.
    for (int done = 0; done < Passes; done += 100) {
        ASSERT_TRUE(sim::RunUntil((done + 100) * PassMs - PassMs / 2)) << "after " << done << " passes";
        mostOpen = std::max(mostOpen, sim::OpenTimers());
        ASSERT_EQ(sim::ThreadsAlive(), 1);
    }
    StopPlayback();
    ASSERT_TRUE(sim::RunUntilIdle());
    EXPECT_LE(mostOpen, 1);
    EXPECT_EQ(sim::OpenTimers(), 0);
    EXPECT_EQ(Presses(), Passes);
    EXPECT_EQ(sim::NowMilliseconds(), Passes * PassMs);  // the last pass ran to its end
}

TEST_F(SoakTest, HundredThousandDelaysCloseEveryTimer) {
    struct Case {
        std::int32_t interval, unit;
        std::int64_t eachNs;
    };
    // Plain waits, and waits with a message arriving inside each.
    for (const Case c : {Case{1, DelayMicroseconds, 1000}, Case{2, DelayMilliseconds, 2000000}}) {
        SCOPED_TRACE(c.unit);
        sim::Reset();
        for (int i = 0; i < 100000; ++i) PreciseDelay(c.interval, c.unit);
        EXPECT_EQ(sim::NowNanoseconds(), 100000 * c.eachNs);
        EXPECT_EQ(sim::OpenTimers(), 0);
    }
    sim::Reset();
    int dispatched = 0;
    for (int i = 0; i < 100000; ++i) {
        sim::PostMessageAt(sim::NowMilliseconds() + 1, [&] { ++dispatched; });
        PreciseDelay(2, DelayMilliseconds);
    }
    EXPECT_EQ(dispatched, 100000);
    EXPECT_EQ(sim::NowMilliseconds(), 200000);
    EXPECT_EQ(sim::OpenTimers(), 0);
}

}  // namespace
}  // namespace tavrel
