// Win32 backend: keys, timers, threads, clock, pointer and files.
#ifndef _WIN32
#error "win32_platform.cpp belongs to the Windows build"
#endif

#include <windows.h>

#include <atomic>
#include <limits>

#include "platform/platform.h"
#include "platform/win32_text.h"

namespace tavrel {

namespace {

// Missing from mingw-w64's headers; Windows 10 1803 and Wine accept it.
constexpr DWORD HighResolutionTimerFlag = 0x2;

struct Win32State {
    void (*periodicRoutine)() = nullptr;
    UINT_PTR periodicId = 0;         // the id Windows chose for the thread timer
    std::atomic<long> tempCounter{0};  // keeps temporaries of concurrent saves apart
};
Win32State gWin32;

struct ThreadStart {
    ThreadRoutine routine;
    std::int32_t parameter;
};

DWORD WINAPI ThreadTrampoline(LPVOID raw) {
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    return start.routine(start.parameter);
}

void CALLBACK PeriodicTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (gWin32.periodicRoutine != nullptr) gWin32.periodicRoutine();
}

// Decimal digits; std::to_wstring would pull in the C library's whole printf.
std::wstring Digits(unsigned long value) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

std::int64_t PerformanceFrequency() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? static_cast<std::int64_t>(f.QuadPart) : std::int64_t{1};
    }();
    return frequency;
}

}  // namespace

// ---- Text at the edge -----------------------------------------------------

std::wstring WideFromGbk(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int count = MultiByteToWideChar(936, 0, text.data(), size, nullptr, 0);
    if (count <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(936, 0, text.data(), size, wide.data(), count);
    return wide;
}

std::string GbkFromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int count = WideCharToMultiByte(936, 0, text.data(), size, nullptr, 0, "?", nullptr);
    if (count <= 0) return {};
    std::string gbk(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(936, 0, text.data(), size, gbk.data(), count, "?", nullptr);
    return gbk;
}

// ---- Key state ------------------------------------------------------------

void ReadKeySnapshot(std::span<const std::int32_t> codes, KeySnapshot& snapshot) {
    for (std::int32_t code : codes) {
        if (code < 1 || code > 255) continue;
        snapshot[static_cast<std::size_t>(code)] = GetAsyncKeyState(code);
    }
}

// ---- Threads and timers ---------------------------------------------------

void StartPeriodicTimer(std::int32_t id, std::int32_t periodMs, void (*routine)()) {
    gWin32.periodicRoutine = routine;
    // A thread timer's id is chosen by Windows; passing the one it chose replaces that timer.
    const UINT_PTR wanted = gWin32.periodicId != 0 ? gWin32.periodicId : static_cast<UINT_PTR>(id);
    const UINT_PTR made = SetTimer(nullptr, wanted, static_cast<UINT>(periodMs > 0 ? periodMs : 1), PeriodicTimerProc);
    if (made != 0) gWin32.periodicId = made;
}

void StartThread(ThreadRoutine routine, std::int32_t parameter) {
    auto* start = new ThreadStart{routine, parameter};
    HANDLE thread = CreateThread(nullptr, 0, ThreadTrampoline, start, 0, nullptr);
    if (thread == nullptr) {
        delete start;
        return;
    }
    CloseHandle(thread);
}

std::uint32_t CallDirect(ThreadRoutine routine, std::int32_t parameter) { return routine(parameter); }

OneShotTimer CreateOneShotTimer() {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, HighResolutionTimerFlag, TIMER_ALL_ACCESS);
    // Older systems refuse the high-resolution flag: an ordinary auto-reset timer then.
    if (timer == nullptr) timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    return timer;
}

bool ArmOneShotTimer(OneShotTimer timer, std::int64_t dueTime) {
    LARGE_INTEGER due;
    due.QuadPart = dueTime;
    return SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) != FALSE;
}

WaitResult WaitForTimerOrMessages(OneShotTimer timer) {
    HANDLE handle = timer;
    switch (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, 255)) {
        case WAIT_OBJECT_0: return WaitResult::Timer;
        case WAIT_OBJECT_0 + 1: return WaitResult::Messages;
        default: return WaitResult::Failed;
    }
}

void CloseOneShotTimer(OneShotTimer timer) {
    if (timer != nullptr) CloseHandle(timer);
}

void PumpMessages() {
    MSG msg;
    // WM_QUIT stays queued for the thread's own loop.
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (msg.message == WM_QUIT) return;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::int64_t MonotonicNanoseconds() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const std::int64_t frequency = PerformanceFrequency();
    const std::int64_t ticks = counter.QuadPart;
    // Split so that ticks * 1e9 cannot overflow.
    return ticks / frequency * 1000000000 + ticks % frequency * 1000000000 / frequency;
}

void SleepUntilNanoseconds(std::int64_t deadline) {
    for (;;) {
        const std::int64_t now = MonotonicNanoseconds();
        if (now >= deadline) return;
        const std::int64_t remainingMs = (deadline - now + 999999) / 1000000;
        // Hour-long steps keep far deadlines away from INFINITE.
        Sleep(static_cast<DWORD>(remainingMs < 3600000 ? remainingMs : 3600000));
    }
}

// ---- Pointer --------------------------------------------------------------

ScreenPoint CursorPosition() {
    POINT p{};
    if (!GetCursorPos(&p)) return {};
    return {static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
}

void ClickAt(std::int32_t x, std::int32_t y, std::int32_t kind) {
    SetCursorPos(x, y);
    const bool right = kind == 2 || kind == 3;
    const int pairs = (kind == 1 || kind == 3) ? 2 : 1;
    const DWORD down = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    const DWORD up = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    for (int i = 0; i < pairs; ++i) {
        mouse_event(down, 0, 0, 0, 0);
        mouse_event(up, 0, 0, 0, 0);
    }
}

// ---- Files ----------------------------------------------------------------

std::optional<std::vector<unsigned char>> ReadWholeFile(const std::filesystem::path& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::vector<unsigned char>> result;
    BY_HANDLE_FILE_INFORMATION info{};
    // Some systems open a folder as a file: it has no content to give.
    if (GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        std::vector<unsigned char> bytes;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file, &size) && size.QuadPart > 0) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
        unsigned char chunk[65536];
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) break;
            if (got == 0) {
                result = std::move(bytes);
                break;
            }
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
    }
    CloseHandle(file);
    return result;
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const unsigned char> bytes) {
    const auto serial = static_cast<unsigned long>(++gWin32.tempCounter);
    const std::wstring temp = path.wstring() + L"." + Digits(GetCurrentProcessId()) + L"." + Digits(serial) + L".tmp";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const DWORD step = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, step, &written, nullptr) && written == step;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

std::filesystem::path ProgramDirectory() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (got == 0) return {};
        if (got < name.size()) {
            name.resize(got);
            break;
        }
        name.resize(name.size() * 2);
    }
    return std::filesystem::path(name).parent_path();
}

std::string PathToText(const std::filesystem::path& path) { return GbkFromWide(path.native()); }

}  // namespace tavrel
