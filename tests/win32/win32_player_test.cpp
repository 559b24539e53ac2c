// The real player on the Win32 backend: a script taken from the real window's
// ScriptBox is clicked onto a target window.
#ifndef _WIN32
#error "win32_player_test.cpp belongs to the Windows build"
#endif

#include <windows.h>

#include <gtest/gtest.h>

#include "app/player.h"
#include "app/window_layout.h"
#include "platform/platform.h"
#include "tests/win32/win32_test_util.h"
#include "text/script.h"

namespace tavrel {
namespace {

using test::gTarget;

TEST(Win32Player, PlaysTheScriptBoxOntoTheScreenUntilStopped) {
    ASSERT_TRUE(CreateMainWindow(MainWindow()));
    ASSERT_NE(test::CreateTarget(400, 100, 500, 400), nullptr);
    test::PumpFor(200);
    SetEditBoxText(ScriptBox, FormatClickLine(LineKind::LeftClick, 450, 200) +
                                  FormatClickLine(LineKind::RightClick, 800, 450));
    gTarget.log.clear();

    StartPlayback(0);
    // The player reads ScriptBox through this thread's messages.
    EXPECT_TRUE(test::PumpUntil([] { return test::Presses().size() >= 2; }, 8000));
    StopPlayback(0);
    const LONGLONG stoppedAt = test::CounterMilliseconds();
    // The pass in progress ends after the last line's second; then nothing more.
    test::PumpFor(2500);

    const auto presses = test::Presses();
    ASSERT_GE(presses.size(), 2u);
    EXPECT_EQ(presses[0], (test::MouseRecord{WM_LBUTTONDOWN, 450, 200, 0}));
    EXPECT_EQ(presses[1], (test::MouseRecord{WM_RBUTTONDOWN, 800, 450, 0}));
    // One second between lines; dispatch may lag a little behind the clicks.
    EXPECT_GE(presses[1].ms - presses[0].ms, 950);
    for (std::size_t i = 2; i < presses.size(); ++i) {
        EXPECT_LT(presses[i].ms, stoppedAt) << "a click after the stop";
    }
    EXPECT_EQ(presses.size(), 2u);
}

}  // namespace
}  // namespace tavrel
