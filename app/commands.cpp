#include "app/commands.h"

#include <string>

#include "app/player.h"
#include "app/window_layout.h"
#include "platform/platform.h"
#include "services/hotkey_monitor.h"
#include "text/script.h"

namespace tavrel {

namespace {

constexpr std::string_view SaveFailedText = "\xCE\xDE\xB7\xA8\xB1\xA3\xB4\xE6\xBD\xC5\xB1\xBE\xA3\xBA";  // 无法保存脚本：
constexpr std::string_view LoadFailedText = "\xCE\xDE\xB7\xA8\xB6\xC1\xC8\xEB\xBD\xC5\xB1\xBE\xA3\xBA";  // 无法读入脚本：

void RecordClick(LineKind kind) {
    const ScreenPoint p = CursorPosition();
    AppendToEditBox(ScriptBox, FormatClickLine(kind, p.x, p.y));
}

void ShowFileFailure(std::string_view text, const std::filesystem::path& file) {
    ShowMessage(std::string(text) + PathToText(file));
}

}  // namespace

std::uint32_t RecordLeftClick(std::int32_t) {
    RecordClick(LineKind::LeftClick);
    return 0;
}

std::uint32_t RecordRightClick(std::int32_t) {
    RecordClick(LineKind::RightClick);
    return 0;
}

void AddDelay() { AppendToEditBox(ScriptBox, FormatDelayLine(EditBoxText(DelayBox))); }

void SaveScript() {
    const auto file = ShowFileDialog(DialogMode::Save);
    if (!file) return;
    // Written to a temporary and renamed over the target, so a failed save never
    // costs the script already on disk.
    if (!WriteWholeFile(*file, TextToBytes(EditBoxText(ScriptBox)))) ShowFileFailure(SaveFailedText, *file);
}

void LoadScript() {
    const auto file = ShowFileDialog(DialogMode::Open);
    if (!file) return;
    // A file that cannot be read leaves the user's unsaved script in place.
    const auto bytes = ReadWholeFile(*file);
    if (!bytes) {
        ShowFileFailure(LoadFailedText, *file);
        return;
    }
    SetEditBoxText(ScriptBox, BytesToText(*bytes));
}

void OnButtonPressed(std::int32_t control) {
    switch (control) {
        case AddDelayButton: AddDelay(); break;
        case SaveScriptButton: SaveScript(); break;
        case LoadScriptButton: LoadScript(); break;
        default: break;
    }
}

bool StartTavrel() {
    ClearHotkeys();
    RunningFlag.store(0);
    if (!CreateMainWindow(MainWindow())) return false;
    SetupFileDialog(ScriptFilterDescription, ScriptFilterPattern, ScriptDefaultExtension, ProgramDirectory());
    WatchHotkey(RecordLeftClick, VK_F7);
    WatchHotkey(RecordRightClick, VK_F8);
    WatchHotkey(StartPlayback, VK_F9);
    WatchHotkey(StopPlayback, VK_F10);
    return true;
}

int RunTavrel() {
    if (!StartTavrel()) return 1;
    RunMessageLoop();
    return 0;
}

}  // namespace tavrel
