// Polled hotkeys: a periodic timer on the UI thread reads the keys it needs and
// fires each binding once per press. Nothing is registered with the system, so
// the keys still reach the focused program.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace tavrel {

using HotkeyCallback = ThreadRoutine;

inline constexpr std::int32_t FirstHotkeyId = 1000001;
inline constexpr std::int32_t HotkeyTimerId = 16661;
inline constexpr std::int32_t DefaultHotkeyPeriod = 10;

inline constexpr std::int32_t ModAlt = 1;    // VK_MENU
inline constexpr std::int32_t ModCtrl = 2;   // VK_CONTROL
inline constexpr std::int32_t ModShift = 4;  // VK_SHIFT
inline constexpr std::int32_t ModWin = 8;    // VK_LWIN only

// Virtual-key codes with the platform's names; <windows.h> defines the same values as macros.
#ifndef VK_SHIFT
inline constexpr std::int32_t VK_SHIFT = 16;
inline constexpr std::int32_t VK_CONTROL = 17;
inline constexpr std::int32_t VK_MENU = 18;
inline constexpr std::int32_t VK_LWIN = 91;
inline constexpr std::int32_t VK_RWIN = 92;
inline constexpr std::int32_t VK_F7 = 118;
inline constexpr std::int32_t VK_F8 = 119;
inline constexpr std::int32_t VK_F9 = 120;
inline constexpr std::int32_t VK_F10 = 121;
#endif

enum PressState : std::uint8_t { PressIdle = 0, PressLatched = 88 };

struct HotkeyEntry {
    std::int32_t id;
    HotkeyCallback routine;
    std::int32_t key;
    std::int32_t modifiers;
    std::int32_t otherKey;
    std::uint8_t pressState;
    bool direct;
};

// Binds routine to key (low 8 bits) with exactly these modifiers and, when not 0,
// another key that must be held too. The same key, modifiers and other key again
// replace the routine and direct flag and return the first id. The first binding
// starts the poll every period ms (10 when not above 0). A key whose low 8 bits
// are 0 binds nothing and returns 0. UI thread.
std::int32_t WatchHotkey(HotkeyCallback routine, std::int32_t key, std::int32_t modifiers = 0,
                         std::int32_t otherKey = 0, std::int32_t period = 0, bool direct = false);

// One tick of the poll: the timer's routine. UI thread.
void PollHotkeys();

// The bindings in registration order. UI thread.
const std::vector<HotkeyEntry>& HotkeyTable();

// Empties the table, as at start-up; the next binding starts the timer again. UI thread.
void ClearHotkeys();

}  // namespace tavrel
