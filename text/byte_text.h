// Byte-text primitives: GBK byte strings with 1-based positions, -1 for a failed
// search, and searches that step by characters (a byte >= 0x80 leads a two-byte
// character). Pure functions, callable from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

using ByteText = std::string;   // GBK bytes, never a zero byte
using TextPos = std::int64_t;   // positions and counts

TextPos TextLength(std::string_view text);
// The first min(count, length) bytes; may cut a two-byte character.
ByteText TextLeft(std::string_view text, TextPos count);
// count bytes from 1-based start, clipped to the text; empty when out of range.
ByteText TextMid(std::string_view text, TextPos start, TextPos count);
// Position of the first match at or after start that begins on a character, or -1.
TextPos FindText(std::string_view text, std::string_view sought, TextPos start);
// Every non-overlapping match replaced, scanning by characters.
ByteText ReplaceText(std::string_view text, std::string_view sought, std::string_view replacement);
// Members between delimiters; a non-empty rest after the last one is a member too.
std::vector<ByteText> SplitText(std::string_view text, std::string_view delimiter);
// Full-width forms folded to ASCII, then read as atoi does; saturates at 32 bits.
std::int32_t TextToInt(std::string_view text);
// Decimal digits with a leading minus for negative values ("%d").
ByteText IntToText(std::int32_t value);
std::vector<unsigned char> TextToBytes(std::string_view text);
// The bytes before the first zero byte.
ByteText BytesToText(std::span<const unsigned char> bytes);

}  // namespace tavrel
