#include "app/player.h"

#include <chrono>
#include <thread>

#include "app/window_layout.h"
#include "tests/sim_fixture.h"
#include "text/script.h"

namespace tavrel {
namespace {

struct Click {
    std::int64_t ms;
    std::int32_t x, y;
    int button;
    bool operator==(const Click&) const = default;
};
void PrintTo(const Click& c, std::ostream* os) { *os << "{" << c.ms << "ms " << c.x << "," << c.y << " b" << c.button << "}"; }

// Button presses from the sim's log, with their virtual times.
std::vector<Click> Presses() {
    std::vector<Click> out;
    for (const auto& e : sim::MouseLog()) {
        if (e.down) out.push_back({e.timeNs / 1000000, e.x, e.y, e.button});
    }
    return out;
}

ByteText L(std::int32_t x, std::int32_t y) { return FormatClickLine(LineKind::LeftClick, x, y); }
ByteText R(std::int32_t x, std::int32_t y) { return FormatClickLine(LineKind::RightClick, x, y); }

class PlayerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_TRUE(CreateMainWindow(MainWindow()));
    }
    // Starts one player on the script, stops at stopMs, and runs until every player ended.
    void Play(const ByteText& script, std::int64_t stopMs) {
        SetEditBoxText(ScriptBox, script);
        StartPlayback();
        ASSERT_TRUE(sim::RunUntil(stopMs));
        StopPlayback();
        ASSERT_TRUE(sim::RunUntilIdle());
    }
};

TEST_F(PlayerTest, TwoClickLinesStoppedInTheFirstPass) {
    Play(L(10, 20) + R(-5, 7), 500);
    EXPECT_EQ(Presses(), (std::vector<Click>{{0, 10, 20, 1}, {1000, -5, 7, 3}}));
    EXPECT_EQ(sim::NowMilliseconds(), 2000);  // the player ended after its second pause
    const auto log = sim::MouseLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_FALSE(log[1].down);  // each press followed at once by its release
    EXPECT_EQ(log[1].timeNs, log[0].timeNs);
}

TEST_F(PlayerTest, DelayLineWaitsBeforeTheNextLine) {
    Play(FormatDelayLine("500") + L(1, 2), 100);
    EXPECT_EQ(Presses(), (std::vector<Click>{{1500, 1, 2, 1}}));
    EXPECT_EQ(sim::NowMilliseconds(), 2500);
}

TEST_F(PlayerTest, DelaysThatAreNoNumberWaitNothing) {
    Play(FormatDelayLine("") + FormatDelayLine("abc") + FormatDelayLine("-300") + L(1, 2), 100);
    EXPECT_EQ(Presses(), (std::vector<Click>{{3000, 1, 2, 1}}));
}

TEST_F(PlayerTest, EveryLineCostsASecondButATrailingLineEndAddsNone) {
    // A blank line between the clicks, an unknown line after them, no extra line at the end.
    Play(L(1, 1) + "\r\n" + R(2, 2) + "note\r\n", 100);
    EXPECT_EQ(Presses(), (std::vector<Click>{{0, 1, 1, 1}, {2000, 2, 2, 3}}));
    EXPECT_EQ(sim::NowMilliseconds(), 4000);
}

TEST_F(PlayerTest, RepeatsWholePassesUntilStopped) {
    Play(L(1, 1) + R(2, 2), 2500);
    EXPECT_EQ(Presses(), (std::vector<Click>{{0, 1, 1, 1}, {1000, 2, 2, 3}, {2000, 1, 1, 1}, {3000, 2, 2, 3}}));
    EXPECT_EQ(sim::NowMilliseconds(), 4000);
}

TEST_F(PlayerTest, StopDuringTheFirstLineStillPlaysTheRestOfThePass) {
    ByteText script;
    for (int i = 0; i < 10; ++i) script += L(i, i);
    Play(script, 10);
    const auto presses = Presses();
    ASSERT_EQ(presses.size(), 10u);
    EXPECT_EQ(presses.back(), (Click{9000, 9, 9, 1}));
    EXPECT_EQ(sim::NowMilliseconds(), 10000);
}

TEST_F(PlayerTest, LeavesTheCursorAtTheLastPoint) {
    Play(L(1, 1) + R(300, 400) + FormatDelayLine("5"), 10);
    EXPECT_EQ(CursorPosition().x, 300);
    EXPECT_EQ(CursorPosition().y, 400);
}

TEST_F(PlayerTest, StopThenStartInOnePassKeepsTheFirstPlayerAndAddsASecond) {
    SetEditBoxText(ScriptBox, L(1, 1) + L(2, 2));
    StartPlayback();
    ASSERT_TRUE(sim::RunUntil(500));
    StopPlayback();
    StartPlayback();
    ASSERT_TRUE(sim::RunUntil(2200));
    EXPECT_EQ(sim::ThreadsAlive(), 2);
    StopPlayback();
    ASSERT_TRUE(sim::RunUntilIdle());
    EXPECT_EQ(Presses(), (std::vector<Click>{{0, 1, 1, 1}, {500, 1, 1, 1}, {1000, 2, 2, 1},
                                             {1500, 2, 2, 1}, {2000, 1, 1, 1}, {3000, 2, 2, 1}}));
    EXPECT_EQ(sim::NowMilliseconds(), 4000);  // the first player ran its second pass to the end
}

TEST_F(PlayerTest, AScriptEditedAfterTheStartDoesNotReachTheRunningPlayer) {
    SetEditBoxText(ScriptBox, L(1, 1));
    StartPlayback();
    ASSERT_TRUE(sim::RunUntil(100));
    SetEditBoxText(ScriptBox, R(9, 9) + R(9, 9));
    ASSERT_TRUE(sim::RunUntil(1500));
    StopPlayback();
    ASSERT_TRUE(sim::RunUntilIdle());
    EXPECT_EQ(Presses(), (std::vector<Click>{{0, 1, 1, 1}, {1000, 1, 1, 1}}));
}

TEST_F(PlayerTest, AnEmptyScriptPlaysEmptyPassesUntilStopped) {
    StartPlayback();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(sim::ThreadsAlive(), 1);  // still testing the flag, pass after empty pass
    StopPlayback();
    EXPECT_TRUE(sim::WaitThreadsDone());
    EXPECT_TRUE(Presses().empty());
    EXPECT_EQ(sim::NowMilliseconds(), 0);
}

TEST_F(PlayerTest, NothingPlaysWhenStoppedBeforeThePlayerStarts) {
    SetEditBoxText(ScriptBox, L(1, 1));
    RunningFlag.store(0);
    StartThread(ScriptPlayer, 0);
    ASSERT_TRUE(sim::RunUntilIdle());
    EXPECT_TRUE(Presses().empty());
}

}  // namespace
}  // namespace tavrel
