// Simulated backend: in memory, with a virtual clock, for deterministic tests.
#include "platform/sim_platform.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace tavrel {

namespace {

struct Waiter {
    bool released = false;
};

struct SimTimer {
    std::int64_t deadline = 0;
    bool armed = false;
};

struct SimState {
    std::mutex mutex;
    std::condition_variable changed;

    std::array<bool, 256> down{};
    std::array<bool, 256> pressedSinceQuery{};
    std::vector<std::int32_t> lastCodes;
    sim::PeriodicTimerInfo periodic;

    std::int64_t now = 0;
    int alive = 0;    // simulated threads alive
    int running = 0;  // simulated threads alive and not waiting
    std::map<std::pair<std::int64_t, std::uint64_t>, Waiter*> waiters;  // by deadline, then arrival
    std::uint64_t arrivals = 0;
    std::deque<std::pair<std::int64_t, std::function<void()>>> posted;
    std::vector<std::function<void()>> delivered;
    bool failCreate = false, failArm = false, failWait = false;
    int openTimers = 0;

    ScreenPoint cursor;
    std::vector<sim::MouseEvent> mouse;

    std::map<std::filesystem::path, std::vector<unsigned char>> files;
    bool failWrites = false;

    bool windowCreated = false;
    bool failWindow = false;
    std::vector<std::string> texts;
    std::vector<std::string> messages;
    sim::DialogInfo dialog;
    std::optional<std::filesystem::path> dialogAnswer;
    std::filesystem::path dialogName;
};
SimState gSim;

thread_local bool tScheduled = false;

// Blocks a scheduled thread until the clock reaches deadline. Lock held.
void WaitScheduled(std::unique_lock<std::mutex>& lock, std::int64_t deadline) {
    Waiter waiter;
    gSim.waiters.emplace(std::make_pair(deadline, gSim.arrivals++), &waiter);
    --gSim.running;
    gSim.changed.notify_all();
    gSim.changed.wait(lock, [&] { return waiter.released; });
}

// Moves virtual time to deadline for the calling thread.
void WaitUntil(std::int64_t deadline) {
    std::unique_lock lock(gSim.mutex);
    if (tScheduled) {
        WaitScheduled(lock, deadline);
    } else {
        gSim.now = std::max(gSim.now, deadline);
    }
}

// Lets scheduled threads run until limit; with untilIdle, stops when none is alive.
bool Run(std::int64_t limit, bool untilIdle) {
    std::unique_lock lock(gSim.mutex);
    for (;;) {
        const auto realLimit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        if (!gSim.changed.wait_until(lock, realLimit, [] { return gSim.running == 0; })) return false;
        if (untilIdle && gSim.alive == 0) return true;
        if (gSim.waiters.empty() || gSim.waiters.begin()->first.first > limit) {
            gSim.now = std::max(gSim.now, limit);
            return !untilIdle;
        }
        auto first = gSim.waiters.begin();
        gSim.now = std::max(gSim.now, first->first.first);
        first->second->released = true;
        ++gSim.running;
        gSim.waiters.erase(first);
        gSim.changed.notify_all();
    }
}

void LogButton(std::int32_t x, std::int32_t y, int button) {
    gSim.mouse.push_back({gSim.now, x, y, button, true});
    gSim.mouse.push_back({gSim.now, x, y, button, false});
}

}  // namespace

// ---- The contract ---------------------------------------------------------

void ReadKeySnapshot(std::span<const std::int32_t> codes, KeySnapshot& snapshot) {
    std::lock_guard lock(gSim.mutex);
    gSim.lastCodes.assign(codes.begin(), codes.end());
    for (std::int32_t code : codes) {
        if (code < 1 || code > 255) continue;
        const auto i = static_cast<std::size_t>(code);
        snapshot[i] = static_cast<std::int16_t>((gSim.down[i] ? 0x8000 : 0) | (gSim.pressedSinceQuery[i] ? 1 : 0));
        gSim.pressedSinceQuery[i] = false;
    }
}

void StartPeriodicTimer(std::int32_t id, std::int32_t periodMs, void (*routine)()) {
    std::lock_guard lock(gSim.mutex);
    gSim.periodic.id = id;
    gSim.periodic.period = periodMs;
    gSim.periodic.routine = routine;
    ++gSim.periodic.starts;
}

void StartThread(ThreadRoutine routine, std::int32_t parameter) {
    {
        std::lock_guard lock(gSim.mutex);
        ++gSim.alive;
        ++gSim.running;
    }
    std::thread([routine, parameter] {
        tScheduled = true;
        routine(parameter);
        std::lock_guard lock(gSim.mutex);
        --gSim.alive;
        --gSim.running;
        gSim.changed.notify_all();
    }).detach();
}

std::uint32_t CallDirect(ThreadRoutine routine, std::int32_t parameter) { return routine(parameter); }

