// Linux X11 backend: key state, timers, threads, pointer, files and text conversion.
#ifdef _WIN32
#error "x11_platform.cpp belongs to the X11 build only"
#endif

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <FL/Fl.H>
#include <FL/x.H>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/x11_shared.h"

namespace tavrel {

namespace {

constexpr int KeysymsPerCode = 3;
constexpr int VkLButton = 1, VkRButton = 2, VkMButton = 4;

struct X11State {
    std::mutex mutex;  // guards display and the key table; one connection serves every thread
    Display* display = nullptr;
    bool displayTried = false;
    bool keysResolved = false;
    std::array<std::array<KeyCode, KeysymsPerCode>, 256> keycodes{};

    std::mutex uiMutex;
    std::thread::id uiThread;
    bool uiKnown = false;

    void (*periodicRoutine)() = nullptr;
    double periodSeconds = 0.01;
};
X11State gX11;

struct OneShot {
    int fd = -1;
};

// The backend's own connection, opened at first use. Lock held.
Display* SharedDisplay() {
    if (!gX11.displayTried) {
        gX11.displayTried = true;
        XInitThreads();
        gX11.display = XOpenDisplay(nullptr);
    }
    return gX11.display;
}

// Windows virtual-key codes to the keysyms that count as that key.
std::array<std::array<KeySym, KeysymsPerCode>, 256> KeysymTable() {
    std::array<std::array<KeySym, KeysymsPerCode>, 256> t{};
    auto set = [&](int vk, KeySym a, KeySym b = NoSymbol, KeySym c = NoSymbol) { t[vk] = {a, b, c}; };
    for (int i = 0; i < 24; ++i) set(0x70 + i, XK_F1 + i);
    for (int i = 0; i < 26; ++i) set(0x41 + i, XK_a + i);
    for (int i = 0; i < 10; ++i) set(0x30 + i, XK_0 + i);
    // Keypad digits under both NumLock states.
    const KeySym padOff[10] = {XK_KP_Insert, XK_KP_End,  XK_KP_Down, XK_KP_Next, XK_KP_Left,
                               XK_KP_Begin,  XK_KP_Right, XK_KP_Home, XK_KP_Up,   XK_KP_Prior};
    for (int i = 0; i < 10; ++i) set(0x60 + i, XK_KP_0 + i, padOff[i]);
    set(0x6A, XK_KP_Multiply);
    set(0x6B, XK_KP_Add);
    set(0x6C, XK_KP_Separator);
    set(0x6D, XK_KP_Subtract);
    set(0x6E, XK_KP_Decimal, XK_KP_Delete);
    set(0x6F, XK_KP_Divide);
    set(16, XK_Shift_L, XK_Shift_R);
    set(0xA0, XK_Shift_L);
    set(0xA1, XK_Shift_R);
    set(17, XK_Control_L, XK_Control_R);
    set(0xA2, XK_Control_L);
    set(0xA3, XK_Control_R);
    set(18, XK_Alt_L, XK_Alt_R, XK_Meta_L);
    set(0xA4, XK_Alt_L, XK_Meta_L);
    set(0xA5, XK_Alt_R);
    set(91, XK_Super_L);
    set(92, XK_Super_R);
    set(0x25, XK_Left);
    set(0x26, XK_Up);
    set(0x27, XK_Right);
    set(0x28, XK_Down);
    set(0x2D, XK_Insert);
    set(0x2E, XK_Delete);
    set(0x24, XK_Home);
    set(0x23, XK_End);
    set(0x21, XK_Prior);
    set(0x22, XK_Next);
    set(0x20, XK_space);
    set(0x0D, XK_Return, XK_KP_Enter);
    set(0x1B, XK_Escape);
    set(0x09, XK_Tab);
    set(0x08, XK_BackSpace);
    return t;
}

// Keycodes of every mapped key, once. Lock held.
void ResolveKeys(Display* display) {
    if (gX11.keysResolved) return;
    gX11.keysResolved = true;
    const auto table = KeysymTable();
    for (std::size_t vk = 0; vk < table.size(); ++vk) {
        for (int i = 0; i < KeysymsPerCode; ++i) {
            gX11.keycodes[vk][i] = table[vk][i] == NoSymbol ? 0 : XKeysymToKeycode(display, table[vk][i]);
        }
    }
}

void PeriodicTick(void*) {
    Fl::repeat_timeout(gX11.periodSeconds, PeriodicTick);
    if (gX11.periodicRoutine != nullptr) gX11.periodicRoutine();
}

timespec ToTimespec(std::int64_t ns) {
    if (ns < 0) ns = 0;
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

// Appends code point cp as UTF-8.
void PutUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the UTF-8 sequence starting at text[i] and its code point; a
// malformed byte counts as one character with code point 0xFFFD.
std::size_t ReadUtf8(std::string_view text, std::size_t i, std::uint32_t& cp) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) {
        cp = 0xFFFD;
        return 1;
    }
    cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) {
            cp = 0xFFFD;
            return 1;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    return n;
}

constexpr std::uint32_t EscapeBase = 0xF700;

// Converts one piece with iconv; false when the converter rejects it.
bool ConvertPiece(iconv_t cd, std::string_view in, std::string& out) {
    char buffer[16];
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0) return false;
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    return true;
}

}  // namespace

