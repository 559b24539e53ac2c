// The real tavrel program, driven as a user drives it: XTest keys and clicks,
// the FLTK file chooser, the clipboard to read the script box back.
#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros (None, Bool) would clash with its names.
#include <X11/Xatom.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/window_layout.h"
#include "platform/x11_shared.h"
#include "text/script.h"
#include "x11_app_driver.h"
#include "x11_test_support.h"

extern char** environ;

namespace {

using namespace tavrel;
using namespace x11test;


class EndToEndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        d = XOpenDisplay(nullptr);
        if (d == nullptr) return;
        const char* argv[] = {TAVREL_BINARY, nullptr};
        const auto start = Clock::now();
        if (posix_spawn(&pid, TAVREL_BINARY, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid = 0;
        main = WaitForWindow(d, MainName, 10000);
        if (main != 0) {
            std::printf("tavrel window mapped %lld ms after launch\n",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()));
            SleepMs(300);  // let it draw and start its poll
        }
        char name[] = "/tmp/tavrel_e2e_XXXXXX";
        if (mkdtemp(name) != nullptr) folder = name;
    }
    static void TearDownTestSuite() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (!folder.empty()) {
            std::system(("chattr -i '" + folder.string() + "'/* 2>/dev/null").c_str());
            std::filesystem::remove_all(folder);
        }
        if (d != nullptr) XCloseDisplay(d);
    }
    void SetUp() override {
        ASSERT_NE(d, nullptr) << "no X display";
        ASSERT_NE(main, 0u) << "no tavrel window";
        ASSERT_FALSE(folder.empty());
    }

    // The root-coordinate centre of a control of the main window.
    static std::pair<int, int> Centre(std::int32_t control) {
        const Rect w = RootRect(d, main);
        const ControlSpec& c = MainWindow().controls[static_cast<std::size_t>(control)];
        return {w.x + c.x + c.width / 2, w.y + c.y + c.height / 2};
    }
    static void ClickScreen(int x, int y) {
        MovePointer(d, x, y);
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XSync(d, False);
        SleepMs(60);
    }
    static void ClickControl(std::int32_t control) {
        const auto [x, y] = Centre(control);
        ClickScreen(x, y);
    }
    // A key held for ms, with modifiers held around it.
    static void Hold(KeySym key, int ms = 50, std::vector<KeySym> modifiers = {}) {
        for (KeySym m : modifiers) Key(d, m, true);
        Key(d, key, true);
        SleepMs(ms);
        Key(d, key, false);
        for (KeySym m : modifiers) Key(d, m, false);
        SleepMs(30);
    }
    static void Chord(KeySym modifier, KeySym key) { Hold(key, 10, {modifier}); }

    static void Type(const std::string& text) {
        std::system(("xdotool type --delay 15 '" + text + "'").c_str());
        SleepMs(50);
    }
    // Puts text on the clipboard and pastes it into the focused field: the
    // chooser completes names while they are typed, but not within a paste.
    static void Paste(const std::string& text) {
        std::system(("printf '%s' '" + text + "' | timeout 10 xclip -selection clipboard -loops 1 -quiet >/dev/null 2>&1 &").c_str());
        SleepMs(200);
        Chord(XK_Control_L, XK_a);
        Chord(XK_Control_L, XK_v);
        SleepMs(150);
    }

    // The script box's text as the clipboard gives it (UTF-8, "\n").
    static std::string ScriptText() {
        ClickControl(ScriptBox);
        Chord(XK_Control_L, XK_a);
        Chord(XK_Control_L, XK_c);
        SleepMs(100);
        return Output("timeout 5 xclip -selection clipboard -o 2>/dev/null");
    }
    // Waits up to two seconds for the script box to hold the text.
    static std::string WaitScript(const std::string& expected) {
        std::string text;
        for (int i = 0; i < 10 && (text = ScriptText()) != expected; ++i) SleepMs(150);
        return text;
    }
    static void ClearScript() {
        ClickControl(ScriptBox);
        Chord(XK_Control_L, XK_a);
        Hold(XK_BackSpace, 10);
    }
    static void SetDelayBox(const std::string& text) {
        ClickControl(DelayBox);
        Chord(XK_Control_L, XK_a);
        Hold(XK_BackSpace, 10);
        if (!text.empty()) Type(text);
    }
    static void Record(KeySym key, int x, int y) {
        MovePointer(d, x, y);
        SleepMs(30);
        Hold(key);
    }

    // Opens the file dialog with the button, enters path and confirms it.
    static bool UseDialog(std::int32_t button, const std::string& title, const std::string& path) {
        ClickControl(button);
        const Window dialog = WaitForWindow(d, title);
        if (dialog == 0) return false;
        SleepMs(200);
        // The file name field sits above the OK button, along the bottom.
        const Rect r = RootRect(d, dialog);
        ClickScreen(r.x + r.width - 190, r.y + r.height - 58);
        Paste(path);
        Hold(XK_Return, 20);
        SleepMs(300);
        return true;
    }
    // Dismisses the message box; false when none appeared.
    static bool DismissMessage() {
        const Window box = WaitForWindow(d, MessageName, 3000);
        if (box == 0) return false;
        const Rect r = RootRect(d, box);
        MovePointer(d, r.x + r.width / 2, r.y + r.height / 2);
        Hold(XK_Return, 20);
        return WaitGone(d, MessageName);
    }

    static inline Display* d = nullptr;
    static inline Window main = 0;
    static inline pid_t pid = 0;
    static inline std::filesystem::path folder;
};

