// The Win32 backend against the real system (under Wine): keys, pointer,
// clicks, timers, threads, files and the main window.
#ifndef _WIN32
#error "win32_backend_test.cpp belongs to the Windows build"
#endif

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "platform/platform.h"
#include "services/precise_delay.h"
#include "tests/win32/win32_test_util.h"

namespace tavrel {

namespace {
std::vector<std::int32_t> gPressedButtons;
}  // namespace

// The application's button handler, replaced here by a log.
void OnButtonPressed(std::int32_t control) { gPressedButtons.push_back(control); }

namespace {

using test::gTarget;
using test::MouseRecord;
using test::PumpFor;
using test::PumpUntil;

TEST(Win32Keys, SnapshotSeesAnInjectedKeyWhileHeldAndUpAfter) {
    const std::int32_t codes[] = {VK_F7};
    KeySnapshot snapshot{};
    test::SendKey(VK_F7, true);
    bool sawDown = PumpUntil(
        [&] {
            ReadKeySnapshot(codes, snapshot);
            return snapshot[VK_F7] < 0;
        },
        2000);
    PumpFor(120);
    ReadKeySnapshot(codes, snapshot);
    EXPECT_TRUE(sawDown);
    EXPECT_LT(snapshot[VK_F7], 0) << "still held";
    test::SendKey(VK_F7, false);
    // Only a press "since the last query" may linger once: then 0 for good.
    const bool sawUp = PumpUntil(
        [&] {
            ReadKeySnapshot(codes, snapshot);
            return snapshot[VK_F7] == 0;
        },
        2000);
    EXPECT_TRUE(sawUp);
}

TEST(Win32Pointer, CursorPositionReadsBackWhereTheCursorWasPut) {
    const POINT points[] = {{10, 10}, {640, 400}, {1279, 799}, {0, 0}};
    for (const POINT& p : points) {
        ASSERT_TRUE(SetCursorPos(p.x, p.y));
        const ScreenPoint read = CursorPosition();
        EXPECT_EQ(read.x, p.x);
        EXPECT_EQ(read.y, p.y);
    }
}

class Win32Clicks : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_NE(test::CreateTarget(200, 150, 400, 300), nullptr);
        PumpFor(200);
    }
    static void TearDownTestSuite() {
        DestroyWindow(gTarget.window);
        gTarget.window = nullptr;
    }
};

TEST_F(Win32Clicks, EachKindReachesTheWindowUnderThePoint) {
    constexpr UINT LD = WM_LBUTTONDOWN, LU = WM_LBUTTONUP, RD = WM_RBUTTONDOWN, RU = WM_RBUTTONUP;
    struct Case {
        std::int32_t kind;
        LONG x, y;
        std::vector<UINT> messages;
    };
    const Case cases[] = {
        {0, 250, 200, {LD, LU}},
        {1, 300, 220, {LD, LU, LD, LU}},
        {2, 350, 240, {RD, RU}},
        {3, 400, 260, {RD, RU, RD, RU}},
        {7, 450, 280, {LD, LU}},  // unknown kinds click left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind);
        gTarget.log.clear();
        ClickAt(c.x, c.y, c.kind);
        PumpUntil([&] { return gTarget.log.size() >= c.messages.size(); }, 3000);
        PumpFor(150);  // nothing more may follow
        std::vector<MouseRecord> expected;
        for (UINT m : c.messages) expected.push_back({m, c.x, c.y, 0});
        EXPECT_EQ(gTarget.log, expected);
        const ScreenPoint after = CursorPosition();
        EXPECT_EQ(after.x, c.x);
        EXPECT_EQ(after.y, c.y);
    }
}

std::atomic<int> gTicks{0};
std::atomic<DWORD> gTickThread{0};
void CountTick() {
    gTickThread.store(GetCurrentThreadId());
    ++gTicks;
}
void IgnoreTick() {}

TEST(Win32Timers, PeriodicTimerRunsOnTheCallingThreadsLoop) {
    gTicks = 0;
    StartPeriodicTimer(16661, 10, CountTick);
    EXPECT_TRUE(PumpUntil([] { return gTicks.load() >= 5; }, 3000));
    EXPECT_EQ(gTickThread.load(), GetCurrentThreadId());
    StartPeriodicTimer(16661, 10, IgnoreTick);
}

struct ThreadSeen {
    std::atomic<std::int32_t> parameter{0};
    std::atomic<DWORD> thread{0};
    HANDLE done = nullptr;
};
ThreadSeen gThreadSeen;

