// The hotkey monitor and the script player on the real X11 backend and FLTK loop.
#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros (None, Bool) would clash with its names.
#include <FL/Fl.H>

#include <atomic>

#include "app/player.h"
#include "app/window_layout.h"
#include "platform/platform.h"
#include "services/hotkey_monitor.h"
#include "text/script.h"
#include "x11_test_support.h"

namespace {

using namespace tavrel;
using namespace x11test;

class ServicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { created = CreateMainWindow(MainWindow()); }
    void SetUp() override {
        ASSERT_TRUE(created);
        target = OpenTarget(700, 400, 300, 200);
        ASSERT_NE(target.display, nullptr);
    }
    void TearDown() override { CloseTarget(target); }

    // Runs the FLTK loop on this thread for ms while reading the target's events;
    // stop, when given, ends it early.
    std::vector<Seen> LoopAndCollect(int ms, const std::function<bool(const std::vector<Seen>&)>& stop = {}) {
        std::vector<Seen> seen;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            Fl::wait(0.005);
            while (XPending(target.display) > 0) {
                Seen s{};
                XNextEvent(target.display, &s.event);
                s.at = Clock::now();
                seen.push_back(s);
                if (stop && stop(seen)) return seen;
            }
        }
        return seen;
    }

    static inline bool created = false;
    Target target;
};

std::atomic<int> gFired{0};
std::uint32_t CountFire(std::int32_t) {
    ++gFired;
    return 0;
}

TEST_F(ServicesTest, MonitorFiresOncePerPressAndLeavesTheKeyToTheFocusedWindow) {
    ClearHotkeys();
    WatchHotkey(CountFire, VK_F7);
    Focus(target);
    LoopAndCollect(30);

    gFired = 0;
    Key(target.display, XK_F7, true);
    auto seen = LoopAndCollect(50);
    Key(target.display, XK_F7, false);
    auto after = LoopAndCollect(300);
    seen.insert(seen.end(), after.begin(), after.end());
    EXPECT_EQ(gFired.load(), 1);
    const auto keys = OfType(seen, KeyPress);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].event.xkey.keycode, XKeysymToKeycode(target.display, XK_F7));

    gFired = 0;
    Key(target.display, XK_Control_L, true);
    LoopAndCollect(30);
    Key(target.display, XK_F7, true);
    LoopAndCollect(50);
    Key(target.display, XK_F7, false);
    Key(target.display, XK_Control_L, false);
    LoopAndCollect(300);
    EXPECT_EQ(gFired.load(), 0);
    ClearHotkeys();
}

TEST_F(ServicesTest, PlayerClicksEachLineASecondApartAndStopsAfterThePass) {
    const ClickPoint left{750, 450}, right{820, 520};
    SetEditBoxText(ScriptBox, FormatClickLine(LineKind::LeftClick, left.x, left.y) +
                                  FormatClickLine(LineKind::RightClick, right.x, right.y));
    StartPlayback();
    auto presses = [](const std::vector<Seen>& s) { return OfType(s, ButtonPress); };
    auto seen = LoopAndCollect(3000, [&](const auto& s) { return !presses(s).empty(); });
    StopPlayback();  // during the first pass: it still ends
    auto rest = LoopAndCollect(3000, [&](const auto& s) { return !presses(s).empty(); });
    seen.insert(seen.end(), rest.begin(), rest.end());
    const auto quiet = LoopAndCollect(2500);  // the pass ends a second after its last line

    const auto pressed = presses(seen);
    ASSERT_EQ(pressed.size(), 2u);
    EXPECT_EQ(pressed[0].event.xbutton.button, 1u);
    EXPECT_EQ(pressed[0].event.xbutton.x_root, left.x);
    EXPECT_EQ(pressed[0].event.xbutton.y_root, left.y);
    EXPECT_EQ(pressed[1].event.xbutton.button, 3u);
    EXPECT_EQ(pressed[1].event.xbutton.x_root, right.x);
    EXPECT_EQ(pressed[1].event.xbutton.y_root, right.y);
    // Server timestamps: when the pressed happened, not when they were read.
    const auto gap = static_cast<long>(pressed[1].event.xbutton.time - pressed[0].event.xbutton.time);
    EXPECT_GE(gap, 990);
    EXPECT_LT(gap, 2000);
    EXPECT_TRUE(presses(quiet).empty());
}

}  // namespace
