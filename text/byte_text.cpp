#include "text/byte_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace tavrel {

namespace {

// Bytes to step over the character starting at byte b: two after a lead byte.
inline std::size_t CharWidth(unsigned char b) { return 1 + (b >> 7); }

// 0-based index of the first character-aligned match at or after from, or npos.
// Candidates come from memchr; whether one starts a character is decided by the
// run of bytes >= 0x80 before it, because a byte below 0x80 always ends a
// character. Each byte is looked at a bounded number of times: linear.
std::size_t FindFrom(std::string_view text, std::string_view sought, std::size_t from) {
    const std::size_t n = text.size();
    const std::size_t m = sought.size();
    if (m == 0) return from < n ? from : std::string_view::npos;
    if (m > n) return std::string_view::npos;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto first = static_cast<unsigned char>(sought[0]);
    const std::size_t last = n - m;  // the last candidate that leaves room for sought
    std::size_t boundary = from;     // a known character start; every candidate is >= it
    while (boundary <= last) {
        const void* hit = std::memchr(p + boundary, first, last - boundary + 1);
        if (hit == nullptr) return std::string_view::npos;
        const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - p);
        std::size_t run = 0;
        while (at - run > boundary && p[at - run - 1] >= 0x80) ++run;
        if (run % 2 != 0) {
            boundary = at + 1;  // a trail byte: the next character starts after it
            continue;
        }
        if (std::memcmp(p + at, sought.data(), m) == 0) return at;
        boundary = at + CharWidth(p[at]);
    }
    return std::string_view::npos;
}

}  // namespace

TextPos TextLength(std::string_view text) { return static_cast<TextPos>(text.size()); }

ByteText TextLeft(std::string_view text, TextPos count) {
    if (count <= 0) return {};
    return ByteText(text.substr(0, static_cast<std::size_t>(std::min(count, TextLength(text)))));
}

ByteText TextMid(std::string_view text, TextPos start, TextPos count) {
    const TextPos length = TextLength(text);
    if (start < 1 || start > length || count <= 0) return {};
    const TextPos take = std::min(count, length - start + 1);
    return ByteText(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(take)));
}

TextPos FindText(std::string_view text, std::string_view sought, TextPos start) {
    const TextPos s = std::max<TextPos>(start - 1, 0);
    if (s >= TextLength(text)) return -1;
    const std::size_t found = FindFrom(text, sought, static_cast<std::size_t>(s));
    return found == std::string_view::npos ? -1 : static_cast<TextPos>(found) + 1;
}

ByteText ReplaceText(std::string_view text, std::string_view sought, std::string_view replacement) {
    if (text.empty() || sought.empty()) return ByteText(text);
    ByteText out;
    out.reserve(text.size());
    std::size_t done = 0;
    for (std::size_t at = FindFrom(text, sought, 0); at != std::string_view::npos;
         at = FindFrom(text, sought, done)) {
        out.append(text.substr(done, at - done));
        out.append(replacement);
        done = at + sought.size();
    }
    out.append(text.substr(std::min(done, text.size())));
    return out;
}

std::vector<ByteText> SplitText(std::string_view text, std::string_view delimiter) {
    std::vector<ByteText> members;
    if (text.empty()) return members;
    if (delimiter.empty()) {
        members.emplace_back(text);
        return members;
    }
    std::size_t begin = 0;
    for (std::size_t at = FindFrom(text, delimiter, 0); at != std::string_view::npos;
         at = FindFrom(text, delimiter, begin)) {
        members.emplace_back(text.substr(begin, at - begin));
        begin = at + delimiter.size();
    }
    if (begin < text.size()) members.emplace_back(text.substr(begin));
    return members;
}

std::int32_t TextToInt(std::string_view text) {
    // Fold full-width forms character by character; only the folded prefix that
    // atoi reads matters, but folding is cheap and the texts are short.
    ByteText folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80 || i + 1 == text.size()) {
            folded.push_back(text[i]);
            ++i;
            continue;
        }
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            folded.push_back(static_cast<char>(trail - 0x80));
        } else if (lead == 0xA1 && trail == 0xA1) {
            folded.push_back(' ');
        } else if (lead == 0xA1 && trail == 0xAB) {
            folded.push_back('~');
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            folded.push_back('*');
        } else {
            folded.append(text.substr(i, 2));
        }
        i += 2;
    }

    std::size_t i = 0;
    const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < folded.size() && isSpace(folded[i])) ++i;
    bool negative = false;
    if (i < folded.size() && (folded[i] == '+' || folded[i] == '-')) {
        negative = folded[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so INT32_MIN needs no special case; clamp like strtol.
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i) {
        value = value * 10 - (folded[i] - '0');
        if (value < lowest) {
            value = lowest - 1;  // saturated; further digits change nothing
        }
    }
    if (negative) return static_cast<std::int32_t>(std::max(value, lowest));
    if (value < -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(-value);
}

ByteText IntToText(std::int32_t value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ByteText(buffer, result.ptr);
}

std::vector<unsigned char> TextToBytes(std::string_view text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

ByteText BytesToText(std::span<const unsigned char> bytes) {
    const auto zero = std::find(bytes.begin(), bytes.end(), 0);
    return ByteText(bytes.begin(), zero);
}

}  // namespace tavrel
