// End to end: starts tavrel.exe and drives it as a user would, with keys
// injected by SendInput, button clicks, the file dialog and a click target.
#ifndef _WIN32
#error "win32_e2e_test.cpp belongs to the Windows build"
#endif

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win32/win32_test_util.h"

namespace tavrel {
namespace {

using test::gTarget;
using test::PumpFor;
using test::PumpUntil;

constexpr int DelayBoxId = 101, AddDelayId = 102, SaveId = 103, LoadId = 104, ScriptBoxId = 105;
const wchar_t* const Caption = L"Tavrel - tavrel.example.org";

// A path from the build (a Unix path under Wine) in Windows form.
std::wstring WindowsPath(const char* path) {
    std::wstring wide;
    for (const char* p = path; *p != '\0'; ++p) wide.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
    return path[0] == '/' ? L"Z:" + wide : wide;
}

std::string Gbk(const std::wstring& text) {
    if (text.empty()) return {};
    const int count = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), out.data(), count, nullptr, nullptr);
    return out;
}

std::wstring LeftLine(int x, int y) {
    return L"\u5de6\u952e\u70b9\u51fb\uff08" + std::to_wstring(x) + L"\uff0c" + std::to_wstring(y) + L"\uff09\r\n";
}
std::wstring RightLine(int x, int y) {
    return L"\u53f3\u952e\u70b9\u51fb\uff08" + std::to_wstring(x) + L"\uff0c" + std::to_wstring(y) + L"\uff09\r\n";
}

std::string FileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// Another process's control text; WM_GETTEXT is marshalled between processes.
std::wstring ControlText(HWND control) {
    const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

struct DialogSearch {
    DWORD process;
    HWND except;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM raw) {
    auto* search = reinterpret_cast<DialogSearch*>(raw);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (process == search->process && window != search->except && IsWindowVisible(window) &&
        std::wstring(name) == L"#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK ListChild(HWND window, LPARAM raw) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    *reinterpret_cast<std::string*>(raw) += " " + Gbk(name) + ":" + std::to_string(GetDlgCtrlID(window));
    return TRUE;
}

BOOL CALLBACK FindEdit(HWND window, LPARAM raw) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) != L"Edit") return TRUE;
    *reinterpret_cast<HWND*>(raw) = window;
    return FALSE;
}

// The dialog's controls as "class:id", for failure messages.
std::string ChildList(HWND dialog) {
    std::string list;
    EnumChildWindows(dialog, ListChild, reinterpret_cast<LPARAM>(&list));
    return list;
}

