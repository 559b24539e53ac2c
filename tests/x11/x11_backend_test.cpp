// The X11 backend against a real X server: keys, pointer, clicks, waits, files,
// and the window's edit boxes.
#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros (None, Bool) would clash with its names.
#include <FL/Fl.H>
#include <FL/Fl_Text_Editor.H>
#include <FL/Fl_Window.H>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

#include "platform/platform.h"
#include "platform/x11_shared.h"
#include "services/precise_delay.h"
#include "x11_test_support.h"

namespace tavrel {
void OnButtonPressed(std::int32_t) {}
}  // namespace tavrel

namespace {

using namespace tavrel;
using namespace x11test;

std::int64_t ElapsedMs(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// ---- Keys and pointer -----------------------------------------------------

struct KeyCase {
    const char* name;
    KeySym keysym;
    std::vector<std::int32_t> downCodes;  // read as down while the key is held
    std::vector<std::int32_t> upCodes;    // read as up meanwhile
};

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        target = OpenTarget(300, 300, 200, 150);
        ASSERT_NE(target.display, nullptr) << "no X display";
    }
    void TearDown() override { CloseTarget(target); }
    Target target;
};

TEST_F(InputTest, SnapshotFollowsKeysWhateverWindowHasTheFocus) {
    const KeyCase cases[] = {
        {"F7", XK_F7, {0x76}, {0x77}},
        {"F10", XK_F10, {0x79}, {0x76}},
        {"A", XK_a, {0x41}, {0x42}},
        {"7", XK_7, {0x37}, {0x60 + 7}},
        {"keypad 3", XK_KP_3, {0x63}, {0x33}},
        {"left Shift", XK_Shift_L, {16, 0xA0}, {0xA1, 17}},
        {"right Shift", XK_Shift_R, {16, 0xA1}, {0xA0}},
        {"left Ctrl", XK_Control_L, {17, 0xA2}, {0xA3, 16}},
        {"left Alt", XK_Alt_L, {18, 0xA4}, {17}},
        {"left Super", XK_Super_L, {91}, {92, 18}},
        {"Enter", XK_Return, {0x0D}, {0x20}},
        {"Space", XK_space, {0x20}, {0x0D}},
        {"Home", XK_Home, {0x24}, {0x23}},
    };
    Focus(target);
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int32_t> codes = c.downCodes;
        codes.insert(codes.end(), c.upCodes.begin(), c.upCodes.end());
        Key(target.display, c.keysym, true);
        SleepMs(30);
        KeySnapshot snapshot{};
        snapshot.fill(7);  // named codes must all be written
        ReadKeySnapshot(codes, snapshot);
        Key(target.display, c.keysym, false);
        for (std::int32_t code : c.downCodes) EXPECT_LT(snapshot[code], 0) << "code " << code;
        for (std::int32_t code : c.upCodes) EXPECT_EQ(snapshot[code], 0) << "code " << code;
        SleepMs(10);
        ReadKeySnapshot(codes, snapshot);
        for (std::int32_t code : codes) EXPECT_EQ(snapshot[code], 0) << "after release, code " << code;
    }
}

TEST_F(InputTest, CodesWithoutAnXKeyReadAsUpAndOthersAreIgnored) {
    KeySnapshot snapshot{};
    snapshot.fill(7);
    const std::int32_t codes[] = {0x07, 0xFF, 0, 300, -5};
    ReadKeySnapshot(codes, snapshot);
    EXPECT_EQ(snapshot[0x07], 0);
    EXPECT_EQ(snapshot[0xFF], 0);
    EXPECT_EQ(snapshot[0], 7);
}

TEST_F(InputTest, MouseButtonsReadFromThePointer) {
    MovePointer(target.display, 350, 350);
    const std::int32_t codes[] = {1, 2, 4};
    for (const auto& [button, code] : {std::pair{1u, 1}, std::pair{3u, 2}, std::pair{2u, 4}}) {
        SCOPED_TRACE(code);
        XTestFakeButtonEvent(target.display, button, True, CurrentTime);
        XSync(target.display, False);
        KeySnapshot snapshot{};
        ReadKeySnapshot(codes, snapshot);
        XTestFakeButtonEvent(target.display, button, False, CurrentTime);
        XSync(target.display, False);
        for (std::int32_t other : codes) {
            if (other == code) EXPECT_LT(snapshot[other], 0);
            else EXPECT_EQ(snapshot[other], 0);
        }
        ReadKeySnapshot(codes, snapshot);
        EXPECT_EQ(snapshot[code], 0);
    }
}