OneShotTimer CreateOneShotTimer() {
    std::lock_guard lock(gSim.mutex);
    if (std::exchange(gSim.failCreate, false)) return nullptr;
    ++gSim.openTimers;
    return new SimTimer;
}

bool ArmOneShotTimer(OneShotTimer timer, std::int64_t dueTime) {
    std::lock_guard lock(gSim.mutex);
    if (std::exchange(gSim.failArm, false)) return false;
    auto* t = static_cast<SimTimer*>(timer);
    t->deadline = dueTime < 0 ? gSim.now - dueTime * 100 : dueTime * 100;
    t->armed = true;
    return true;
}

WaitResult WaitForTimerOrMessages(OneShotTimer timer) {
    auto* t = static_cast<SimTimer*>(timer);
    {
        std::lock_guard lock(gSim.mutex);
        if (std::exchange(gSim.failWait, false) || !t->armed) return WaitResult::Failed;
        if (!tScheduled && !gSim.posted.empty() && gSim.posted.front().first < t->deadline) {
            gSim.now = std::max(gSim.now, gSim.posted.front().first);
            gSim.delivered.push_back(std::move(gSim.posted.front().second));
            gSim.posted.pop_front();
            return WaitResult::Messages;
        }
    }
    WaitUntil(t->deadline);
    t->armed = false;  // auto-reset: signalled once
    return WaitResult::Timer;
}

void CloseOneShotTimer(OneShotTimer timer) {
    std::lock_guard lock(gSim.mutex);
    --gSim.openTimers;
    delete static_cast<SimTimer*>(timer);
}

void PumpMessages() {
    std::vector<std::function<void()>> messages;
    {
        std::lock_guard lock(gSim.mutex);
        messages.swap(gSim.delivered);
    }
    for (auto& message : messages) message();
}

std::int64_t MonotonicNanoseconds() {
    std::lock_guard lock(gSim.mutex);
    return gSim.now;
}

void SleepUntilNanoseconds(std::int64_t deadline) { WaitUntil(deadline); }

ScreenPoint CursorPosition() {
    std::lock_guard lock(gSim.mutex);
    return gSim.cursor;
}

void ClickAt(std::int32_t x, std::int32_t y, std::int32_t kind) {
    std::lock_guard lock(gSim.mutex);
    gSim.cursor = {x, y};
    const int button = (kind == 2 || kind == 3) ? 3 : 1;
    const int pairs = (kind == 1 || kind == 3) ? 2 : 1;
    for (int i = 0; i < pairs; ++i) LogButton(x, y, button);
}

std::optional<std::vector<unsigned char>> ReadWholeFile(const std::filesystem::path& path) {
    std::lock_guard lock(gSim.mutex);
    const auto it = gSim.files.find(path);
    if (it == gSim.files.end()) return std::nullopt;
    return it->second;
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const unsigned char> bytes) {
    std::lock_guard lock(gSim.mutex);
    if (gSim.failWrites) return false;
    gSim.files[path].assign(bytes.begin(), bytes.end());
    return true;
}

std::filesystem::path ProgramDirectory() { return sim::ProgramFolder; }

std::string PathToText(const std::filesystem::path& path) { return path.generic_string(); }

bool CreateMainWindow(const WindowSpec& window) {
    std::lock_guard lock(gSim.mutex);
    if (gSim.failWindow) return false;
    gSim.windowCreated = true;
    gSim.texts.clear();
    for (const ControlSpec& control : window.controls) gSim.texts.emplace_back(control.text);
    return true;
}

void RunMessageLoop() {}

std::string EditBoxText(std::int32_t control) {
    std::lock_guard lock(gSim.mutex);
    return control >= 0 && static_cast<std::size_t>(control) < gSim.texts.size() ? gSim.texts[control] : std::string();
}

void SetEditBoxText(std::int32_t control, std::string_view text) {
    std::lock_guard lock(gSim.mutex);
    if (control >= 0 && static_cast<std::size_t>(control) < gSim.texts.size()) gSim.texts[control] = text;
}

void AppendToEditBox(std::int32_t control, std::string_view text) {
    std::lock_guard lock(gSim.mutex);
    if (control >= 0 && static_cast<std::size_t>(control) < gSim.texts.size()) gSim.texts[control] += text;
}

void ShowMessage(std::string_view text) {
    std::lock_guard lock(gSim.mutex);
    gSim.messages.emplace_back(text);
}

void SetupFileDialog(std::string_view filterDescription, std::string_view pattern, std::string_view defaultExtension,
                     const std::filesystem::path& initialDirectory) {
    std::lock_guard lock(gSim.mutex);
    gSim.dialog.filterDescription = filterDescription;
    gSim.dialog.pattern = pattern;
    gSim.dialog.defaultExtension = defaultExtension;
    gSim.dialog.initialDirectory = initialDirectory;
}