class Win32EndToEnd : public testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = WindowsPath(TAVREL_E2E_DIR);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (const wchar_t* name : {L"\\\u811a\u672c.txt", L"\\held.txt"}) DeleteFileW((folder + name).c_str());
        ASSERT_NE(test::CreateTarget(500, 100, 600, 500), nullptr);

        std::wstring command = L"\"" + WindowsPath(TAVREL_EXE) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                   &startup, &app))
            << "cannot start " << TAVREL_EXE;
        // Found once shown with its controls: the window exists a little earlier.
        ASSERT_TRUE(PumpUntil(
            [] {
                main = FindWindowW(nullptr, Caption);
                script = main != nullptr && IsWindowVisible(main) ? GetDlgItem(main, ScriptBoxId) : nullptr;
                return script != nullptr;
            },
            20000));
        PumpFor(300);
    }
    static void TearDownTestSuite() {
        if (app.hProcess != nullptr) {
            if (WaitForSingleObject(app.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(app.hProcess, 1);
            CloseHandle(app.hProcess);
            CloseHandle(app.hThread);
        }
        DestroyWindow(gTarget.window);
    }

    static void SetScript(const std::wstring& text) {
        SendMessageW(script, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    static bool ScriptBecomes(const std::wstring& text, DWORD timeoutMs = 3000) {
        return PumpUntil([&] { return ControlText(script) == text; }, timeoutMs);
    }
    static void PressButton(int id) {
        // Posted: the button's handler may open a modal dialog.
        PostMessageW(GetDlgItem(main, id), BM_CLICK, 0, 0);
    }
    // A visible dialog of the program other than except, within the timeout.
    static HWND WaitForDialog(HWND except = nullptr, DWORD timeoutMs = 10000) {
        DialogSearch search{app.dwProcessId, except, nullptr};
        PumpUntil(
            [&] {
                search.found = nullptr;
                EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
                return search.found != nullptr;
            },
            timeoutMs);
        return search.found;
    }
    // Types the name into the file dialog and confirms it.
    static void ConfirmFileName(HWND dialog, const std::wstring& name) {
        HWND edit = nullptr;
        // The name box (cmb13) holds its edit one or two levels down.
        if (HWND combo = GetDlgItem(dialog, 0x47C)) EnumChildWindows(combo, FindEdit, reinterpret_cast<LPARAM>(&edit));
        if (edit == nullptr) edit = GetDlgItem(dialog, 0x480);
        ASSERT_NE(edit, nullptr) << "no file name box in the dialog:" << ChildList(dialog);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    }
    static bool Gone(HWND window) {
        return PumpUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 10000);
    }

    static inline PROCESS_INFORMATION app{};
    static inline HWND main = nullptr;
    static inline HWND script = nullptr;
    static inline std::wstring folder;
};

TEST_F(Win32EndToEnd, RecordsClicksAtTheCursorAndPlaysThemUntilStopped) {
    SetScript(L"");
    test::MoveCursorAndSettle(600, 200);
    test::PressKey(VK_F7);
    EXPECT_TRUE(ScriptBecomes(LeftLine(600, 200)));
    test::MoveCursorAndSettle(900, 450);
    test::PressKey(VK_F8);
    const std::wstring recorded = LeftLine(600, 200) + RightLine(900, 450);
    EXPECT_TRUE(ScriptBecomes(recorded));
    test::MoveCursorAndSettle(700, 300);
    test::PressKey(VK_F7, {VK_CONTROL});
    PumpFor(300);
    EXPECT_EQ(ControlText(script), recorded) << "Ctrl+F7 is not F7";

    gTarget.log.clear();
    test::PressKey(VK_F9);
    EXPECT_TRUE(PumpUntil([] { return test::Presses().size() >= 2; }, 8000));
    PumpFor(250);  // the second click moved the pointer
    test::PressKey(VK_F10);
    const LONGLONG stoppedAt = test::CounterMilliseconds();
    PumpFor(2500);  // the pass in progress ends; no other may start
    const auto presses = test::Presses();
    ASSERT_GE(presses.size(), 2u);
    EXPECT_EQ(presses[0], (test::MouseRecord{WM_LBUTTONDOWN, 600, 200, 0}));
    EXPECT_EQ(presses[1], (test::MouseRecord{WM_RBUTTONDOWN, 900, 450, 0}));
    EXPECT_GE(presses[1].ms - presses[0].ms, 950) << "one second between lines";
    for (std::size_t i = 2; i < presses.size(); ++i) EXPECT_LT(presses[i].ms, stoppedAt) << "a click after F10";
}

TEST_F(Win32EndToEnd, AddDelayAppendsTheDelayBoxValue) {
    SetScript(L"");
    SendMessageW(GetDlgItem(main, DelayBoxId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"250"));
    PressButton(AddDelayId);
    EXPECT_TRUE(ScriptBecomes(L"\u5ef6\u65f6\uff08" L"250\uff09\r\n"));
}

TEST_F(Win32EndToEnd, SaveThenLoadRestoresTheScriptAsGbk) {
    const std::wstring text = LeftLine(1, 2) + L"\u5ef6\u65f6\uff08" L"250\uff09\r\n" + RightLine(1279, 799);
    SetScript(text);
    PressButton(SaveId);
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr) << "no save dialog";
    // Without an extension: the dialog adds ".txt".
    ConfirmFileName(dialog, folder + L"\\\u811a\u672c");
    ASSERT_TRUE(Gone(dialog));
    const std::wstring saved = folder + L"\\\u811a\u672c.txt";
    EXPECT_TRUE(PumpUntil([&] { return FileBytes(saved) == Gbk(text); }, 5000)) << FileBytes(saved);

    SetScript(L"something else");
    PressButton(LoadId);
    dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr) << "no open dialog";
    ConfirmFileName(dialog, saved);
    ASSERT_TRUE(Gone(dialog));
    EXPECT_TRUE(ScriptBecomes(text));
}

TEST_F(Win32EndToEnd, FailedSaveKeepsTheOldFileAndTheScriptAndSaysSo) {
    const std::wstring held = folder + L"\\held.txt";
    {
        HANDLE file = CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, "old\r\n", 5, &written, nullptr);
        CloseHandle(file);
    }
    // Open here without delete sharing: the file cannot be replaced meanwhile.
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::wstring text = RightLine(5, 6);
    SetScript(text);
    PressButton(SaveId);
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    ConfirmFileName(dialog, held);
    // The file exists: the dialog asks before replacing it.
    HWND ask = WaitForDialog(dialog);
    ASSERT_NE(ask, nullptr) << "no overwrite question";
    PostMessageW(ask, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(ask, IDYES)));
    ASSERT_TRUE(Gone(dialog));

    HWND message = WaitForDialog();
    ASSERT_NE(message, nullptr) << "no message about the failed save";
    wchar_t title[64] = {};
    GetWindowTextW(message, title, 64);
    EXPECT_STREQ(title, Caption);
    const std::wstring said = ControlText(GetDlgItem(message, 0xFFFF));
    EXPECT_NE(said.find(L"\u65e0\u6cd5\u4fdd\u5b58\u811a\u672c\uff1a"), std::wstring::npos) << Gbk(said);
    EXPECT_NE(said.find(L"held.txt"), std::wstring::npos) << Gbk(said);
    PostMessageW(message, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(message, IDOK)));
    EXPECT_TRUE(Gone(message));
    CloseHandle(holder);

    EXPECT_EQ(FileBytes(held), "old\r\n");
    EXPECT_EQ(ControlText(script), text);
    const auto left = test::FolderEntries(folder);
    EXPECT_EQ(left.size(), 2u) << "no temporary left beside the file";
}

TEST_F(Win32EndToEnd, ClosingTheWindowEndsTheProgram) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(app.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(app.hProcess, &code);
    EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace tavrel