// ---- Text -----------------------------------------------------------------

namespace {

// GBK <-> Unicode tables, made once with iconv so that each conversion is a
// table walk: loading a 10 MB script must not cost an iconv call per character.
struct GbkTables {
    std::vector<std::uint32_t> toUnicode;    // index (byte << 8 | next) for pairs, byte for singles; 0: none
    std::vector<std::uint16_t> fromUnicode;  // BMP code point -> GBK bytes (one byte when below 0x100); 0: none
};

const GbkTables& Tables() {
    static const GbkTables tables = [] {
        GbkTables t;
        t.toUnicode.assign(0x10000, 0);
        t.fromUnicode.assign(0x10000, 0);
        iconv_t cd = iconv_open("UTF-8", "GBK");
        if (cd == reinterpret_cast<iconv_t>(-1)) return t;
        auto convert = [&](std::string_view in) -> std::uint32_t {
            std::string out;
            std::uint32_t cp = 0;
            if (!ConvertPiece(cd, in, out) || out.empty()) return 0;
            return ReadUtf8(out, 0, cp) == out.size() ? cp : 0;
        };
        for (unsigned b = 0x80; b <= 0xFF; ++b) {
            const char one = static_cast<char>(b);
            t.toUnicode[b] = convert(std::string_view(&one, 1));
            for (unsigned n = 0x40; n <= 0xFE && b >= 0x81 && b <= 0xFE; ++n) {
                const char two[2] = {static_cast<char>(b), static_cast<char>(n)};
                t.toUnicode[b << 8 | n] = convert(std::string_view(two, 2));
            }
        }
        iconv_close(cd);
        for (std::uint32_t i = 0x10000; i-- > 0x80;) {
            const std::uint32_t cp = t.toUnicode[i];
            if (cp != 0 && cp < 0x10000 && t.fromUnicode[cp] == 0) t.fromUnicode[cp] = static_cast<std::uint16_t>(i);
        }
        return t;
    }();
    return tables;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    const GbkTables& t = Tables();
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (std::size_t i = 0; i < gbk.size();) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        // A two-byte character when lead and trail form one, else the byte alone (0x80 is the euro sign).
        const std::uint32_t pair =
            i + 1 < gbk.size() ? t.toUnicode[static_cast<std::size_t>(b) << 8 | static_cast<unsigned char>(gbk[i + 1])] : 0;
        if (pair != 0 && b >= 0x81 && b <= 0xFE) {
            PutUtf8(out, pair);
            i += 2;
        } else {
            PutUtf8(out, t.toUnicode[b] != 0 ? t.toUnicode[b] : EscapeBase + b);
            ++i;
        }
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    const GbkTables& t = Tables();
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        std::uint32_t cp = 0;
        const std::size_t n = ReadUtf8(utf8, i, cp);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp >= EscapeBase + 0x80 && cp <= EscapeBase + 0xFF) {
            out += static_cast<char>(cp - EscapeBase);
        } else if (cp < 0x10000 && cp != 0xFFFD && t.fromUnicode[cp] != 0) {
            const std::uint16_t code = t.fromUnicode[cp];
            if (code > 0xFF) out += static_cast<char>(code >> 8);
            out += static_cast<char>(code & 0xFF);
        } else {
            out += '?';
        }
        i += n;
    }
    return out;
}

