// Control of the simulated backend, for the deterministic tests: a virtual
// keyboard, cursor, click log, clock, periodic timer, files, window and dialog.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tavrel::sim {

// Everything back to its starting state. No simulated thread may be alive.
void Reset();

// Keys: down sets the down bit and the "pressed since last query" bit; a tap sets
// only the latter, as for a press and release between two queries.
void SetKey(std::int32_t code, bool down);
void Tap(std::int32_t code);
// The codes named by the last ReadKeySnapshot.
std::vector<std::int32_t> LastReadCodes();

struct PeriodicTimerInfo {
    std::int32_t id = 0;
    std::int32_t period = 0;
    void (*routine)() = nullptr;
    int starts = 0;
};
PeriodicTimerInfo PeriodicTimer();
// Runs the periodic timer's routine count times on the calling thread.
void Tick(int count = 1);

// The virtual clock. Waits of threads started with StartThread are scheduled:
// time moves only inside RunUntil/RunUntilIdle, to the earliest deadline, once
// every such thread is waiting. A wait on any other thread advances time at once.
std::int64_t NowNanoseconds();
inline std::int64_t NowMilliseconds() { return NowNanoseconds() / 1000000; }
// Runs simulated threads until virtual time limitMs; false if one of them kept
// running for seconds of real time without waiting.
bool RunUntil(std::int64_t limitMs);
// Runs until no simulated thread is alive (true) or virtual time limitMs (false).
bool RunUntilIdle(std::int64_t limitMs = 24LL * 3600 * 1000);
int ThreadsAlive();
// Real-time wait until every simulated thread waits or has ended, without moving the clock.
bool WaitSettled(int realMilliseconds = 5000);
// Real-time wait for the simulated threads to end without moving the clock.
bool WaitThreadsDone(int realMilliseconds = 5000);

// A message for the next wait on an unscheduled thread, delivered at virtual time atMs.
void PostMessageAt(std::int64_t atMs, std::function<void()> message);
// Makes the next timer creation, arming or wait fail.
void FailTimers(bool create, bool arm, bool wait);
// Timers created and not yet closed.
int OpenTimers();

void SetCursor(std::int32_t x, std::int32_t y);
struct MouseEvent {
    std::int64_t timeNs;
    std::int32_t x, y;
    int button;  // 1 left, 3 right
    bool down;
};
std::vector<MouseEvent> MouseLog();

// Files live in memory; failures can be forced.
void SetFile(const std::filesystem::path& path, std::vector<unsigned char> bytes);
std::optional<std::vector<unsigned char>> File(const std::filesystem::path& path);
void FailWrites(bool fail);
inline const std::filesystem::path ProgramFolder = "sim-program";

// The window: whether it exists, control texts by index, and button presses.
bool WindowCreated();
void FailWindow(bool fail);
void PressButton(std::int32_t control);
std::vector<std::string> Messages();

struct DialogInfo {
    std::string filterDescription, pattern, defaultExtension;
    std::filesystem::path initialDirectory;
    std::vector<DialogMode> modesShown;
    std::vector<std::filesystem::path> offeredNames;
};
DialogInfo Dialog();
// What the user will confirm in the next dialog: a path, or nothing to cancel.
void AnswerDialog(std::optional<std::filesystem::path> answer);

}  // namespace tavrel::sim
