// Bad input on the real X11 backend and in the real tavrel program: huge and
// malformed scripts, odd line ends, awkward paths, and long runs of waits.
#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros (None, Bool) would clash with its names.
#include <FL/Fl.H>
#include <X11/Xatom.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/player.h"
#include "app/window_layout.h"
#include "platform/platform.h"
#include "platform/x11_shared.h"
#include "services/precise_delay.h"
#include "text/script.h"
#include "x11_app_driver.h"
#include "x11_test_support.h"

extern char** environ;

namespace {

using namespace tavrel;
using namespace x11test;

long long MillisecondsSince(Clock::time_point start) {
    return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// A "Name: value kB" entry of /proc/<pid>/status.
long StatusKilobytes(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(name + ":")) return std::atol(line.c_str() + name.size() + 1);
    }
    return -1;
}

int OpenFds() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

ByteText L(std::int32_t x, std::int32_t y) { return FormatClickLine(LineKind::LeftClick, x, y); }
ByteText R(std::int32_t x, std::int32_t y) { return FormatClickLine(LineKind::RightClick, x, y); }

// A click line whose numbers are given as text, line end included.
ByteText ClickWithNumbers(LineKind kind, const std::string& x, const std::string& y) {
    const ByteText sample = FormatClickLine(kind, 0, 0);
    return sample.substr(0, sample.find(OpenMarker)) + std::string(OpenMarker) + x + std::string(CommaMarker) + y +
           std::string(CloseMarker) + "\r\n";
}

// ---- The real program -------------------------------------------------------

class ProductTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        d = XOpenDisplay(nullptr);
        if (d == nullptr) return;
        const char* argv[] = {TAVREL_BINARY, nullptr};
        if (posix_spawn(&pid, TAVREL_BINARY, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid = 0;
        main = WaitForWindow(d, MainName, 10000);
        if (main != 0) SleepMs(300);
        char name[] = "/tmp/tavrel_robust_XXXXXX";
        if (mkdtemp(name) != nullptr) folder = name;
    }
    static void TearDownTestSuite() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (!folder.empty()) std::filesystem::remove_all(folder);
        if (d != nullptr) XCloseDisplay(d);
    }
    void SetUp() override {
        ASSERT_NE(d, nullptr) << "no X display";
        ASSERT_NE(main, 0u) << "no tavrel window";
        ASSERT_FALSE(folder.empty());
        ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "tavrel is gone";
    }

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
    static void Hold(KeySym key, int ms = 50, std::vector<KeySym> modifiers = {}) {
        for (KeySym m : modifiers) Key(d, m, true);
        Key(d, key, true);
        SleepMs(ms);
        Key(d, key, false);
        for (KeySym m : modifiers) Key(d, m, false);
        SleepMs(30);
    }
    static void Chord(KeySym modifier, KeySym key) { Hold(key, 10, {modifier}); }
    // Pastes text into the focused field: the chooser completes typed names, not pasted ones.
    static void Paste(const std::string& text) {
        std::system(("printf '%s' '" + text + "' | timeout 10 xclip -selection clipboard -loops 1 -quiet >/dev/null 2>&1 &").c_str());
        SleepMs(200);
        Chord(XK_Control_L, XK_a);
        Chord(XK_Control_L, XK_v);
        SleepMs(150);
    }
    static std::string ScriptText() {
        ClickControl(ScriptBox);
        Chord(XK_Control_L, XK_a);
        Chord(XK_Control_L, XK_c);
        SleepMs(100);
        return Output("timeout 5 xclip -selection clipboard -o 2>/dev/null");
    }
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
    static void Record(KeySym key, int x, int y) {
        MovePointer(d, x, y);
        SleepMs(30);
        Hold(key);
    }
    // Opens the file dialog with the button (waiting up to waitMs for it), enters path and confirms.
    static bool UseDialog(std::int32_t button, const std::string& title, const std::string& path, int waitMs = 5000) {
        ClickControl(button);
        const Window dialog = WaitForWindow(d, title, waitMs);
        if (dialog == 0) return false;
        SleepMs(200);
        const Rect r = RootRect(d, dialog);
        ClickScreen(r.x + r.width - 190, r.y + r.height - 58);  // the file name field
        Paste(path);
        Hold(XK_Return, 20);
        SleepMs(300);
        return true;
    }
    static bool DismissMessage() {
        const Window box = WaitForWindow(d, MessageName, 3000);
        if (box == 0) return false;
        const Rect r = RootRect(d, box);
        MovePointer(d, r.x + r.width / 2, r.y + r.height / 2);
        Hold(XK_Return, 20);
        return WaitGone(d, MessageName);
    }
    // Waits until the file holds exactly expected bytes (a large save takes a while).
    static std::string WaitFile(const std::filesystem::path& path, std::size_t expectedSize, int ms = 5000) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        std::error_code error;
        while (Clock::now() < end && std::filesystem::file_size(path, error) != expectedSize) SleepMs(50);
        return FileBytes(path);
    }
    // Loads in, then saves out through the dialogs; the saved bytes.
    static std::string LoadAndSave(const std::filesystem::path& in, const std::filesystem::path& out, int waitMs = 5000) {
        if (!UseDialog(LoadScriptButton, OpenName, in.string())) return "<no open dialog>";
        if (!UseDialog(SaveScriptButton, SaveName, out.string(), waitMs)) return "<no save dialog>";
        return WaitFile(out, std::filesystem::file_size(in), waitMs);
    }

    static inline Display* d = nullptr;
    static inline Window main = 0;
    static inline pid_t pid = 0;
    static inline std::filesystem::path folder;
};

