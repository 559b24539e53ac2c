// Win32 backend: the main window, its controls, messages and the file dialog.
#ifndef _WIN32
#error "win32_window.cpp belongs to the Windows build"
#endif

#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <vector>

#include "platform/platform.h"
#include "platform/win32_text.h"

namespace tavrel {

namespace {

constexpr int FirstControlId = 100;
constexpr UINT EditRequestMessage = WM_APP + 1;
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD WindowExStyle = 0;
constexpr UINT UnscaledDpi = 96;
constexpr std::size_t FileNameCapacity = 32768;

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

enum class EditOperation { Get, Set, Append };

// One edit operation, carried to the UI thread so it runs there whole.
struct EditRequest {
    EditOperation operation;
    std::int32_t control;
    std::wstring text;
};

struct Win32Window {
    std::atomic<HWND> main{nullptr};  // null once the window is gone
    std::vector<HWND> controls;
    std::vector<ControlSpec> specs;
    std::int32_t clientWidth = 0, clientHeight = 0;
    std::wstring caption;
    HFONT font = nullptr;
    GetDpiForWindowFn getDpiForWindow = nullptr;
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi = nullptr;
    SystemParametersInfoForDpiFn systemParametersInfoForDpi = nullptr;

    std::wstring filter;  // description, pattern, each ended by a zero, then one more zero
    std::wstring defaultExtension;
    std::wstring initialDirectory;
    std::vector<wchar_t> fileName = std::vector<wchar_t>(FileNameCapacity, L'\0');
};
Win32Window gWindow;

void ResolveDpiFunctions() {
    // Present from Windows 10 1607 (and in Wine); older systems run unscaled.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return;
    gWindow.getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
    gWindow.adjustWindowRectExForDpi = reinterpret_cast<AdjustWindowRectExForDpiFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
    gWindow.systemParametersInfoForDpi = reinterpret_cast<SystemParametersInfoForDpiFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SystemParametersInfoForDpi")));
}

UINT WindowDpi(HWND window) {
    const UINT dpi = gWindow.getDpiForWindow != nullptr ? gWindow.getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : UnscaledDpi;
}

int Scale(std::int32_t value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), static_cast<int>(UnscaledDpi)); }

// The outer size whose client area is the layout's size at this DPI.
SIZE FrameSize(UINT dpi) {
    RECT r{0, 0, Scale(gWindow.clientWidth, dpi), Scale(gWindow.clientHeight, dpi)};
    if (gWindow.adjustWindowRectExForDpi != nullptr) {
        gWindow.adjustWindowRectExForDpi(&r, WindowStyle, FALSE, WindowExStyle, dpi);
    } else {
        AdjustWindowRectEx(&r, WindowStyle, FALSE, WindowExStyle);
    }
    return {r.right - r.left, r.bottom - r.top};
}

// The system's message font at this DPI, for every control.
void UpdateFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    BOOL ok = FALSE;
    if (gWindow.systemParametersInfoForDpi != nullptr) {
        ok = gWindow.systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    }
    if (!ok) ok = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = ok ? CreateFontIndirectW(&metrics.lfMessageFont) : nullptr;
    if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (HWND control : gWindow.controls) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (gWindow.font != nullptr) DeleteObject(gWindow.font);
    gWindow.font = font;
}