std::uint32_t NoteThread(std::int32_t parameter) {
    gThreadSeen.parameter.store(parameter);
    gThreadSeen.thread.store(GetCurrentThreadId());
    SetEvent(gThreadSeen.done);
    return 0;
}

TEST(Win32Threads, StartThreadRunsTheRoutineWithItsParameterElsewhere) {
    gThreadSeen.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    StartThread(NoteThread, 4242);
    ASSERT_EQ(WaitForSingleObject(gThreadSeen.done, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(gThreadSeen.parameter.load(), 4242);
    EXPECT_NE(gThreadSeen.thread.load(), GetCurrentThreadId());
    CloseHandle(gThreadSeen.done);
}

TEST(Win32Threads, CallDirectRunsOnTheCallingThread) {
    gThreadSeen.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CallDirect(NoteThread, 7);
    EXPECT_EQ(gThreadSeen.parameter.load(), 7);
    EXPECT_EQ(gThreadSeen.thread.load(), GetCurrentThreadId());
    CloseHandle(gThreadSeen.done);
}

// Messages posted during a delay reach their window without cutting the delay short.
struct DelayProbe {
    HWND window = nullptr;
    std::atomic<std::int64_t> dispatchedAt{0};
};
DelayProbe gDelayProbe;

LRESULT CALLBACK DelayProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 7) {
        gDelayProbe.dispatchedAt.store(MonotonicNanoseconds());
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI PostLater(LPVOID) {
    Sleep(50);
    PostMessageW(gDelayProbe.window, WM_APP + 7, 0, 0);
    return 0;
}

TEST(Win32Timers, PreciseDelayWaitsItsTimeAndDispatchesMeanwhile) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DelayProbeProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TavrelDelayProbe";
    RegisterClassW(&windowClass);
    gDelayProbe.window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         windowClass.hInstance, nullptr);
    ASSERT_NE(gDelayProbe.window, nullptr);
    HANDLE poster = CreateThread(nullptr, 0, PostLater, nullptr, 0, nullptr);
    const std::int64_t start = MonotonicNanoseconds();
    PreciseDelay(200, DelayMilliseconds);
    const std::int64_t end = MonotonicNanoseconds();
    WaitForSingleObject(poster, 5000);
    CloseHandle(poster);
    // One millisecond of slack for the two clocks' rounding.
    EXPECT_GE(end - start, 199'000'000);
    const std::int64_t at = gDelayProbe.dispatchedAt.load();
    EXPECT_GT(at, start);
    EXPECT_LT(at, end) << "the posted message waited for the delay to end";
    DestroyWindow(gDelayProbe.window);
}

TEST(Win32Timers, OneShotTimerSignalsAfterItsDueTime) {
    OneShotTimer timer = CreateOneShotTimer();
    ASSERT_NE(timer, nullptr);
    PumpFor(0);
    const std::int64_t start = MonotonicNanoseconds();
    ASSERT_TRUE(ArmOneShotTimer(timer, -50 * 10000));
    WaitResult result = WaitResult::Messages;
    while (result == WaitResult::Messages) {
        result = WaitForTimerOrMessages(timer);
        if (result == WaitResult::Messages) PumpMessages();
    }
    EXPECT_EQ(result, WaitResult::Timer);
    EXPECT_GE(MonotonicNanoseconds() - start, 49'000'000);
    CloseOneShotTimer(timer);
}

TEST(Win32Clock, SleepUntilReachesItsDeadline) {
    for (std::int64_t ms : {1, 15, 40}) {
        const std::int64_t deadline = MonotonicNanoseconds() + ms * 1'000'000;
        SleepUntilNanoseconds(deadline);
        EXPECT_GE(MonotonicNanoseconds(), deadline);
    }
}

TEST(Win32Soak, HundredThousandDelaysLeaveNoHandleOpen) {
    DWORD before = 0, after = 0;
    PreciseDelay(1, DelayMicroseconds);  // anything made once at first use is made now
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
    for (int i = 0; i < 100000; ++i) PreciseDelay(1, DelayMicroseconds);
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
    EXPECT_LE(after, before + 2);  // a stray handle of Wine's own may come and go, a leak is 100,000
}

class Win32Files : public testing::Test {
protected:
    void SetUp() override { folder = test::MakeTempFolder(L"tavrel_files"); }
    void TearDown() override {
        for (const std::wstring& name : test::FolderEntries(folder)) {
            const std::wstring full = folder + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(full.c_str())) RemoveDirectoryW(full.c_str());
        }
        RemoveDirectoryW(folder.c_str());
    }
    std::filesystem::path In(const std::wstring& name) const { return std::filesystem::path(folder + L"\\" + name); }
    std::wstring folder;
};