TEST_F(InputTest, CursorPositionFollowsThePointer) {
    for (const auto& [x, y] : {std::pair{10, 20}, std::pair{640, 360}, std::pair{1279, 799}}) {
        MovePointer(target.display, x, y);
        const ScreenPoint p = CursorPosition();
        EXPECT_EQ(p.x, x);
        EXPECT_EQ(p.y, y);
    }
}

TEST_F(InputTest, ClickAtPressesAndReleasesTheButtonAtThePoint) {
    struct ClickCase {
        std::int32_t kind;
        unsigned button;
        int count;
    };
    const ClickCase cases[] = {{0, 1, 1}, {1, 1, 2}, {2, 3, 1}, {3, 3, 2}, {7, 1, 1}, {-1, 1, 1}};
    int x = 320;
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.kind);
        x += 7;
        ClickAt(x, 340, c.kind);
        const auto seen = Collect(target, 2000, [&](const std::vector<Seen>& s) {
            return static_cast<int>(OfType(s, ButtonRelease).size()) >= c.count;
        });
        const auto late = Collect(target, 100);  // nothing more follows
        const auto presses = OfType(seen, ButtonPress);
        const auto releases = OfType(seen, ButtonRelease);
        ASSERT_EQ(presses.size(), static_cast<std::size_t>(c.count));
        ASSERT_EQ(releases.size(), static_cast<std::size_t>(c.count));
        EXPECT_TRUE(OfType(late, ButtonPress).empty());
        for (const auto* list : {&presses, &releases}) {
            for (const Seen& s : *list) {
                EXPECT_EQ(s.event.xbutton.button, c.button);
                EXPECT_EQ(s.event.xbutton.x_root, x);
                EXPECT_EQ(s.event.xbutton.y_root, 340);
            }
        }
        EXPECT_EQ(CursorPosition().x, x);  // the cursor stays
    }
}

TEST_F(InputTest, ClickAtWorksFromAnyThread) {
    std::thread([] { ClickAt(410, 410, 2); }).join();
    const auto seen = Collect(target, 2000, [](const auto& s) { return !OfType(s, ButtonRelease).empty(); });
    const auto presses = OfType(seen, ButtonPress);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].event.xbutton.button, 3u);
    EXPECT_EQ(presses[0].event.xbutton.x_root, 410);
}

// ---- Waits ------------------------------------------------------------------

TEST(WaitTest, DelaysOnAWorkerThreadLastTheirTime) {
    for (const auto& [interval, unit, ms] : {std::tuple{50, DelayMilliseconds, 50}, std::tuple{20000, DelayMicroseconds, 20}}) {
        std::int64_t took = 0;
        std::thread([&, interval = interval, unit = unit] {
            const auto start = Clock::now();
            PreciseDelay(interval, unit);
            took = ElapsedMs(start);
        }).join();
        EXPECT_GE(took, ms);
    }
}

TEST(WaitTest, OneShotTimerKeepsAnAbsoluteDeadline) {
    OneShotTimer timer = CreateOneShotTimer();
    ASSERT_NE(timer, nullptr);
    const std::int64_t start = MonotonicNanoseconds();
    ASSERT_TRUE(ArmOneShotTimer(timer, (start + 30'000'000) / 100));
    EXPECT_EQ(WaitForTimerOrMessages(timer), WaitResult::Timer);
    EXPECT_GE(MonotonicNanoseconds() - start, 30'000'000);
    // A deadline already passed is signalled at once rather than never.
    ASSERT_TRUE(ArmOneShotTimer(timer, 0));
    EXPECT_EQ(WaitForTimerOrMessages(timer), WaitResult::Timer);
    CloseOneShotTimer(timer);
}

TEST(WaitTest, SleepUntilReachesTheDeadline) {
    const std::int64_t deadline = MonotonicNanoseconds() + 20'000'000;
    SleepUntilNanoseconds(deadline);
    EXPECT_GE(MonotonicNanoseconds(), deadline);
}

