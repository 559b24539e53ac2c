// The main window as data: every control's kind, name, place, size and
// starting text. Each backend renders this table with native controls.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace tavrel {

// The maker's web address, shown in the caption and in the help label.
inline constexpr std::string_view MakerAddress = "tavrel.example.org";

// Positions of the controls in MainWindowControls, used as control indices.
enum ControlIndex : std::int32_t {
    DelayLabel,
    DelayBox,
    AddDelayButton,
    SaveScriptButton,
    LoadScriptButton,
    ScriptBox,
    HelpLabel,
    ControlCount
};

// The window with its caption and controls (valid for the whole run).
const WindowSpec& MainWindow();

// The file dialog's filter: description (GBK), pattern, default extension.
inline constexpr std::string_view ScriptFilterDescription =
    "\xCE\xC4\xB1\xBE\xCE\xC4\xBC\xFE\xA3\xA8*.txt\xA3\xA9";  // 文本文件（*.txt）
inline constexpr std::string_view ScriptFilterPattern = "*.txt";
inline constexpr std::string_view ScriptDefaultExtension = "txt";

}  // namespace tavrel