TEST_F(Win32Files, NonAsciiNameRoundTripsEveryByteValue) {
    std::vector<unsigned char> bytes;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<unsigned char>(b));
    }
    const auto file = In(L"\u811a\u672c \u00e9\u00df \u30c6\u30b9\u30c8.txt");  // 脚本 éß テスト
    ASSERT_TRUE(WriteWholeFile(file, bytes));
    EXPECT_EQ(ReadWholeFile(file), bytes);
    // Replacing it again leaves just the one file behind.
    bytes.resize(10);
    ASSERT_TRUE(WriteWholeFile(file, bytes));
    EXPECT_EQ(ReadWholeFile(file), bytes);
    EXPECT_EQ(test::FolderEntries(folder).size(), 1u);
}

TEST_F(Win32Files, EmptyFileIsAnEmptyContent) {
    const auto file = In(L"empty.txt");
    ASSERT_TRUE(WriteWholeFile(file, {}));
    const auto read = ReadWholeFile(file);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->empty());
}

TEST_F(Win32Files, MissingFilesAndFoldersHaveNoContent) {
    EXPECT_FALSE(ReadWholeFile(In(L"missing.txt")).has_value());
    EXPECT_FALSE(ReadWholeFile(std::filesystem::path(folder)).has_value());
}

TEST_F(Win32Files, FailedReplaceKeepsTheOldFileAndLeavesNoTemporary) {
    const std::vector<unsigned char> old = {'o', 'l', 'd', '\r', '\n'};
    const std::vector<unsigned char> fresh = {'n', 'e', 'w'};
    const auto held = In(L"held.txt");
    ASSERT_TRUE(WriteWholeFile(held, old));
    // Open elsewhere without delete sharing: the file cannot be replaced.
    HANDLE other = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteWholeFile(held, fresh));
    CloseHandle(other);
    EXPECT_EQ(ReadWholeFile(held), old);

    const auto folderTarget = In(L"a folder");
    ASSERT_TRUE(CreateDirectoryW(folderTarget.c_str(), nullptr));
    EXPECT_FALSE(WriteWholeFile(folderTarget, fresh));
    EXPECT_EQ(GetFileAttributesW(folderTarget.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    EXPECT_FALSE(WriteWholeFile(In(L"no such folder\\x.txt"), fresh));
    EXPECT_EQ(test::FolderEntries(folder).size(), 2u) << "only the held file and the folder";
}

TEST(Win32Program, ProgramDirectoryHoldsThisExecutable) {
    const auto folder = ProgramDirectory();
    EXPECT_TRUE(folder.is_absolute());
    const auto self = folder / L"" TAVREL_TEST_EXE_NAME;
    EXPECT_NE(GetFileAttributesW(self.c_str()), INVALID_FILE_ATTRIBUTES) << PathToText(self);
}

TEST(Win32Program, PathToTextGivesGbkAndMarksWhatGbkLacks) {
    EXPECT_EQ(PathToText(std::filesystem::path(L"C:\\\u811a\u672c.txt")), "C:\\\xBD\xC5\xB1\xBE.txt");
    EXPECT_EQ(PathToText(std::filesystem::path(L"C:\\\u0e01.txt")), "C:\\?.txt");  // Thai
}

// ---- The main window ------------------------------------------------------

const ControlSpec TestControls[] = {
    {ControlKind::Label, "label", 6, 6, 104, 24, "\xD1\xD3\xCA\xB1"},  // 延时
    {ControlKind::LineEdit, "line", 30, 38, 48, 24, "1000"},
    {ControlKind::Button, "button", 22, 70, 64, 32, "\xBC\xD3\xC8\xEB"},  // 加入
    {ControlKind::ScriptEdit, "script", 110, 6, 186, 232, ""},
};
constexpr std::int32_t LineBox = 1, TestButton = 2, TestScript = 3;
const WindowSpec TestWindow = {700, 60, 306, 317, "Tavrel \xB2\xE2\xCA\xD4", TestControls};  // 测试

class Win32Window : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(CreateMainWindow(TestWindow));
        main = FindWindowW(L"TavrelMainWindow", L"Tavrel \u6d4b\u8bd5");
        ASSERT_NE(main, nullptr);
        PumpFor(100);
    }
    static HWND Control(std::int32_t index) { return GetDlgItem(main, 100 + index); }
    static inline HWND main = nullptr;
};