TEST_F(ProductTest, OddScriptsLoadAndSaveByteForByte) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::string megaLine = L(750, 450).substr(0, L(750, 450).size() - 2) + std::string(1 << 20, 'x') + "\r\n";
    const Case cases[] = {
        {"lone lead byte", L(1, 2) + "a\x81z\r\n" + R(3, 4)},
        {"lead byte last", L(1, 2) + "\x81"},
        {"lead byte before CR LF", L(1, 2).substr(0, L(1, 2).size() - 2) + "\x81\r\n" + R(3, 4)},
        {"lead byte before a lone LF", std::string("a\x81\nb")},
        {"LF only", "a\nb\n\nc\n"},
        {"CR only", "a\rb\r\rc\r"},
        {"mixed ends", "a\r\n\rb\n\r\r\nc"},
        {"UTF-8", "\xE5\xB7\xA6\xE9\x94\xAE\xE7\x82\xB9\xE5\x87\xBB(1,2)\r\n\xF0\x9F\x98\x80 caf\xC3\xA9\r\n"},
        {"1 MB line", megaLine},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto in = folder / ("odd" + std::to_string(i) + ".txt");
        const auto out = folder / ("odd" + std::to_string(i) + "_saved.txt");
        ++i;
        WriteBytes(in, c.bytes);
        const std::string saved = LoadAndSave(in, out, 20000);
        EXPECT_EQ(saved.size(), c.bytes.size());
        EXPECT_TRUE(saved == c.bytes) << "saved bytes differ";
        EXPECT_EQ(FileBytes(in), c.bytes);
    }
}

TEST_F(ProductTest, ChineseFolderAndFileNameSaveAndLoad) {
    const auto chinese = folder / "\xE8\x84\x9A\xE6\x9C\xAC\xE7\x9B\xAE\xE5\xBD\x95";  // 脚本目录
    std::filesystem::create_directory(chinese);
    ClearScript();
    Record(XK_F7, 21, 43);
    const std::string script = L(21, 43);
    ASSERT_EQ(WaitScript(AsClipboard(script)), AsClipboard(script));
    // 测试脚本: the default extension is added.
    ASSERT_TRUE(UseDialog(SaveScriptButton, SaveName, (chinese / "\xE6\xB5\x8B\xE8\xAF\x95\xE8\x84\x9A\xE6\x9C\xAC").string()));
    const auto file = chinese / "\xE6\xB5\x8B\xE8\xAF\x95\xE8\x84\x9A\xE6\x9C\xAC.txt";
    EXPECT_EQ(WaitFile(file, script.size()), script);

    ClearScript();
    Record(XK_F8, 5, 6);
    ASSERT_TRUE(UseDialog(LoadScriptButton, OpenName, file.string()));
    EXPECT_EQ(WaitScript(AsClipboard(script)), AsClipboard(script));
}

