// The script format: one action per line, lines ended by "\r\n", kinds told
// apart by their first four bytes, numbers between full-width markers.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/byte_text.h"

namespace tavrel {

enum class LineKind { None, LeftClick, RightClick, Delay };

// GBK literals of the format.
inline constexpr std::string_view LineEnd = "\r\n";
inline constexpr std::string_view OpenMarker = "\xA3\xA8";    // （
inline constexpr std::string_view CommaMarker = "\xA3\xAC";   // ，
inline constexpr std::string_view CloseMarker = "\xA3\xA9";   // ）

// The line for a click at x, y, line end included; kind is LeftClick or RightClick.
ByteText FormatClickLine(LineKind kind, std::int32_t x, std::int32_t y);
// The delay line for the text the user typed, unchecked, line end included.
ByteText FormatDelayLine(std::string_view delay);
// The kind told by the first four bytes alone.
LineKind ClassifyLine(std::string_view line);
// The text between the first startMarker and the first endMarker after it, or
// empty when either is missing; "#引号" in a marker stands for a double quote.
ByteText TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker);

struct ClickPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
// x between （ and ，, y between ， and ）; a missing number reads as 0.
ClickPoint ReadClickLine(std::string_view line);
// Milliseconds between （ and ）; 0 or less means no wait.
std::int32_t ReadDelayLine(std::string_view line);

}  // namespace tavrel
