#include "services/hotkey_monitor.h"

#include <atomic>
#include <thread>

#include "tests/sim_fixture.h"

namespace tavrel {
namespace {

std::atomic<int> gFired{0};
std::atomic<std::int32_t> gLastId{0};
std::atomic<bool> gOnPollingThread{false};
std::thread::id gPollingThread;

std::uint32_t Count(std::int32_t id) {
    gLastId = id;
    gOnPollingThread = std::this_thread::get_id() == gPollingThread;
    ++gFired;
    return 0;
}
std::uint32_t Other(std::int32_t) { return 0; }

class HotkeyMonitorTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        gFired = 0;
        gLastId = 0;
        gPollingThread = std::this_thread::get_id();
    }
    // One tick, then the fired routines' threads have ended.
    void Tick() {
        sim::Tick();
        ASSERT_TRUE(sim::WaitThreadsDone());
    }
    void Press(std::int32_t key) { sim::SetKey(key, true); Tick(); }
    void Release(std::int32_t key) { sim::SetKey(key, false); Tick(); }
};

TEST_F(HotkeyMonitorTest, IdsAreConsecutiveAndOnlyTheFirstBindingStartsTheTimer) {
    EXPECT_EQ(WatchHotkey(Count, VK_F7, 0, 0, 25), FirstHotkeyId);
    EXPECT_EQ(WatchHotkey(Count, VK_F8, 0, 0, 50), FirstHotkeyId + 1);
    EXPECT_EQ(WatchHotkey(Count, VK_F9), FirstHotkeyId + 2);
    EXPECT_EQ(WatchHotkey(Count, VK_F10), FirstHotkeyId + 3);
    const auto timer = sim::PeriodicTimer();
    EXPECT_EQ(timer.starts, 1);
    EXPECT_EQ(timer.id, HotkeyTimerId);
    EXPECT_EQ(timer.period, 25);
    EXPECT_EQ(timer.routine, &PollHotkeys);
    ASSERT_EQ(HotkeyTable().size(), 4u);
    EXPECT_EQ(HotkeyTable()[3].key, VK_F10);
    EXPECT_EQ(HotkeyTable()[3].pressState, PressIdle);
}

TEST_F(HotkeyMonitorTest, PeriodDefaultsToTenMilliseconds) {
    WatchHotkey(Count, VK_F7, 0, 0, -5);
    EXPECT_EQ(sim::PeriodicTimer().period, 10);
}

TEST_F(HotkeyMonitorTest, SameBindingReplacesRoutineAndDirectFlag) {
    const std::int32_t id = WatchHotkey(Other, VK_F7);
    EXPECT_EQ(WatchHotkey(Count, VK_F7 + 256, 0, 0, 0, true), id);  // only the low 8 bits of the key count
    EXPECT_EQ(WatchHotkey(Count, VK_F7, ModCtrl), id + 1);           // other modifiers: a row of its own
    EXPECT_EQ(WatchHotkey(Count, VK_F7, 0, 'A'), id + 2);            // other key: a row of its own
    ASSERT_EQ(HotkeyTable().size(), 3u);
    EXPECT_EQ(HotkeyTable()[0].routine, &Count);
    EXPECT_TRUE(HotkeyTable()[0].direct);
    EXPECT_EQ(sim::PeriodicTimer().starts, 1);
}

TEST_F(HotkeyMonitorTest, KeyCodeZeroBindsNothing) {
    EXPECT_EQ(WatchHotkey(Count, 0), 0);
    EXPECT_EQ(WatchHotkey(Count, 512), 0);
    EXPECT_TRUE(HotkeyTable().empty());
    EXPECT_EQ(sim::PeriodicTimer().starts, 0);
}

TEST_F(HotkeyMonitorTest, FiresOncePerPressOnItsOwnThreadWithItsId) {
    const std::int32_t id = WatchHotkey(Count, VK_F7);
    Press(VK_F7);
    EXPECT_EQ(gFired, 1);
    EXPECT_EQ(gLastId, id);
    EXPECT_FALSE(gOnPollingThread);
    EXPECT_EQ(HotkeyTable()[0].pressState, PressLatched);
    for (int i = 0; i < 100; ++i) Tick();  // held for a second of ticks
    EXPECT_EQ(gFired, 1);
    Release(VK_F7);
    EXPECT_EQ(HotkeyTable()[0].pressState, PressIdle);
    Press(VK_F7);
    EXPECT_EQ(gFired, 2);
}