// ---- Files ------------------------------------------------------------------

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/tavrel_x11_files_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
    }
    void TearDown() override {
        std::system(("chattr -i '" + folder.string() + "' 2>/dev/null").c_str());
        std::filesystem::remove_all(folder);
    }
    static std::vector<unsigned char> Bytes(std::string_view s) { return {s.begin(), s.end()}; }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
    }
    std::filesystem::path folder;
};

TEST_F(FileTest, WrittenBytesReadBackExactly) {
    const std::string contents[] = {"", "\xD7\xF3\xBC\xFC\r\n", std::string("a\0b\xFF", 4), std::string(200000, 'x')};
    const std::filesystem::path names[] = {folder / "plain.txt", folder / "\xE8\x84\x9A\xE6\x9C\xAC.txt"};  // 脚本.txt
    for (const auto& path : names) {
        for (const std::string& content : contents) {
            ASSERT_TRUE(WriteWholeFile(path, Bytes(content)));
            const auto read = ReadWholeFile(path);
            ASSERT_TRUE(read.has_value());
            EXPECT_EQ(*read, Bytes(content));
        }
    }
    EXPECT_EQ(Entries(), 2u);  // no temporary left behind
}

TEST_F(FileTest, MissingFilesAndFoldersReadAsNothing) {
    EXPECT_FALSE(ReadWholeFile(folder / "missing.txt").has_value());
    EXPECT_FALSE(ReadWholeFile(folder).has_value());
    EXPECT_FALSE(ReadWholeFile("/proc/self/mem").has_value());  // opens, but reading fails
}

TEST_F(FileTest, FailedWriteLeavesTheOldFileAndNoTemporary) {
    const auto file = folder / "script.txt";
    ASSERT_TRUE(WriteWholeFile(file, Bytes("old")));
    // Target is a folder: the final rename fails after the temporary was written.
    std::filesystem::create_directory(folder / "sub.txt");
    EXPECT_FALSE(WriteWholeFile(folder / "sub.txt", Bytes("new")));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "sub.txt"));
    EXPECT_FALSE(WriteWholeFile(folder / "no" / "such.txt", Bytes("new")));
    EXPECT_EQ(Entries(), 2u);
    // Folder made immutable (holds for root too): no temporary can be made.
    if (std::system(("chattr +i '" + folder.string() + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "chattr +i is not available here";
    }
    EXPECT_FALSE(WriteWholeFile(file, Bytes("new")));
    EXPECT_EQ(ReadWholeFile(file), Bytes("old"));
}

TEST(ProgramTest, DirectoryIsTheExecutablesFolder) {
    EXPECT_EQ(std::filesystem::canonical(ProgramDirectory()), std::filesystem::canonical(TEST_BINARY_DIR));
}

// ---- Text conversion --------------------------------------------------------

TEST(TextTest, GbkAndUtf8Convert) {
    EXPECT_EQ(GbkToUtf8("\xD7\xF3\xBC\xFC a\x80"), "\xE5\xB7\xA6\xE9\x94\xAE a\xE2\x82\xAC");  // 左键 a€
    EXPECT_EQ(Utf8ToGbk("\xE5\xB7\xA6 \xF0\x9F\x98\x80 \xC3"), "\xD7\xF3 ? ?");  // 左, an emoji, a broken byte
    // Bytes that start no GBK character are kept apart, not dropped, and come back.
    for (std::string_view gbk : {"\x81\x30", "\xFF", "a\xB0", "\xAA\xA1"}) {
        const std::string utf8 = GbkToUtf8(gbk);
        EXPECT_GE(utf8.size(), gbk.size());
        EXPECT_EQ(Utf8ToGbk(utf8), gbk);
    }
}

// ---- The window ---------------------------------------------------------------

enum : std::int32_t { TestLabel, TestLine, TestButton, TestScript };

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static const ControlSpec controls[] = {
            {ControlKind::Label, "label", 6, 6, 100, 24, "\xD1\xD3\xCA\xB1"},
            {ControlKind::LineEdit, "line", 6, 36, 100, 24, "1000"},
            {ControlKind::Button, "button", 6, 66, 100, 30, "OK"},
            {ControlKind::ScriptEdit, "script", 110, 6, 180, 200, ""},
        };
        static const WindowSpec spec{600, 100, 300, 220, "Backend test", controls};
        created = CreateMainWindow(spec);
    }
    void SetUp() override { ASSERT_TRUE(created); }
    // Runs the FLTK loop on this thread until done() holds or two seconds pass.
    static void LoopUntil(const std::function<bool()>& done) {
        const auto end = Clock::now() + std::chrono::seconds(2);
        while (!done() && Clock::now() < end) Fl::wait(0.01);
    }
    static Fl_Text_Editor* Script() {
        Fl_Window* window = Fl::first_window();
        for (int i = 0; window != nullptr && i < window->children(); ++i) {
            if (window->child(i)->user_data() == reinterpret_cast<void*>(TestScript)) {
                return static_cast<Fl_Text_Editor*>(window->child(i));
            }
        }
        return nullptr;
    }
    static inline bool created = false;
};