std::string LeftLine(int x, int y) { return FormatClickLine(LineKind::LeftClick, x, y); }
std::string RightLine(int x, int y) { return FormatClickLine(LineKind::RightClick, x, y); }

TEST_F(EndToEndTest, HotkeysRecordClicksAtThePointer) {
    ClearScript();
    Record(XK_F7, 640, 360);
    const std::string left = LeftLine(640, 360);
    ASSERT_EQ(left, "\xD7\xF3\xBC\xFC\xB5\xE3\xBB\xF7\xA3\xA8" "640\xA3\xAC" "360\xA3\xA9\r\n");  // 左键点击（640，360）
    EXPECT_EQ(WaitScript(AsClipboard(left)), AsClipboard(left));

    MovePointer(d, 10, 700);
    Hold(XK_F7, 50, {XK_Control_L});  // a modifier held: not the hotkey
    SleepMs(200);
    EXPECT_EQ(ScriptText(), AsClipboard(left));

    Record(XK_F8, 700, 420);
    const std::string both = left + RightLine(700, 420);
    EXPECT_EQ(WaitScript(AsClipboard(both)), AsClipboard(both));
}

TEST_F(EndToEndTest, AddDelayButtonAppendsTheDelayBoxText) {
    ClearScript();
    SetDelayBox("250");
    ClickControl(AddDelayButton);
    SetDelayBox("");
    ClickControl(AddDelayButton);
    const std::string expected = FormatDelayLine("250") + FormatDelayLine("");
    ASSERT_EQ(FormatDelayLine("250"), "\xD1\xD3\xCA\xB1\xA3\xA8" "250\xA3\xA9\r\n");  // 延时（250）
    EXPECT_EQ(WaitScript(AsClipboard(expected)), AsClipboard(expected));
    SetDelayBox("1000");
}

class PlaybackTest : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        target = OpenTarget(700, 400, 300, 200);
        ASSERT_NE(target.display, nullptr);
        ClearScript();
        Record(XK_F7, left.first, left.second);
        Record(XK_F8, right.first, right.second);
        const std::string script = AsClipboard(LeftLine(left.first, left.second) + RightLine(right.first, right.second));
        ASSERT_EQ(WaitScript(script), script);
        MovePointer(d, 10, 700);
        Collect(target, 100);  // forget the recording's key events
    }
    void TearDown() override {
        Hold(XK_F10);
        CloseTarget(target);
    }
    // Presses F9 times, F10 after the first click, and returns the clicks seen
    // until the pass ends and well after.
    std::vector<Seen> Play(int starts) {
        for (int i = 0; i < starts; ++i) Hold(XK_F9);
        auto presses = [](const std::vector<Seen>& s) { return OfType(s, ButtonPress); };
        auto seen = presses(Collect(target, 3000, [&](const auto& s) { return !presses(s).empty(); }));
        Hold(XK_F10);
        const auto rest = presses(Collect(target, 4500));  // the pass, a second's wait, and more
        seen.insert(seen.end(), rest.begin(), rest.end());
        return seen;
    }
    std::pair<int, int> left{750, 450}, right{820, 520};
    Target target;
};

TEST_F(PlaybackTest, F9PlaysTheScriptUntilF10EndsThePass) {
    const auto clicks = Play(1);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0].event.xbutton.button, 1u);
    EXPECT_EQ(clicks[0].event.xbutton.x_root, left.first);
    EXPECT_EQ(clicks[0].event.xbutton.y_root, left.second);
    EXPECT_EQ(clicks[1].event.xbutton.button, 3u);
    EXPECT_EQ(clicks[1].event.xbutton.x_root, right.first);
    EXPECT_EQ(clicks[1].event.xbutton.y_root, right.second);
    // Server timestamps: when the clicks happened, not when they were read.
    const auto gap = static_cast<long>(clicks[1].event.xbutton.time - clicks[0].event.xbutton.time);
    EXPECT_GE(gap, 990);
    EXPECT_LT(gap, 2000);
}

