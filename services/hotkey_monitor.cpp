#include "services/hotkey_monitor.h"

#include <algorithm>

namespace tavrel {

namespace {

struct MonitorState {
    std::vector<HotkeyEntry> table;
    std::vector<std::int32_t> codes;  // what each tick reads: bound keys, other keys, modifiers
};
MonitorState gMonitor;

bool IsDown(const KeySnapshot& snapshot, std::int32_t code) {
    return code >= 1 && code <= 255 && snapshot[static_cast<std::size_t>(code)] < 0;
}

void AddCode(std::int32_t code) {
    if (code >= 1 && code <= 255 && std::find(gMonitor.codes.begin(), gMonitor.codes.end(), code) == gMonitor.codes.end()) {
        gMonitor.codes.push_back(code);
    }
}

}  // namespace

std::int32_t WatchHotkey(HotkeyCallback routine, std::int32_t key, std::int32_t modifiers, std::int32_t otherKey,
                         std::int32_t period, bool direct) {
    key &= 0xFF;
    if (key == 0) return 0;
    for (HotkeyEntry& row : gMonitor.table) {
        if (row.key == key && row.modifiers == modifiers && row.otherKey == otherKey) {
            row.routine = routine;
            row.direct = direct;
            return row.id;
        }
    }
    const auto id = FirstHotkeyId + static_cast<std::int32_t>(gMonitor.table.size());
    gMonitor.table.push_back({id, routine, key, modifiers, otherKey, PressIdle, direct});
    if (gMonitor.codes.empty()) {
        for (std::int32_t modifier : {VK_MENU, VK_CONTROL, VK_SHIFT, VK_LWIN}) AddCode(modifier);
    }
    AddCode(key);
    AddCode(otherKey);
    if (id == FirstHotkeyId) {
        StartPeriodicTimer(HotkeyTimerId, period > 0 ? period : DefaultHotkeyPeriod, PollHotkeys);
    }
    return id;
}

void PollHotkeys() {
    KeySnapshot snapshot{};
    ReadKeySnapshot(gMonitor.codes, snapshot);
    const std::int32_t mask = (IsDown(snapshot, VK_MENU) ? ModAlt : 0) | (IsDown(snapshot, VK_CONTROL) ? ModCtrl : 0) |
                              (IsDown(snapshot, VK_SHIFT) ? ModShift : 0) | (IsDown(snapshot, VK_LWIN) ? ModWin : 0);
    // By index: a direct routine may bind another key and grow the table.
    for (std::size_t i = 0; i < gMonitor.table.size(); ++i) {
        HotkeyEntry& row = gMonitor.table[i];
        const std::int16_t state = snapshot[static_cast<std::size_t>(row.key)];
        if (state == 0) {
            row.pressState = PressIdle;
            continue;
        }
        // A positive state only tells of a press since the last query: the key is up now.
        if (state > 0 || row.pressState == PressLatched) continue;
        row.pressState = PressLatched;
        if (row.modifiers != mask || (row.otherKey != 0 && !IsDown(snapshot, row.otherKey))) continue;
        if (row.direct) {
            CallDirect(row.routine, row.id);
        } else {
            StartThread(row.routine, row.id);
        }
    }
}

const std::vector<HotkeyEntry>& HotkeyTable() { return gMonitor.table; }

void ClearHotkeys() {
    gMonitor.table.clear();
    gMonitor.codes.clear();
}

}  // namespace tavrel