TEST_F(ProductTest, ADirectoryCannotBeLoadedAndNothingIsLost) {
    const auto kept = folder / "kept.txt";
    ClearScript();
    Record(XK_F7, 31, 41);
    const std::string script = L(31, 41);
    ASSERT_EQ(WaitScript(AsClipboard(script)), AsClipboard(script));
    ASSERT_TRUE(UseDialog(SaveScriptButton, SaveName, kept.string()));
    ASSERT_EQ(WaitFile(kept, script.size()), script);

    const auto directory = folder / "folder.txt";
    std::filesystem::create_directory(directory);
    ASSERT_TRUE(UseDialog(LoadScriptButton, OpenName, directory.string()));
    if (const Window open = FindWindow(d, OpenName); open != 0) {
        // The chooser went into the folder instead of returning it: cancel.
        Hold(XK_Escape, 20);
        WaitGone(d, OpenName);
        EXPECT_EQ(ScriptText(), AsClipboard(script));
        GTEST_SKIP() << "the file chooser does not return a folder as a file";
    }
    EXPECT_TRUE(DismissMessage()) << "no message about the folder";
    EXPECT_EQ(ScriptText(), AsClipboard(script));
    EXPECT_EQ(FileBytes(kept), script);
}

TEST_F(ProductTest, HundredMegabyteScriptLoadsAndSavesBack) {
    const auto in = folder / "huge.txt";
    const auto out = folder / "huge_saved.txt";
    {
        std::string block;
        for (int i = 0; i < 4096; ++i) block += L(i % 1280, i % 800) + FormatDelayLine(std::to_string(i));
        std::ofstream file(in, std::ios::binary);
        for (std::size_t written = 0; written < 100u << 20; written += block.size()) file << block;
    }
    const auto size = std::filesystem::file_size(in);
    const long before = StatusKilobytes(pid, "VmRSS");
    ASSERT_TRUE(UseDialog(LoadScriptButton, OpenName, in.string()));
    const auto start = Clock::now();
    // The save dialog opens once the loop has finished loading; a click while it is busy may be lost.
    Window dialog = 0;
    while (dialog == 0 && MillisecondsSince(start) < 300000) {
        ClickControl(SaveScriptButton);
        dialog = WaitForWindow(d, SaveName, 1000);
    }
    const long long loadMs = MillisecondsSince(start);
    ASSERT_NE(dialog, 0u) << "the window never answered after the load";
    Hold(XK_Escape, 20);
    ASSERT_TRUE(WaitGone(d, SaveName, 60000));
    const auto saveStart = Clock::now();
    ASSERT_TRUE(UseDialog(SaveScriptButton, SaveName, out.string(), 300000));
    const std::string saved = WaitFile(out, size, 300000);
    const long long saveMs = MillisecondsSince(saveStart);
    EXPECT_EQ(saved.size(), size);
    EXPECT_TRUE(saved == FileBytes(in)) << "saved bytes differ";
    std::printf("100 MB script (%llu bytes): loaded in about %lld ms, saved in about %lld ms; "
                "tavrel VmRSS %ld kB before, %ld kB after, peak (VmHWM) %ld kB\n",
                static_cast<unsigned long long>(size), loadMs, saveMs, before, StatusKilobytes(pid, "VmRSS"),
                StatusKilobytes(pid, "VmHWM"));
    // Leave a small script behind for the next tests.
    ClearScript();
    std::filesystem::remove(in);
    std::filesystem::remove(out);
}

// ---- The backend in this process --------------------------------------------

class InProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { created = CreateMainWindow(MainWindow()); }
    void SetUp() override {
        ASSERT_TRUE(created);
        RunningFlag.store(0);
        // The whole screen, so that every click lands on it, clamped ones too.
        Display* probe = XOpenDisplay(nullptr);
        ASSERT_NE(probe, nullptr);
        screen = {DisplayWidth(probe, DefaultScreen(probe)), DisplayHeight(probe, DefaultScreen(probe))};
        XCloseDisplay(probe);
        target = OpenTarget(0, 0, screen.first, screen.second);
        ASSERT_NE(target.display, nullptr);
    }
    void TearDown() override {
        StopPlayback();
        CloseTarget(target);
    }
    // Runs the FLTK loop here for ms while reading the target's events; stop ends it early.
    std::vector<Seen> LoopAndCollect(int ms, const std::function<bool(const std::vector<Seen>&)>& stop = {}) {
        std::vector<Seen> seen;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            Fl::wait(0.005);
            while (XPending(target.display) > 0) {
                Seen s{};
                XNextEvent(target.display, &s.event);
                s.at = Clock::now();
                seen.push_back(s);
                if (stop && stop(seen)) return seen;
            }
        }
        return seen;
    }
    // Plays the script until count presses were seen (or 8 s passed), stops, and
    // returns every press until the pass has surely ended.
    std::vector<Seen> PlayPresses(const ByteText& script, std::size_t count) {
        SetEditBoxText(ScriptBox, script);
        StartPlayback();
        auto presses = [](const std::vector<Seen>& s) { return OfType(s, ButtonPress); };
        auto seen = presses(LoopAndCollect(8000, [&](const auto& s) { return presses(s).size() >= count; }));
        StopPlayback();
        const auto rest = presses(LoopAndCollect(3500));
        seen.insert(seen.end(), rest.begin(), rest.end());
        return seen;
    }

    static inline bool created = false;
    std::pair<int, int> screen;
    Target target;
};

struct Press {
    unsigned button;
    int x, y;
    bool operator==(const Press&) const = default;
};
void PrintTo(const Press& p, std::ostream* os) { *os << "{b" << p.button << " " << p.x << "," << p.y << "}"; }

std::vector<Press> AsPresses(const std::vector<Seen>& seen) {
    std::vector<Press> out;
    for (const Seen& s : seen) out.push_back({s.event.xbutton.button, s.event.xbutton.x_root, s.event.xbutton.y_root});
    return out;
}

