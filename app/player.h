// The script player: performs ScriptBox's lines in a loop on a worker thread,
// one second between lines, until RunningFlag is found 0 before a pass.
#pragma once

#include <atomic>
#include <cstdint>

namespace tavrel {

// 1 while playback is wanted; read by every player before each pass.
extern std::atomic<std::int32_t> RunningFlag;

// Sets RunningFlag and starts one more player. Any thread.
std::uint32_t StartPlayback(std::int32_t hotkeyId = 0);
// Clears RunningFlag; players end at the end of their pass. Any thread.
std::uint32_t StopPlayback(std::int32_t hotkeyId = 0);
// The player thread's routine.
std::uint32_t ScriptPlayer(std::int32_t unused = 0);

}  // namespace tavrel
