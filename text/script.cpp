#include "text/script.h"

namespace tavrel {

namespace {

constexpr std::string_view LeftPrefix = "\xD7\xF3\xBC\xFC";    // 左键
constexpr std::string_view RightPrefix = "\xD3\xD2\xBC\xFC";   // 右键
constexpr std::string_view DelayPrefix = "\xD1\xD3\xCA\xB1";   // 延时
constexpr std::string_view ClickWord = "\xB5\xE3\xBB\xF7";     // 点击
constexpr std::string_view QuotePlaceholder = "#\xD2\xFD\xBA\xC5";  // #引号

}  // namespace

ByteText FormatClickLine(LineKind kind, std::int32_t x, std::int32_t y) {
    ByteText line(kind == LineKind::RightClick ? RightPrefix : LeftPrefix);
    line += ClickWord;
    line += OpenMarker;
    line += IntToText(x);
    line += CommaMarker;
    line += IntToText(y);
    line += CloseMarker;
    line += LineEnd;
    return line;
}

ByteText FormatDelayLine(std::string_view delay) {
    ByteText line(DelayPrefix);
    line += OpenMarker;
    line += delay;
    line += CloseMarker;
    line += LineEnd;
    return line;
}

LineKind ClassifyLine(std::string_view line) {
    const ByteText prefix = TextLeft(line, 4);
    if (prefix == LeftPrefix) return LineKind::LeftClick;
    if (prefix == RightPrefix) return LineKind::RightClick;
    if (prefix == DelayPrefix) return LineKind::Delay;
    return LineKind::None;
}

ByteText TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker) {
    const ByteText start = ReplaceText(startMarker, QuotePlaceholder, "\"");
    const ByteText end = ReplaceText(endMarker, QuotePlaceholder, "\"");
    const TextPos s = FindText(text, start, 0);
    const TextPos c = s == -1 ? -1 : s + TextLength(start);
    if (c == -1) return {};
    const TextPos e = FindText(text, end, c);
    if (e == -1) return {};
    return TextMid(text, c, e - c);
}

ClickPoint ReadClickLine(std::string_view line) {
    return {TextToInt(TextBetween(line, OpenMarker, CommaMarker)),
            TextToInt(TextBetween(line, CommaMarker, CloseMarker))};
}

std::int32_t ReadDelayLine(std::string_view line) {
    return TextToInt(TextBetween(line, OpenMarker, CloseMarker));
}

}  // namespace tavrel