TEST_F(HotkeyMonitorTest, DirectRoutineRunsOnThePollingThread) {
    WatchHotkey(Count, VK_F7, 0, 0, 0, true);
    sim::SetKey(VK_F7, true);
    sim::Tick();  // no waiting: the routine has run when the tick returns
    EXPECT_EQ(gFired, 1);
    EXPECT_TRUE(gOnPollingThread);
    EXPECT_EQ(sim::ThreadsAlive(), 0);
}

TEST_F(HotkeyMonitorTest, TickReadsTheBoundKeysAndTheFourModifiers) {
    WatchHotkey(Count, VK_F7, 0, 'Q');
    WatchHotkey(Count, VK_F8);
    sim::Tick();
    auto codes = sim::LastReadCodes();
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<std::int32_t>{VK_SHIFT, VK_CONTROL, VK_MENU, 'Q', VK_LWIN, VK_F7, VK_F8}));
}

TEST_F(HotkeyMonitorTest, ModifiersMustMatchExactly) {
    struct Case { std::int32_t held; std::int32_t rowModifiers; bool fires; };
    const Case cases[] = {
        {0, 0, true},
        {VK_CONTROL, 0, false},
        {VK_MENU, 0, false},
        {VK_SHIFT, 0, false},
        {VK_LWIN, 0, false},
        {VK_RWIN, 0, true},  // the right Windows key is not examined
        {VK_CONTROL, ModCtrl, true},
        {0, ModCtrl, false},
        {VK_SHIFT, ModCtrl, false},
    };
    for (const Case& c : cases) {
        SetUp();
        WatchHotkey(Count, VK_F7, c.rowModifiers);
        if (c.held != 0) sim::SetKey(c.held, true);
        Press(VK_F7);
        EXPECT_EQ(gFired, c.fires ? 1 : 0) << "held " << c.held << " row modifiers " << c.rowModifiers;
    }
}

TEST_F(HotkeyMonitorTest, AllFourModifiersTogether) {
    WatchHotkey(Count, VK_F7, ModAlt | ModCtrl | ModShift | ModWin);
    for (std::int32_t key : {VK_MENU, VK_CONTROL, VK_SHIFT, VK_LWIN}) sim::SetKey(key, true);
    Press(VK_F7);
    EXPECT_EQ(gFired, 1);
}

TEST_F(HotkeyMonitorTest, APressUsedUpByAWrongModifierStaysUsedUp) {
    WatchHotkey(Count, VK_F7);
    sim::SetKey(VK_CONTROL, true);
    Press(VK_F7);
    Release(VK_CONTROL);  // F7 still held: nothing fires
    Tick();
    EXPECT_EQ(gFired, 0);
    Release(VK_F7);
    Press(VK_F7);
    EXPECT_EQ(gFired, 1);
}

TEST_F(HotkeyMonitorTest, ATapBetweenTwoTicksIsMissed) {
    WatchHotkey(Count, VK_F7);
    sim::Tap(VK_F7);
    Tick();
    EXPECT_EQ(gFired, 0);
    EXPECT_EQ(HotkeyTable()[0].pressState, PressIdle);
}

TEST_F(HotkeyMonitorTest, APositiveStateLeavesALatchedRowLatched) {
    WatchHotkey(Count, VK_F7);
    Press(VK_F7);
    sim::SetKey(VK_F7, false);
    sim::Tap(VK_F7);  // released and pressed again between ticks: only the low bit shows
    Tick();
    EXPECT_EQ(HotkeyTable()[0].pressState, PressLatched);
    sim::SetKey(VK_F7, true);
    Tick();
    EXPECT_EQ(gFired, 1);  // still latched: the new press was not seen up first
}

TEST_F(HotkeyMonitorTest, OtherKeyMustBeHeldAtTheFirstTick) {
    WatchHotkey(Count, VK_F7, 0, 'A');
    Press(VK_F7);
    EXPECT_EQ(gFired, 0);
    sim::SetKey('A', true);
    Tick();
    EXPECT_EQ(gFired, 0);  // used up
    Release(VK_F7);
    Press(VK_F7);
    EXPECT_EQ(gFired, 1);
}

}  // namespace
}  // namespace tavrel