void MarkUiThread() {
    std::lock_guard lock(gX11.uiMutex);
    gX11.uiThread = std::this_thread::get_id();
    gX11.uiKnown = true;
}

bool OnUiThread() {
    std::lock_guard lock(gX11.uiMutex);
    return gX11.uiKnown && gX11.uiThread == std::this_thread::get_id();
}

// ---- Key state ------------------------------------------------------------

void ReadKeySnapshot(std::span<const std::int32_t> codes, KeySnapshot& snapshot) {
    std::lock_guard lock(gX11.mutex);
    Display* display = SharedDisplay();
    char keys[32] = {};
    unsigned int buttons = 0;
    if (display != nullptr) {
        ResolveKeys(display);
        XQueryKeymap(display, keys);
        // The pointer costs a second round trip: only when a mouse button is named.
        bool wantsButtons = false;
        for (const std::int32_t code : codes) wantsButtons |= code == VkLButton || code == VkRButton || code == VkMButton;
        if (wantsButtons) {
            Window root = 0, child = 0;
            int rx = 0, ry = 0, wx = 0, wy = 0;
            XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rx, &ry, &wx, &wy, &buttons);
        }
    }
    for (const std::int32_t code : codes) {
        if (code < 1 || code > 255) continue;
        bool down = false;
        if (code == VkLButton) {
            down = (buttons & Button1Mask) != 0;
        } else if (code == VkRButton) {
            down = (buttons & Button3Mask) != 0;
        } else if (code == VkMButton) {
            down = (buttons & Button2Mask) != 0;
        } else {
            for (const KeyCode kc : gX11.keycodes[static_cast<std::size_t>(code)]) {
                if (kc != 0 && (keys[kc / 8] & (1 << (kc % 8))) != 0) down = true;
            }
        }
        snapshot[static_cast<std::size_t>(code)] = down ? static_cast<std::int16_t>(-32768) : 0;
    }
}

// ---- Threads and timers ---------------------------------------------------

void StartPeriodicTimer(std::int32_t, std::int32_t periodMs, void (*routine)()) {
    MarkUiThread();
    Fl::remove_timeout(PeriodicTick);
    gX11.periodicRoutine = routine;
    gX11.periodSeconds = (periodMs > 0 ? periodMs : 1) / 1000.0;
    Fl::add_timeout(gX11.periodSeconds, PeriodicTick);
}

void StartThread(ThreadRoutine routine, std::int32_t parameter) {
    std::thread([routine, parameter] { routine(parameter); }).detach();
}

std::uint32_t CallDirect(ThreadRoutine routine, std::int32_t parameter) { return routine(parameter); }

OneShotTimer CreateOneShotTimer() {
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd < 0) return nullptr;
    return new OneShot{fd};
}

bool ArmOneShotTimer(OneShotTimer timer, std::int64_t dueTime) {
    if (timer == nullptr) return false;
    auto* t = static_cast<OneShot*>(timer);
    std::int64_t deadline = 0;
    if (dueTime < 0) {
        // Relative: fixed now as an absolute deadline, so an interrupted wait resumes to the same end.
        const std::int64_t now = MonotonicNanoseconds();
        const std::int64_t span = dueTime < INT64_MIN / 100 ? INT64_MAX : -dueTime * 100;
        deadline = span > INT64_MAX - now ? INT64_MAX : now + span;
    } else {
        deadline = dueTime > INT64_MAX / 100 ? INT64_MAX : dueTime * 100;
    }
    itimerspec spec{};
    spec.it_value = ToTimespec(deadline < 1 ? 1 : deadline);  // zero would disarm
    return timerfd_settime(t->fd, TFD_TIMER_ABSTIME, &spec, nullptr) == 0;
}

