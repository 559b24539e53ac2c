// The application's commands and its start-up.
#pragma once

#include <cstdint>

namespace tavrel {

// Hotkey commands: each runs on a thread of its own; the id is ignored.
std::uint32_t RecordLeftClick(std::int32_t hotkeyId);
std::uint32_t RecordRightClick(std::int32_t hotkeyId);

// Button commands, on the UI thread.
void AddDelay();
void SaveScript();
void LoadScript();

// Start-up: shared state, the window, the dialog's folder and the four hotkeys.
// False when no window could be made. UI thread.
bool StartTavrel();

// The whole program: start-up, then the message loop. Returns the exit code.
int RunTavrel();

}  // namespace tavrel
