// Driving the real tavrel program from outside: files, the clipboard's form of
// a script, and finding its windows by name.
#pragma once

#include <X11/Xlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "app/window_layout.h"
#include "platform/x11_shared.h"
#include "x11_test_support.h"

namespace x11test {

using tavrel::GbkToUtf8;
using tavrel::MakerAddress;

// Output of a shell command.
inline std::string Output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

inline std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Script text (GBK, "\r\n") as the clipboard carries it (UTF-8, "\n").
inline std::string AsClipboard(std::string_view gbk) {
    std::string utf8 = GbkToUtf8(gbk), out;
    for (char c : utf8) {
        if (c != '\r') out += c;
    }
    return out;
}

inline std::string WindowName(Display* d, Window w) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string name;
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (name.empty()) {
        char* plain = nullptr;
        if (XFetchName(d, w, &plain) && plain != nullptr) {
            name = plain;
            XFree(plain);
        }
    }
    return name;
}

// The first viewable top-level window whose name is exactly name, or 0.
inline Window FindWindow(Display* d, const std::string& name) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(d, children[i], &attributes) && attributes.map_state == IsViewable &&
            WindowName(d, children[i]) == name) {
            found = children[i];
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

inline Window WaitForWindow(Display* d, const std::string& name, int ms = 5000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (Window w = FindWindow(d, name)) return w;
        if (Clock::now() > end) return 0;
        SleepMs(20);
    }
}

inline bool WaitGone(Display* d, const std::string& name, int ms = 5000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (FindWindow(d, name) != 0) {
        if (Clock::now() > end) return false;
        SleepMs(20);
    }
    return true;
}

struct Rect {
    int x, y, width, height;
};

inline Rect RootRect(Display* d, Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(d, w, &a);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return {x, y, a.width, a.height};
}

inline const std::string MainName = "Tavrel - " + std::string(MakerAddress);
inline const std::string MessageName = "Tavrel";
inline const std::string SaveName = "\xE5\x8F\xA6\xE5\xAD\x98\xE4\xB8\xBA";  // 另存为
inline const std::string OpenName = "\xE6\x89\x93\xE5\xBC\x80";              // 打开

}  // namespace x11test