WaitResult WaitForTimerOrMessages(OneShotTimer timer) {
    if (timer == nullptr) return WaitResult::Failed;
    auto* t = static_cast<OneShot*>(timer);
    // Only the FLTK thread has messages: the X connection it reads, and FLTK's
    // own timeouts and wake-ups, which have no descriptor here: those are
    // looked at every few milliseconds.
    Display* ui = OnUiThread() ? fl_display : nullptr;
    constexpr int UiCheckMs = 5;
    for (;;) {
        if (ui != nullptr && XQLength(ui) > 0) return WaitResult::Messages;
        pollfd fds[2] = {{t->fd, POLLIN, 0}, {ui != nullptr ? ConnectionNumber(ui) : -1, POLLIN, 0}};
        const int n = poll(fds, ui != nullptr ? 2 : 1, ui != nullptr ? UiCheckMs : -1);
        if (n == 0) return WaitResult::Messages;
        if (n < 0) {
            if (errno == EINTR) continue;
            return WaitResult::Failed;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t expirations = 0;
            if (read(t->fd, &expirations, sizeof expirations) == static_cast<ssize_t>(sizeof expirations)) {
                return WaitResult::Timer;
            }
            if (errno == EAGAIN || errno == EINTR) continue;
            return WaitResult::Failed;
        }
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) return WaitResult::Failed;
        if (ui != nullptr && fds[1].revents != 0) return WaitResult::Messages;
    }
}

void CloseOneShotTimer(OneShotTimer timer) {
    if (timer == nullptr) return;
    auto* t = static_cast<OneShot*>(timer);
    close(t->fd);
    delete t;
}

void PumpMessages() {
    if (OnUiThread() && fl_display != nullptr) Fl::check();
}

std::int64_t MonotonicNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void SleepUntilNanoseconds(std::int64_t deadline) {
    const timespec ts = ToTimespec(deadline);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// ---- Pointer --------------------------------------------------------------

ScreenPoint CursorPosition() {
    std::lock_guard lock(gX11.mutex);
    Display* display = SharedDisplay();
    if (display == nullptr) return {};
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rx, &ry, &wx, &wy, &mask);
    return {rx, ry};
}

void ClickAt(std::int32_t x, std::int32_t y, std::int32_t kind) {
    std::lock_guard lock(gX11.mutex);
    Display* display = SharedDisplay();
    if (display == nullptr) return;
    const unsigned int button = (kind == 2 || kind == 3) ? 3 : 1;
    const int times = (kind == 1 || kind == 3) ? 2 : 1;
    // XTest carries 16-bit coordinates: clamp to the root window, as Windows clamps
    // SetCursorPos to the screen, instead of letting a big number wrap elsewhere.
    const int screen = DefaultScreen(display);
    x = std::clamp<std::int32_t>(x, 0, DisplayWidth(display, screen) - 1);
    y = std::clamp<std::int32_t>(y, 0, DisplayHeight(display, screen) - 1);
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    for (int i = 0; i < times; ++i) {
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XTestFakeButtonEvent(display, button, False, CurrentTime);
    }
    // Synchronous, so the click has reached the server when the caller goes on.
    XSync(display, False);
}

// ---- Files ----------------------------------------------------------------

std::optional<std::vector<unsigned char>> ReadWholeFile(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::vector<unsigned char> bytes;
    if (S_ISREG(st.st_mode)) bytes.reserve(static_cast<std::size_t>(st.st_size));
    unsigned char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return std::nullopt;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    close(fd);
    return bytes;
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const unsigned char> bytes) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string name = path.filename().string();
    name.insert(0, 1, '.');
    name.append(".XXXXXX");
    std::string temp = (folder / name).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<std::size_t>(n);
    }
    // A replaced file keeps its permissions; a new one gets ordinary ones, not mkstemp's private 0600.
    struct stat old {};
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ok = ok && fchmod(fd, mode) == 0;
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

std::filesystem::path ProgramDirectory() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path(error) : exe.parent_path();
}

std::string PathToText(const std::filesystem::path& path) { return Utf8ToGbk(path.string()); }

}  // namespace tavrel
