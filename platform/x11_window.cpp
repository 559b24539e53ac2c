// Linux X11 backend: the main window, its edit boxes, messages and the file dialog, on FLTK.
#ifdef _WIN32
#error "x11_window.cpp belongs to the X11 build only"
#endif

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Editor.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/x11_shared.h"

namespace tavrel {

namespace {

constexpr int TextSize = 12;

// Lone line-break bytes of a script, shown as visible control pictures so that
// they keep their identity apart from the "\r\n" pairs the widget shows as "\n".
constexpr std::string_view LoneCr = "\xE2\x90\x8D";  // U+240D
constexpr std::string_view LoneLf = "\xE2\x90\x8A";  // U+240A

struct WindowState {
    Fl_Window* window = nullptr;
    std::vector<Fl_Widget*> widgets;  // by control index
    std::vector<ControlKind> kinds;
    std::vector<Fl_Text_Buffer*> buffers;  // ScriptEdit controls only

    std::string filter;  // UTF-8 "description\tpattern"
    std::string defaultExtension;
    std::filesystem::path initialDirectory;
    std::filesystem::path lastName;
};
WindowState gWindow;

// System text of a multi-line box to the widget's UTF-8.
std::string ToWidgetText(std::string_view gbk, bool multiLine) {
    if (!multiLine) return GbkToUtf8(gbk);
    std::string out;
    std::size_t start = 0;
    // GBK trail bytes are never CR or LF, so the bytes can be scanned directly.
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const char c = gbk[i];
        if (c != '\r' && c != '\n') continue;
        out += GbkToUtf8(gbk.substr(start, i - start));
        if (c == '\r' && i + 1 < gbk.size() && gbk[i + 1] == '\n') {
            out += '\n';
            ++i;
        } else {
            out += c == '\r' ? LoneCr : LoneLf;
        }
        start = i + 1;
    }
    out += GbkToUtf8(gbk.substr(start));
    return out;
}

// The widget's UTF-8 back to system text.
std::string FromWidgetText(std::string_view utf8, bool multiLine) {
    if (!multiLine) return Utf8ToGbk(utf8);
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::string_view rest = utf8.substr(i);
        std::string_view mapped;
        std::size_t used = 0;
        if (rest[0] == '\n') {
            mapped = "\r\n";
            used = 1;
        } else if (rest.starts_with(LoneCr)) {
            mapped = "\r";
            used = LoneCr.size();
        } else if (rest.starts_with(LoneLf)) {
            mapped = "\n";
            used = LoneLf.size();
        } else {
            ++i;
            continue;
        }
        out += Utf8ToGbk(utf8.substr(start, i - start));
        out += mapped;
        i += used;
        start = i;
    }
    out += Utf8ToGbk(utf8.substr(start));
    return out;
}

// A GBK caption as an FLTK label: UTF-8, no CR, '@' (and '&' on buttons) taken literally.
std::string LabelText(std::string_view gbk, bool button) {
    std::string out;
    for (const char c : GbkToUtf8(gbk)) {
        if (c == '\r') continue;
        if (c == '@' || (button && c == '&')) out += c;
        out += c;
    }
    return out;
}

bool IsEdit(std::int32_t control) {
    return control >= 0 && static_cast<std::size_t>(control) < gWindow.widgets.size() &&
           (gWindow.kinds[control] == ControlKind::LineEdit || gWindow.kinds[control] == ControlKind::ScriptEdit);
}

// Runs change under FLTK's lock, then wakes the loop to redraw; any thread, the UI thread too.
template <typename Change>
void Locked(Change change) {
    Fl::lock();
    change();
    Fl::unlock();
    Fl::awake();
}

void ButtonPressed(Fl_Widget*, void* index) {
    OnButtonPressed(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(index)));
}

// Closing the window ends the program; Escape, FLTK's default for closing, does not.
void WindowClosing(Fl_Widget* window, void*) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    window->hide();
}

void UseCjkFont() {
    // FLTK keeps the name pointers: string literals, with the style prefix Xft wants.
    Fl::set_font(FL_HELVETICA, " WenQuanYi Micro Hei");
    Fl::set_font(FL_HELVETICA_BOLD, "BWenQuanYi Micro Hei");
    FL_NORMAL_SIZE = TextSize;
    fl_message_font(FL_HELVETICA, TextSize);
}

Fl_Widget* MakeControl(const ControlSpec& spec, std::int32_t index) {
    const std::string text(spec.text);
    Fl_Widget* widget = nullptr;
    switch (spec.kind) {
        case ControlKind::Label: {
            auto* box = new Fl_Box(spec.x, spec.y, spec.width, spec.height);
            box->copy_label(LabelText(text, false).c_str());
            box->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
            widget = box;
            break;
        }
        case ControlKind::LineEdit: {
            auto* input = new Fl_Input(spec.x, spec.y, spec.width, spec.height);
            input->maximum_size(INT_MAX);
            input->textfont(FL_HELVETICA);
            input->textsize(TextSize);
            input->value(ToWidgetText(text, false).c_str());
            widget = input;
            break;
        }
        case ControlKind::Button: {
            auto* button = new Fl_Button(spec.x, spec.y, spec.width, spec.height);
            button->copy_label(LabelText(text, true).c_str());
            button->callback(ButtonPressed, reinterpret_cast<void*>(static_cast<std::intptr_t>(index)));
            widget = button;
            break;
        }
        case ControlKind::ScriptEdit: {
            auto* editor = new Fl_Text_Editor(spec.x, spec.y, spec.width, spec.height);
            auto* buffer = new Fl_Text_Buffer();
            editor->buffer(buffer);
            editor->textfont(FL_HELVETICA);
            editor->textsize(TextSize);
            editor->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
            buffer->text(ToWidgetText(text, true).c_str());
            gWindow.buffers[static_cast<std::size_t>(index)] = buffer;
            widget = editor;
            break;
        }
    }
    widget->labelfont(FL_HELVETICA);
    widget->labelsize(TextSize);
    if (spec.kind != ControlKind::Button) widget->user_data(reinterpret_cast<void*>(static_cast<std::intptr_t>(index)));
    return widget;
}

}  // namespace