// Places every control at its layout rectangle scaled to the DPI.
void LayOut(UINT dpi) {
    for (std::size_t i = 0; i < gWindow.controls.size(); ++i) {
        const ControlSpec& c = gWindow.specs[i];
        SetWindowPos(gWindow.controls[i], nullptr, Scale(c.x, dpi), Scale(c.y, dpi), Scale(c.width, dpi),
                     Scale(c.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    UpdateFont(dpi);
}

HWND ControlWindow(std::int32_t control) {
    if (control < 0 || static_cast<std::size_t>(control) >= gWindow.controls.size()) return nullptr;
    return gWindow.controls[static_cast<std::size_t>(control)];
}

void PerformEdit(EditRequest& request) {
    HWND edit = ControlWindow(request.control);
    if (edit == nullptr) return;
    switch (request.operation) {
        case EditOperation::Get: {
            const int length = GetWindowTextLengthW(edit);
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            const int got = GetWindowTextW(edit, text.data(), length + 1);
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            request.text = std::move(text);
            break;
        }
        case EditOperation::Set:
            SetWindowTextW(edit, request.text.c_str());
            break;
        case EditOperation::Append: {
            const int length = GetWindowTextLengthW(edit);
            SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
            SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(request.text.c_str()));
            SendMessageW(edit, EM_SCROLLCARET, 0, 0);
            break;
        }
    }
}

// Runs the request on the UI thread; nothing happens once the window is gone.
void SendEdit(EditRequest& request) {
    HWND main = gWindow.main.load();
    if (main != nullptr) SendMessageW(main, EditRequestMessage, 0, reinterpret_cast<LPARAM>(&request));
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case EditRequestMessage:
            PerformEdit(*reinterpret_cast<EditRequest*>(lParam));
            return 1;
        case WM_COMMAND: {
            const int index = LOWORD(wParam) - FirstControlId;
            if (HIWORD(wParam) == BN_CLICKED && index >= 0 && static_cast<std::size_t>(index) < gWindow.specs.size() &&
                gWindow.specs[static_cast<std::size_t>(index)].kind == ControlKind::Button) {
                OnButtonPressed(index);
                return 0;
            }
            break;
        }
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            LayOut(HIWORD(wParam));
            return 0;
        }
        case WM_DESTROY:
            gWindow.main.store(nullptr);
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeControl(const ControlSpec& spec, int id, HWND parent) {
    const wchar_t* className = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (spec.kind) {
        case ControlKind::Label:
            style |= SS_LEFT;
            break;
        case ControlKind::LineEdit:
            className = L"EDIT";
            style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Button:
            className = L"BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        case ControlKind::ScriptEdit:
            // Long lines wrap: no horizontal scrolling.
            className = L"EDIT";
            style |= WS_TABSTOP | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
            exStyle = WS_EX_CLIENTEDGE;
            break;
    }
    const std::wstring text = WideFromGbk(spec.text);
    HWND control = CreateWindowExW(exStyle, className, text.c_str(), style, spec.x, spec.y, spec.width, spec.height,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr && (spec.kind == ControlKind::LineEdit || spec.kind == ControlKind::ScriptEdit)) {
        SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    }
    return control;
}

}  // namespace

bool CreateMainWindow(const WindowSpec& window) {
    ResolveDpiFunctions();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"TavrelMainWindow";
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

    gWindow.caption = WideFromGbk(window.caption);
    gWindow.clientWidth = window.width;
    gWindow.clientHeight = window.height;
    gWindow.specs.assign(window.controls.begin(), window.controls.end());
    gWindow.controls.clear();

    const SIZE unscaled = FrameSize(UnscaledDpi);
    HWND main = CreateWindowExW(WindowExStyle, windowClass.lpszClassName, gWindow.caption.c_str(), WindowStyle,
                                window.x, window.y, unscaled.cx, unscaled.cy, nullptr, nullptr, instance, nullptr);
    if (main == nullptr) return false;
    for (std::size_t i = 0; i < gWindow.specs.size(); ++i) {
        HWND control = MakeControl(gWindow.specs[i], FirstControlId + static_cast<int>(i), main);
        if (control == nullptr) {
            DestroyWindow(main);
            gWindow.controls.clear();
            return false;
        }
        gWindow.controls.push_back(control);
    }
    // The DPI is known only once the window exists on its monitor.
    const UINT dpi = WindowDpi(main);
    const SIZE frame = FrameSize(dpi);
    SetWindowPos(main, nullptr, window.x, window.y, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    LayOut(dpi);
    gWindow.main.store(main);
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    return true;
}

void RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::string EditBoxText(std::int32_t control) {
    EditRequest request{EditOperation::Get, control, {}};
    SendEdit(request);
    return GbkFromWide(request.text);
}

void SetEditBoxText(std::int32_t control, std::string_view text) {
    EditRequest request{EditOperation::Set, control, WideFromGbk(text)};
    SendEdit(request);
}

void AppendToEditBox(std::int32_t control, std::string_view text) {
    EditRequest request{EditOperation::Append, control, WideFromGbk(text)};
    SendEdit(request);
}

void ShowMessage(std::string_view text) {
    const std::wstring wide = WideFromGbk(text);
    MessageBoxW(gWindow.main.load(), wide.c_str(), gWindow.caption.c_str(), MB_OK);
}

void SetupFileDialog(std::string_view filterDescription, std::string_view pattern,
                     std::string_view defaultExtension, const std::filesystem::path& initialDirectory) {
    gWindow.filter = WideFromGbk(filterDescription);
    gWindow.filter.push_back(L'\0');
    gWindow.filter += WideFromGbk(pattern);
    gWindow.filter.push_back(L'\0');
    gWindow.filter.push_back(L'\0');
    gWindow.defaultExtension = WideFromGbk(defaultExtension);
    gWindow.initialDirectory = initialDirectory.wstring();
}

std::optional<std::filesystem::path> ShowFileDialog(DialogMode mode) {
    // The dialog writes into the buffer even when it fails: keep the last confirmed name.
    const std::vector<wchar_t> kept = gWindow.fileName;
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = gWindow.main.load();
    dialog.lpstrFilter = gWindow.filter.empty() ? nullptr : gWindow.filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = gWindow.fileName.data();
    dialog.nMaxFile = static_cast<DWORD>(gWindow.fileName.size());
    dialog.lpstrInitialDir = gWindow.initialDirectory.empty() ? nullptr : gWindow.initialDirectory.c_str();
    dialog.lpstrDefExt = gWindow.defaultExtension.empty() ? nullptr : gWindow.defaultExtension.c_str();
    // No OFN_FILEMUSTEXIST on open: a typed name that cannot be read gets the program's own message.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    BOOL confirmed = FALSE;
    if (mode == DialogMode::Save) {
        dialog.Flags |= OFN_OVERWRITEPROMPT;
        confirmed = GetSaveFileNameW(&dialog);
    } else {
        confirmed = GetOpenFileNameW(&dialog);
    }
    if (!confirmed) {
        gWindow.fileName = kept;
        return std::nullopt;
    }
    return std::filesystem::path(gWindow.fileName.data());
}

}  // namespace tavrel