TEST_F(PlaybackTest, F9TwiceStartsTwoPlayers) {
    const auto clicks = Play(2);
    ASSERT_EQ(clicks.size(), 4u);
    int lefts = 0, rights = 0;
    for (const Seen& s : clicks) (s.event.xbutton.button == 1 ? lefts : rights)++;
    EXPECT_EQ(lefts, 2);
    EXPECT_EQ(rights, 2);
}

TEST_F(EndToEndTest, SavedScriptLoadsBackAndSavesToTheSameBytes) {
    ClearScript();
    Record(XK_F7, 11, 22);
    SetDelayBox("300");
    ClickControl(AddDelayButton);
    SetDelayBox("1000");
    Record(XK_F8, 1200, 700);
    const std::string script = LeftLine(11, 22) + FormatDelayLine("300") + RightLine(1200, 700);
    ASSERT_EQ(WaitScript(AsClipboard(script)), AsClipboard(script));

    ASSERT_TRUE(UseDialog(SaveScriptButton, SaveName, (folder / "first").string()));  // ".txt" is added
    EXPECT_EQ(FileBytes(folder / "first.txt"), script);

    ClearScript();
    Record(XK_F7, 5, 5);
    ASSERT_TRUE(UseDialog(LoadScriptButton, OpenName, (folder / "first.txt").string()));
    EXPECT_EQ(WaitScript(AsClipboard(script)), AsClipboard(script));
    ASSERT_TRUE(UseDialog(SaveScriptButton, SaveName, (folder / "second.txt").string()));
    EXPECT_EQ(FileBytes(folder / "second.txt"), FileBytes(folder / "first.txt"));
}

TEST_F(EndToEndTest, LoadingStopsAtAZeroByte) {
    const std::string before = LeftLine(1, 2);
    WriteBytes(folder / "zero.txt", before + std::string(1, '\0') + RightLine(3, 4));
    ASSERT_TRUE(UseDialog(LoadScriptButton, OpenName, (folder / "zero.txt").string()));
    EXPECT_EQ(WaitScript(AsClipboard(before)), AsClipboard(before));
}

TEST_F(EndToEndTest, FailedSaveKeepsTheOldFileAndTheScript) {
    const auto locked = folder / "locked";
    std::filesystem::create_directory(locked);
    WriteBytes(locked / "old.txt", "old");
    // Immutable even for root: no temporary can be made beside the target.
    if (std::system(("chattr +i '" + locked.string() + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "chattr +i is not available here";
    }
    ClearScript();
    Record(XK_F7, 33, 44);
    const std::string script = AsClipboard(LeftLine(33, 44));
    ASSERT_EQ(WaitScript(script), script);

    ClickControl(SaveScriptButton);
    const Window dialog = WaitForWindow(d, SaveName);
    ASSERT_NE(dialog, 0u);
    SleepMs(200);
    const Rect r = RootRect(d, dialog);
    ClickScreen(r.x + r.width - 190, r.y + r.height - 58);
    Paste((locked / "old.txt").string());
    Hold(XK_Return, 20);
    SleepMs(500);
    Hold(XK_Return, 20);  // yes, replace the existing file
    EXPECT_TRUE(DismissMessage()) << "no message about the failed save";
    std::system(("chattr -i '" + locked.string() + "'").c_str());
    EXPECT_EQ(FileBytes(locked / "old.txt"), "old");
    EXPECT_EQ(ScriptText(), script);
}

TEST_F(EndToEndTest, UnreadableFileLeavesTheScriptAndTellsTheUser) {
    ClearScript();
    Record(XK_F7, 55, 66);
    const std::string script = AsClipboard(LeftLine(55, 66));
    ASSERT_EQ(WaitScript(script), script);
    // Opens, but every read fails.
    ASSERT_TRUE(UseDialog(LoadScriptButton, OpenName, "/proc/self/mem"));
    EXPECT_TRUE(DismissMessage()) << "no message about the unreadable file";
    EXPECT_EQ(ScriptText(), script);
}

}  // namespace

namespace {

TEST(StartupTest, WithoutADisplayTheProgramSaysSoAndFails) {
    struct Case {
        const char* environment;
        bool waylandWarning;
    };
    for (const Case& c : {Case{"env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE", false},
                          Case{"env DISPLAY=:9999 WAYLAND_DISPLAY=wayland-0", true}}) {
        SCOPED_TRACE(c.environment);
        const std::string out = Output(std::string(c.environment) + " timeout 10 " TAVREL_BINARY " 2>&1; echo rc=$?");
        EXPECT_NE(out.find("\xE6\x97\xA0\xE6\xB3\x95\xE8\xBF\x9E\xE6\x8E\xA5 X \xE6\x98\xBE\xE7\xA4\xBA"), std::string::npos)
            << out;  // 无法连接 X 显示
        EXPECT_EQ(out.find("Wayland") != std::string::npos, c.waylandWarning) << out;
        EXPECT_EQ(out.find("rc=0"), std::string::npos) << out;
    }
}

}  // namespace
