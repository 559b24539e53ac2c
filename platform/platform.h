// The one contract between Tavrel and the operating system. Every backend
// (win32_*, x11_*, sim_*) implements all of it; the build links exactly one.
// No OS header here: callers see only the project's own types.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

// A routine with the shape of a thread routine: one 32-bit parameter in, 32-bit value out.
using ThreadRoutine = std::uint32_t (*)(std::int32_t parameter);

// ---- Key state ------------------------------------------------------------

// Key states indexed by virtual-key code 1..255: negative while down, 0 while up,
// positive (1) when only "pressed since the last query" is known.
using KeySnapshot = std::array<std::int16_t, 256>;

// Fills snapshot[code] for every code named (codes outside 1..255 are ignored);
// other entries may be filled too or left as they were. Any thread.
void ReadKeySnapshot(std::span<const std::int32_t> codes, KeySnapshot& snapshot);

// ---- Threads and timers ---------------------------------------------------

// Runs routine every periodMs on the calling thread's message loop. Only one
// periodic timer exists per process; id is the platform's timer id. UI thread.
void StartPeriodicTimer(std::int32_t id, std::int32_t periodMs, void (*routine)());

// Starts a detached thread running routine(parameter) at once. Any thread.
void StartThread(ThreadRoutine routine, std::int32_t parameter);

// Calls routine(parameter) synchronously on the calling thread. Any thread.
std::uint32_t CallDirect(ThreadRoutine routine, std::int32_t parameter);

// A one-shot timer owned by one thread; null when it could not be made.
using OneShotTimer = void*;
enum class WaitResult { Timer, Messages, Failed };

// Each of these is called by the thread that owns the timer.
OneShotTimer CreateOneShotTimer();
// Arms the timer once; dueTime is in 100 ns units, negative meaning relative to now.
bool ArmOneShotTimer(OneShotTimer timer, std::int64_t dueTime);
// Blocks until the timer is signalled or messages/input arrive for this thread.
WaitResult WaitForTimerOrMessages(OneShotTimer timer);
void CloseOneShotTimer(OneShotTimer timer);

// Dispatches this thread's pending messages; returns when none is pending. Any thread.
void PumpMessages();

// Monotonic clock in nanoseconds, and a plain sleep until such a time. Any thread.
std::int64_t MonotonicNanoseconds();
void SleepUntilNanoseconds(std::int64_t deadline);

// ---- Pointer --------------------------------------------------------------

struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// The cursor's position in virtual-screen pixels. Any thread.
ScreenPoint CursorPosition();

// Moves the cursor to x, y and clicks there: kind 0 left, 1 left twice, 2 right,
// 3 right twice, any other value as 0. Down and up follow with no pause. Any thread.
void ClickAt(std::int32_t x, std::int32_t y, std::int32_t kind);

// ---- Files ----------------------------------------------------------------

// The whole content of a file, or nothing when it cannot be opened or read. Any thread.
std::optional<std::vector<unsigned char>> ReadWholeFile(const std::filesystem::path& path);

// Replaces the file's content in one step: written to a temporary beside it,
// flushed, then renamed over it. On failure the old file is untouched. Any thread.
bool WriteWholeFile(const std::filesystem::path& path, std::span<const unsigned char> bytes);

// The folder that holds the running executable. Any thread.
std::filesystem::path ProgramDirectory();

// A path as GBK text for messages; characters GBK cannot hold become "?". Any thread.
std::string PathToText(const std::filesystem::path& path);

// ---- Window ---------------------------------------------------------------

enum class ControlKind { Label, LineEdit, Button, ScriptEdit };

// One control of the main window; x, y are client-area pixels. text is GBK.
struct ControlSpec {
    ControlKind kind;
    std::string_view name;
    std::int32_t x, y, width, height;
    std::string_view text;
};

// The main window: screen position, client size, GBK caption, controls.
struct WindowSpec {
    std::int32_t x, y, width, height;
    std::string_view caption;
    std::span<const ControlSpec> controls;
};

// Creates and shows the window with its controls; false when no window can be
// made (a clear message has then been shown or printed). UI thread.
bool CreateMainWindow(const WindowSpec& window);

// Runs the UI thread's message loop until the main window is closed. UI thread.
void RunMessageLoop();

// Defined by the application: a button of the main window was pressed. The
// index is the button's position in WindowSpec::controls. Called on the UI thread.
void OnButtonPressed(std::int32_t control);

// The whole text of an edit control, as GBK. Any thread.
std::string EditBoxText(std::int32_t control);
// Replaces the whole text of an edit control. Any thread.
void SetEditBoxText(std::int32_t control, std::string_view text);
// Adds text after the last byte (never at the caret), moves the caret to the
// end and scrolls the box to it. Any thread.
void AppendToEditBox(std::int32_t control, std::string_view text);

// Shows a short GBK message to the user and returns when it is dismissed. UI thread.
void ShowMessage(std::string_view text);

// ---- File dialog ----------------------------------------------------------

enum class DialogMode { Open, Save };

// Sets up the one file dialog: filter description (GBK), pattern such as "*.txt",
// default extension without the dot, initial folder. UI thread.
void SetupFileDialog(std::string_view filterDescription, std::string_view pattern,
                     std::string_view defaultExtension, const std::filesystem::path& initialDirectory);

// Shows the dialog in the given mode, offering the name last confirmed; the
// confirmed full path, or nothing when cancelled. UI thread.
std::optional<std::filesystem::path> ShowFileDialog(DialogMode mode);

}  // namespace tavrel