TEST_F(WindowTest, ScriptTextRoundTripsByteForByte) {
    const std::string_view texts[] = {
        "",
        "\xD7\xF3\xBC\xFC\xB5\xE3\xBB\xF7\xA3\xA8" "640\xA3\xAC" "360\xA3\xA9\r\n",  // 左键点击（640，360）
        "a\r\nb\r\n\r\n",
        "lf\nonly\n",
        "lone\rcr\r\r\n",
        "bad \x81\x30 \xFF end\xB0",
        "\xA1\xA1 tab\tand @ & marks",
    };
    for (std::string_view text : texts) {
        SetEditBoxText(TestScript, text);
        EXPECT_EQ(EditBoxText(TestScript), text);
    }
    // The widget shows "\r\n" as a line break and a lone LF not as one.
    SetEditBoxText(TestScript, "a\r\nb\nc");
    ASSERT_NE(Script(), nullptr);
    EXPECT_EQ(Script()->buffer()->count_lines(0, Script()->buffer()->length()), 1);
}

TEST_F(WindowTest, LineEditTextRoundTrips) {
    for (const char* text : {"", "250", "\xA3\xB2\xA3\xB5\xA3\xB0", "x"}) {
        SetEditBoxText(TestLine, text);
        EXPECT_EQ(EditBoxText(TestLine), text);
    }
    AppendToEditBox(TestLine, "9");
    EXPECT_EQ(EditBoxText(TestLine), "x9");
    EXPECT_EQ(EditBoxText(TestLabel), "");  // not an edit box
}

TEST_F(WindowTest, AppendFromAWorkerGoesAfterTheLastByte) {
    SetEditBoxText(TestScript, "first\r\n");
    Fl_Text_Editor* editor = Script();
    ASSERT_NE(editor, nullptr);
    editor->insert_position(0);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        AppendToEditBox(TestScript, "second\r\n");
        AppendToEditBox(TestScript, "\xD3\xD2\r\n");
        done = true;
    });
    LoopUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(EditBoxText(TestScript), "first\r\nsecond\r\n\xD3\xD2\r\n");
    EXPECT_EQ(editor->insert_position(), editor->buffer()->length());
}

TEST_F(WindowTest, WorkerReadsAndWritesWhileTheLoopRuns) {
    std::atomic<bool> done{false};
    std::string read;
    std::thread worker([&] {
        SetEditBoxText(TestScript, "w\r\n");
        read = EditBoxText(TestScript);
        done = true;
    });
    LoopUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(read, "w\r\n");
}

std::atomic<int> gTicks{0};

TEST_F(WindowTest, DelayOnTheUiThreadKeepsTheLoopRunningAndLastsItsTime) {
    StartPeriodicTimer(1, 5, [] { ++gTicks; });
    std::atomic<bool> stop{false};
    // Events arriving for the window meanwhile must not cut the wait short.
    std::thread mover([&] {
        Display* d = XOpenDisplay(nullptr);
        for (int i = 0; !stop; ++i) {
            MovePointer(d, 650 + i % 50, 150);
            SleepMs(3);
        }
        XCloseDisplay(d);
    });
    const int before = gTicks;
    const auto start = Clock::now();
    PreciseDelay(50, DelayMilliseconds);
    const auto took = ElapsedMs(start);
    stop = true;
    mover.join();
    EXPECT_GE(took, 50);
    EXPECT_GT(gTicks - before, 0);
}

}  // namespace