bool CreateMainWindow(const WindowSpec& spec) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    if ((wayland != nullptr && *wayland != '\0') || (session != nullptr && std::strcmp(session, "wayland") == 0)) {
        std::fputs("Tavrel: 这是 Wayland 会话，热键和点击只对 X11 程序（XWayland）有效\n", stderr);
    }
    // FLTK would abort without a display: check first and hand it the connection.
    XInitThreads();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "Tavrel: 无法连接 X 显示（DISPLAY=%s）\n", name != nullptr ? name : "");
        return false;
    }
    fl_open_display(display);
    MarkUiThread();
    Fl::lock();
    Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
    UseCjkFont();

    const std::string caption = GbkToUtf8(spec.caption);
    auto* window = new Fl_Window(spec.x, spec.y, spec.width, spec.height);
    window->copy_label(caption.c_str());
    window->size_range(spec.width, spec.height, spec.width, spec.height);
    window->callback(WindowClosing);
    gWindow.widgets.assign(spec.controls.size(), nullptr);
    gWindow.kinds.assign(spec.controls.size(), ControlKind::Label);
    gWindow.buffers.assign(spec.controls.size(), nullptr);
    for (std::size_t i = 0; i < spec.controls.size(); ++i) {
        gWindow.kinds[i] = spec.controls[i].kind;
        gWindow.widgets[i] = MakeControl(spec.controls[i], static_cast<std::int32_t>(i));
    }
    window->end();
    window->show();
    gWindow.window = window;
    return true;
}

void RunMessageLoop() {
    if (gWindow.window != nullptr) Fl::run();
}

std::string EditBoxText(std::int32_t control) {
    std::string text;
    Locked([&] {
        if (!IsEdit(control)) return;
        if (Fl_Text_Buffer* buffer = gWindow.buffers[control]) {
            char* utf8 = buffer->text();
            text = FromWidgetText(utf8, true);
            std::free(utf8);
        } else {
            text = FromWidgetText(static_cast<Fl_Input*>(gWindow.widgets[control])->value(), false);
        }
    });
    return text;
}

void SetEditBoxText(std::int32_t control, std::string_view text) {
    Locked([&] {
        if (!IsEdit(control)) return;
        if (Fl_Text_Buffer* buffer = gWindow.buffers[control]) {
            buffer->text(ToWidgetText(text, true).c_str());
        } else {
            static_cast<Fl_Input*>(gWindow.widgets[control])->value(ToWidgetText(text, false).c_str());
        }
    });
}

void AppendToEditBox(std::int32_t control, std::string_view text) {
    Locked([&] {
        if (!IsEdit(control)) return;
        if (Fl_Text_Buffer* buffer = gWindow.buffers[control]) {
            auto* editor = static_cast<Fl_Text_Editor*>(gWindow.widgets[control]);
            buffer->append(ToWidgetText(text, true).c_str());
            editor->insert_position(buffer->length());
            editor->show_insert_position();
        } else {
            auto* input = static_cast<Fl_Input*>(gWindow.widgets[control]);
            const std::string utf8 = ToWidgetText(text, false);
            input->replace(input->size(), input->size(), utf8.c_str(), static_cast<int>(utf8.size()));
            input->position(input->size());
        }
    });
}

void ShowMessage(std::string_view text) {
    const std::string utf8 = LabelText(text, false);
    fl_message_title("Tavrel");
    fl_message("%s", utf8.c_str());
}

void SetupFileDialog(std::string_view filterDescription, std::string_view pattern, std::string_view defaultExtension,
                     const std::filesystem::path& initialDirectory) {
    gWindow.filter = GbkToUtf8(filterDescription) + "\t" + GbkToUtf8(pattern);
    gWindow.defaultExtension = GbkToUtf8(defaultExtension);
    gWindow.initialDirectory = initialDirectory;
    gWindow.lastName.clear();
}

std::optional<std::filesystem::path> ShowFileDialog(DialogMode mode) {
    const bool save = mode == DialogMode::Save;
    Fl_Native_File_Chooser chooser;
    chooser.title(save ? "另存为" : "打开");
    chooser.type(save ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE : Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.options(save ? Fl_Native_File_Chooser::SAVEAS_CONFIRM : Fl_Native_File_Chooser::NO_OPTIONS);
    chooser.filter(gWindow.filter.c_str());
    if (gWindow.lastName.empty()) {
        chooser.directory(gWindow.initialDirectory.c_str());
    } else {
        chooser.directory(gWindow.lastName.parent_path().c_str());
        chooser.preset_file(gWindow.lastName.filename().c_str());
    }
    if (chooser.show() != 0 || chooser.filename() == nullptr || *chooser.filename() == '\0') return std::nullopt;
    std::filesystem::path chosen = chooser.filename();
    if (!chosen.has_extension() && !gWindow.defaultExtension.empty()) chosen += "." + gWindow.defaultExtension;
    gWindow.lastName = chosen;
    return chosen;
}

}  // namespace tavrel