TEST_F(Win32Window, ClientAreaAndControlsSitWhereTheLayoutSays) {
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, TestWindow.width);
    EXPECT_EQ(client.bottom, TestWindow.height);
    for (std::size_t i = 0; i < std::size(TestControls); ++i) {
        SCOPED_TRACE(testing::Message() << "control " << i);
        HWND control = Control(static_cast<std::int32_t>(i));
        ASSERT_NE(control, nullptr);
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, TestControls[i].x);
        EXPECT_EQ(r.top, TestControls[i].y);
        EXPECT_EQ(r.right - r.left, TestControls[i].width);
        EXPECT_EQ(r.bottom - r.top, TestControls[i].height);
    }
    wchar_t text[32] = {};
    SendMessageW(Control(TestButton), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"\u52a0\u5165");
}

TEST_F(Win32Window, TextRoundTripsAsGbk) {
    const std::string chinese = "\xD1\xD3\xCA\xB1\xA3\xA8" "250\xA3\xA9\r\n";  // 延时（250）
    SetEditBoxText(TestScript, chinese);
    EXPECT_EQ(EditBoxText(TestScript), chinese);
    EXPECT_EQ(EditBoxText(LineBox), "1000");
    SetEditBoxText(LineBox, "");
    EXPECT_EQ(EditBoxText(LineBox), "");
}

struct AppendJob {
    std::string text;
    HANDLE done;
};
DWORD WINAPI AppendFromWorker(LPVOID raw) {
    auto* job = static_cast<AppendJob*>(raw);
    AppendToEditBox(TestScript, job->text);
    SetEvent(job->done);
    return 0;
}

TEST_F(Win32Window, AppendFromAnyThreadGoesAfterTheLastByteAndMovesTheCaret) {
    SetEditBoxText(TestScript, "first\r\nsecond\r\n");
    HWND script = Control(TestScript);
    SendMessageW(script, EM_SETSEL, 2, 4);  // the user's selection elsewhere
    AppendJob job{"third\r\n", CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE worker = CreateThread(nullptr, 0, AppendFromWorker, &job, 0, nullptr);
    // The worker's call is served by this thread's messages.
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(job.done, 0) == WAIT_OBJECT_0; }, 5000));
    WaitForSingleObject(worker, 5000);
    CloseHandle(worker);
    CloseHandle(job.done);
    EXPECT_EQ(EditBoxText(TestScript), "first\r\nsecond\r\nthird\r\n");
    DWORD start = 0, end = 0;
    SendMessageW(script, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 22u);
    EXPECT_EQ(end, 22u);
    AppendToEditBox(TestScript, "\xD3\xD2");  // 右, from the UI thread itself
    EXPECT_EQ(EditBoxText(TestScript), "first\r\nsecond\r\nthird\r\n\xD3\xD2");
}

TEST_F(Win32Window, EditBoxesTakeLongTextAndTheScriptWrapsLongLines) {
    const std::string line(300, 'x');
    SetEditBoxText(TestScript, line);
    EXPECT_GT(SendMessageW(Control(TestScript), EM_GETLINECOUNT, 0, 0), 1) << "a long line wraps";
    std::string big;
    for (int i = 0; i < 2200; ++i) big += "\xD7\xF3\xBC\xFC\xA3\xA8" "123\xA3\xAC" "456\xA3\xA9\r\n";  // 左键（123，456）
    SetEditBoxText(TestScript, big);
    AppendToEditBox(TestScript, "end");
    EXPECT_EQ(EditBoxText(TestScript), big + "end") << "beyond the default limit of 32767 characters";
    SetEditBoxText(TestScript, "");
    const std::string longLine(40000, '7');
    SetEditBoxText(LineBox, longLine);
    EXPECT_EQ(EditBoxText(LineBox), longLine);
    SetEditBoxText(LineBox, "1000");
}

TEST_F(Win32Window, ButtonClicksReachTheApplicationWithTheirIndex) {
    gPressedButtons.clear();
    SendMessageW(Control(TestButton), BM_CLICK, 0, 0);
    PumpFor(50);
    EXPECT_EQ(gPressedButtons, std::vector<std::int32_t>{TestButton});
}

DWORD WINAPI ReadAfterClose(LPVOID raw) {
    AppendToEditBox(TestScript, "late");
    *static_cast<std::string*>(raw) = EditBoxText(TestScript);
    return 0;
}

TEST_F(Win32Window, AfterTheWindowIsClosedEditCallsReturnAtOnce) {
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main));
    RunMessageLoop();  // the close posted the quit that ends it
    std::string seen = "unset";
    HANDLE worker = CreateThread(nullptr, 0, ReadAfterClose, &seen, 0, nullptr);
    // Nobody pumps messages now: the worker must not wait for this thread.
    EXPECT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
    CloseHandle(worker);
    EXPECT_EQ(seen, "");
}

}  // namespace

}  // namespace tavrel
