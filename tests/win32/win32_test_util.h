// Helpers shared by the Win32 tests: a target window that logs mouse buttons,
// message pumping with a deadline, and key presses injected with SendInput.
#pragma once

#ifndef _WIN32
#error "win32_test_util.h belongs to the Windows build"
#endif

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tavrel::test {

struct MouseRecord {
    UINT message;  // WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP
    LONG x, y;     // screen coordinates
    LONGLONG ms;   // when dispatched, on the performance counter
    bool operator==(const MouseRecord& o) const { return message == o.message && x == o.x && y == o.y; }
};

inline LONGLONG CounterMilliseconds() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return counter.QuadPart / frequency.QuadPart * 1000 + counter.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart;
}

struct TargetState {
    HWND window = nullptr;
    std::vector<MouseRecord> log;
};
inline TargetState gTarget;

// Button presses only, from the target's log.
inline std::vector<MouseRecord> Presses() {
    std::vector<MouseRecord> out;
    for (const MouseRecord& r : gTarget.log) {
        if (r.message == WM_LBUTTONDOWN || r.message == WM_RBUTTONDOWN) out.push_back(r);
    }
    return out;
}

inline LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP: {
            POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ClientToScreen(window, &p);
            gTarget.log.push_back({message, p.x, p.y, CounterMilliseconds()});
            return 0;
        }
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;  // clicks must not move the focus away from the program under test
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// A top-most borderless window covering the rectangle; no CS_DBLCLKS, so a
// second press arrives as a plain button-down message.
inline HWND CreateTarget(int x, int y, int width, int height) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"TavrelClickTarget";
    RegisterClassW(&windowClass);
    gTarget.window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, windowClass.lpszClassName, L"target",
                                     WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
    return gTarget.window;
}

// Dispatches this thread's messages until done() holds or timeoutMs passed.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now < 10 ? end - now : 10), QS_ALLINPUT);
    }
}

inline void PumpFor(DWORD ms) { PumpUntil(nullptr, ms); }

// Moves the pointer and lets the move settle. Without a window manager the X
// focus follows the pointer, and Wine then resynchronises the key state with
// X's, which would cancel a key injected right after the move.
inline void MoveCursorAndSettle(int x, int y) {
    SetCursorPos(x, y);
    PumpFor(250);
}

inline void SendKey(WORD key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// Presses key (with the modifiers held around it) long enough for other Wine
// processes to see it, pumping messages meanwhile.
inline void PressKey(WORD key, const std::vector<WORD>& modifiers = {}, DWORD holdMs = 150) {
    for (WORD m : modifiers) SendKey(m, true);
    if (!modifiers.empty()) PumpFor(60);
    SendKey(key, true);
    PumpFor(holdMs);
    SendKey(key, false);
    if (!modifiers.empty()) PumpFor(60);
    for (WORD m : modifiers) SendKey(m, false);
    PumpFor(holdMs);
}

// A fresh empty folder under the system's temporary folder.
inline std::wstring MakeTempFolder(const wchar_t* stem) {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    std::wstring folder = std::wstring(base) + stem + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                          std::to_wstring(GetTickCount64());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Names in a folder, "." and ".." left out.
inline std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

}  // namespace tavrel::test
