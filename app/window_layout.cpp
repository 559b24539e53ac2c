#include "app/window_layout.h"

#include <string>

namespace tavrel {

namespace {

const std::string Caption = std::string("Tavrel - ") + std::string(MakerAddress);

// F7加入鼠标左键点击,F8加入鼠标右键点击 \r\n\r\n F9运行脚本,F10停止, two spaces, the address.
const std::string HelpText =
    std::string("F7\xBC\xD3\xC8\xEB\xCA\xF3\xB1\xEA\xD7\xF3\xBC\xFC\xB5\xE3\xBB\xF7,"
                "F8\xBC\xD3\xC8\xEB\xCA\xF3\xB1\xEA\xD3\xD2\xBC\xFC\xB5\xE3\xBB\xF7\r\n\r\n"
                "F9\xD4\xCB\xD0\xD0\xBD\xC5\xB1\xBE,F10\xCD\xA3\xD6\xB9  ") +
    std::string(MakerAddress);

// Names are the layout's own (GBK): 标签1, 编辑框2, 按钮1..3, 编辑框1, 标签2.
const ControlSpec Controls[ControlCount] = {
    {ControlKind::Label, "\xB1\xEA\xC7\xA9" "1", 6, 6, 104, 24,
     "\xD1\xD3\xCA\xB1\xCA\xB1\xBC\xE4(\xB5\xA5\xCE\xBBms)"},                     // 延时时间(单位ms)
    {ControlKind::LineEdit, "\xB1\xE0\xBC\xAD\xBF\xF2" "2", 30, 38, 48, 24, "1000"},
    {ControlKind::Button, "\xB0\xB4\xC5\xA5" "1", 22, 70, 64, 32, "\xBC\xD3\xC8\xEB\xD1\xD3\xCA\xB1"},   // 加入延时
    {ControlKind::Button, "\xB0\xB4\xC5\xA5" "2", 22, 128, 64, 32, "\xB1\xA3\xB4\xE6\xBD\xC5\xB1\xBE"},  // 保存脚本
    {ControlKind::Button, "\xB0\xB4\xC5\xA5" "3", 24, 184, 64, 32, "\xB6\xC1\xC8\xEB\xBD\xC5\xB1\xBE"},  // 读入脚本
    {ControlKind::ScriptEdit, "\xB1\xE0\xBC\xAD\xBF\xF2" "1", 110, 6, 186, 232, ""},
    {ControlKind::Label, "\xB1\xEA\xC7\xA9" "2", 32, 244, 240, 48, HelpText},
};

const WindowSpec Window = {50, 50, 306, 317, Caption, Controls};

}  // namespace

const WindowSpec& MainWindow() { return Window; }

}  // namespace tavrel