std::optional<std::filesystem::path> ShowFileDialog(DialogMode mode) {
    std::lock_guard lock(gSim.mutex);
    gSim.dialog.modesShown.push_back(mode);
    gSim.dialog.offeredNames.push_back(gSim.dialogName);
    auto answer = std::exchange(gSim.dialogAnswer, std::nullopt);
    if (answer) gSim.dialogName = *answer;
    return answer;
}

// ---- Control for the tests ------------------------------------------------

namespace sim {

void Reset() {
    std::lock_guard lock(gSim.mutex);
    gSim.down = {};
    gSim.pressedSinceQuery = {};
    gSim.lastCodes.clear();
    gSim.periodic = {};
    gSim.now = 0;
    gSim.waiters.clear();
    gSim.posted.clear();
    gSim.delivered.clear();
    gSim.failCreate = gSim.failArm = gSim.failWait = false;
    gSim.openTimers = 0;
    gSim.cursor = {};
    gSim.mouse.clear();
    gSim.files.clear();
    gSim.failWrites = false;
    gSim.windowCreated = false;
    gSim.failWindow = false;
    gSim.texts.clear();
    gSim.messages.clear();
    gSim.dialog = {};
    gSim.dialogAnswer.reset();
    gSim.dialogName.clear();
}

void SetKey(std::int32_t code, bool down) {
    std::lock_guard lock(gSim.mutex);
    gSim.down[static_cast<std::size_t>(code & 0xFF)] = down;
    if (down) gSim.pressedSinceQuery[static_cast<std::size_t>(code & 0xFF)] = true;
}

void Tap(std::int32_t code) {
    std::lock_guard lock(gSim.mutex);
    gSim.pressedSinceQuery[static_cast<std::size_t>(code & 0xFF)] = true;
}

std::vector<std::int32_t> LastReadCodes() {
    std::lock_guard lock(gSim.mutex);
    return gSim.lastCodes;
}

PeriodicTimerInfo PeriodicTimer() {
    std::lock_guard lock(gSim.mutex);
    return gSim.periodic;
}

void Tick(int count) {
    for (int i = 0; i < count; ++i) {
        void (*routine)() = PeriodicTimer().routine;
        if (routine != nullptr) routine();
    }
}

std::int64_t NowNanoseconds() { return MonotonicNanoseconds(); }

bool RunUntil(std::int64_t limitMs) { return Run(limitMs * 1000000, false); }

bool RunUntilIdle(std::int64_t limitMs) { return Run(limitMs * 1000000, true); }

int ThreadsAlive() {
    std::lock_guard lock(gSim.mutex);
    return gSim.alive;
}

bool WaitSettled(int realMilliseconds) {
    std::unique_lock lock(gSim.mutex);
    return gSim.changed.wait_for(lock, std::chrono::milliseconds(realMilliseconds), [] { return gSim.running == 0; });
}

bool WaitThreadsDone(int realMilliseconds) {
    std::unique_lock lock(gSim.mutex);
    return gSim.changed.wait_for(lock, std::chrono::milliseconds(realMilliseconds), [] { return gSim.alive == 0; });
}

void PostMessageAt(std::int64_t atMs, std::function<void()> message) {
    std::lock_guard lock(gSim.mutex);
    gSim.posted.emplace_back(atMs * 1000000, std::move(message));
}

void FailTimers(bool create, bool arm, bool wait) {
    std::lock_guard lock(gSim.mutex);
    gSim.failCreate = create;
    gSim.failArm = arm;
    gSim.failWait = wait;
}

int OpenTimers() {
    std::lock_guard lock(gSim.mutex);
    return gSim.openTimers;
}

void SetCursor(std::int32_t x, std::int32_t y) {
    std::lock_guard lock(gSim.mutex);
    gSim.cursor = {x, y};
}

std::vector<MouseEvent> MouseLog() {
    std::lock_guard lock(gSim.mutex);
    return gSim.mouse;
}

void SetFile(const std::filesystem::path& path, std::vector<unsigned char> bytes) {
    std::lock_guard lock(gSim.mutex);
    gSim.files[path] = std::move(bytes);
}

std::optional<std::vector<unsigned char>> File(const std::filesystem::path& path) { return ReadWholeFile(path); }

void FailWrites(bool fail) {
    std::lock_guard lock(gSim.mutex);
    gSim.failWrites = fail;
}

bool WindowCreated() {
    std::lock_guard lock(gSim.mutex);
    return gSim.windowCreated;
}

void FailWindow(bool fail) {
    std::lock_guard lock(gSim.mutex);
    gSim.failWindow = fail;
}

void PressButton(std::int32_t control) { OnButtonPressed(control); }

std::vector<std::string> Messages() {
    std::lock_guard lock(gSim.mutex);
    return gSim.messages;
}

DialogInfo Dialog() {
    std::lock_guard lock(gSim.mutex);
    return gSim.dialog;
}

void AnswerDialog(std::optional<std::filesystem::path> answer) {
    std::lock_guard lock(gSim.mutex);
    gSim.dialogAnswer = std::move(answer);
}

}  // namespace sim

}  // namespace tavrel
