// The real hotkey monitor on the Win32 backend: keys injected with SendInput.
#ifndef _WIN32
#error "win32_monitor_test.cpp belongs to the Windows build"
#endif

// Before <windows.h>: its VK_ macros would rewrite the header's constants.
#include "services/hotkey_monitor.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "tests/win32/win32_test_util.h"

namespace tavrel {
namespace {

std::atomic<int> gFired{0};
std::atomic<DWORD> gFiredThread{0};

std::uint32_t CountPress(std::int32_t) {
    gFiredThread.store(GetCurrentThreadId());
    ++gFired;
    return 0;
}

TEST(Win32HotkeyMonitor, FiresOncePerPressAndNotWithOtherModifiers) {
    ClearHotkeys();
    ASSERT_NE(WatchHotkey(CountPress, VK_F7), 0);
    test::PumpFor(250);  // earlier tests moved the pointer

    struct Case {
        std::vector<WORD> modifiers;
        DWORD holdMs;
        int fires;
    };
    const Case cases[] = {
        {{}, 150, 1},
        {{}, 600, 1},  // a long hold is still one press
        {{static_cast<WORD>(VK_CONTROL)}, 150, 0},
        {{static_cast<WORD>(VK_SHIFT)}, 150, 0},
        {{}, 150, 1},  // and plain presses work again afterwards
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "modifiers " << c.modifiers.size() << ", held " << c.holdMs << " ms");
        gFired = 0;
        test::PressKey(VK_F7, c.modifiers, c.holdMs);
        test::PumpFor(200);
        EXPECT_EQ(gFired.load(), c.fires);
    }
    EXPECT_NE(gFiredThread.load(), GetCurrentThreadId()) << "the command runs on a thread of its own";
    ClearHotkeys();
}

}  // namespace
}  // namespace tavrel