TEST_F(InProcessTest, MalformedGbkKeepsItsBytesAndPlaysAsTheTextReads) {
    const ByteText left = L(750, 450), right = R(820, 520);
    const ByteText leftBare = left.substr(0, left.size() - 2);
    struct Case {
        const char* name;
        ByteText script;
        std::vector<Press> onePass;
    };
    const Case cases[] = {
        // The lead byte takes the CR as its trail byte: both lines are one, a left click.
        {"lead byte before CR LF", leftBare + "\x81\r\n" + right, {{1, 750, 450}}},
        {"lead byte last", right + leftBare + "\x81", {{3, 820, 520}, {1, 750, 450}}},
        {"lone lead byte in a line", right + "\x81z\r\n" + left, {{3, 820, 520}, {1, 750, 450}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetEditBoxText(ScriptBox, c.script);
        EXPECT_TRUE(EditBoxText(ScriptBox) == c.script) << "the box changed the bytes";
        std::vector<Press> expected = c.onePass;
        const auto pressed = AsPresses(PlayPresses(c.script, c.onePass.size()));
        ASSERT_GE(pressed.size(), expected.size());
        // Stopped in the first pass, a pass may still have begun again before the stop was seen.
        EXPECT_EQ(std::vector<Press>(pressed.begin(), pressed.begin() + static_cast<std::ptrdiff_t>(expected.size())),
                  expected);
        EXPECT_LE(pressed.size(), 2 * expected.size());
    }
}

TEST_F(InProcessTest, LoneLineBreaksMakeOneLineAndOneClickPerPass) {
    const ByteText left = L(750, 450), right = R(820, 520);
    for (const char* end : {"\n", "\r"}) {
        SCOPED_TRACE(end[0] == '\n' ? "LF" : "CR");
        const ByteText script = left.substr(0, left.size() - 2) + end + right.substr(0, right.size() - 2) + end;
        SetEditBoxText(ScriptBox, script);
        EXPECT_TRUE(EditBoxText(ScriptBox) == script) << "the box changed the bytes";
        // Three passes: every click is the left one, a second apart.
        const auto seen = PlayPresses(script, 3);
        const auto pressed = AsPresses(seen);
        ASSERT_GE(pressed.size(), 3u);
        for (const Press& p : pressed) EXPECT_EQ(p, (Press{1, 750, 450}));
        for (std::size_t i = 1; i < seen.size(); ++i) {
            EXPECT_GE(static_cast<long>(seen[i].event.xbutton.time - seen[i - 1].event.xbutton.time), 990);
        }
    }
}

TEST_F(InProcessTest, MegabyteLineIsOneClickLine) {
    const ByteText left = L(750, 450);
    const ByteText script = left.substr(0, left.size() - 2) + std::string(1 << 20, 'y') + "\r\n" + R(820, 520);
    SetEditBoxText(ScriptBox, script);
    EXPECT_TRUE(EditBoxText(ScriptBox) == script) << "the box changed the bytes";
    const auto pressed = AsPresses(PlayPresses(script, 2));
    ASSERT_GE(pressed.size(), 2u);
    EXPECT_EQ(pressed[0], (Press{1, 750, 450}));
    EXPECT_EQ(pressed[1], (Press{3, 820, 520}));
}

TEST_F(InProcessTest, NumbersBeyondThirtyTwoBitsSaturateAndClicksLandClamped) {
    const int right = screen.first - 1, bottom = screen.second - 1;
    struct Case {
        std::string x, y;
        Press expected;
    };
    const Case cases[] = {
        {"99999999999", "-99999999999", {1, right, 0}},
        {"-99999999999", "99999999999", {1, 0, bottom}},
        {"4294967296", "4294967297", {1, right, bottom}},  // 2^32 and 2^32 + 1 do not wrap to 0 and 1
        {"2147483648", "65536", {1, right, bottom}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x + "," + c.y);
        const ByteText line = ClickWithNumbers(LineKind::LeftClick, c.x, c.y);
        ASSERT_EQ(ClassifyLine(line), LineKind::LeftClick);
        const auto pressed = AsPresses(PlayPresses(line, 1));
        ASSERT_FALSE(pressed.empty());
        EXPECT_EQ(pressed[0], c.expected);
    }
    // Delays: read saturated, so a huge one waits the longest time and a huge negative none.
    EXPECT_EQ(ReadDelayLine(FormatDelayLine("99999999999")), INT_MAX);
    EXPECT_EQ(ReadDelayLine(FormatDelayLine("-99999999999")), INT_MIN);
    EXPECT_EQ(DelayDueTime(INT_MAX, DelayMilliseconds), -21474836470000LL);
}

TEST_F(InProcessTest, HundredMegabytesThroughTheScriptBox) {
    std::string block;
    for (int i = 0; i < 4096; ++i) block += L(i % 1280, i % 800) + FormatDelayLine(std::to_string(i));
    std::string script;
    script.reserve((100u << 20) + block.size());
    while (script.size() < 100u << 20) script += block;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peakBefore = usage.ru_maxrss;
    const auto start = Clock::now();
    SetEditBoxText(ScriptBox, script);
    LoopAndCollect(50);  // the window draws the new text
    const long long setMs = MillisecondsSince(start);
    const auto readStart = Clock::now();
    const bool same = EditBoxText(ScriptBox) == script;
    const long long readMs = MillisecondsSince(readStart);
    EXPECT_TRUE(same) << "the box changed the bytes";
    getrusage(RUSAGE_SELF, &usage);
    std::printf("100 MB in the script box in-process: set and drawn in %lld ms, read back in %lld ms; "
                "peak RSS %ld kB before, %ld kB after\n",
                setMs, readMs, peakBefore, usage.ru_maxrss);
    SetEditBoxText(ScriptBox, "");
}

TEST_F(InProcessTest, HundredThousandRealDelaysLeaveNoDescriptorOpen) {
    const int before = OpenFds();
    // On the UI thread, where window events make the wait pump messages, and on a worker.
    for (int i = 0; i < 100000; ++i) PreciseDelay(1, DelayMicroseconds);
    EXPECT_EQ(OpenFds(), before);
    std::thread([] {
        for (int i = 0; i < 100000; ++i) PreciseDelay(1, DelayMicroseconds);
    }).join();
    EXPECT_EQ(OpenFds(), before);
}

}  // namespace
