#include "text/byte_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace tavrel {
namespace {

const ByteText Zuo = "\xD7\xF3";  // 左

TEST(TextSlices, LeftAndMidClipToTheText) {
    struct Case { std::string_view text; TextPos start, count; ByteText mid; };
    const Case cases[] = {
        {"abc", 2, 10, "bc"}, {"abc", 4, 1, ""}, {"abc", 0, 2, ""}, {"abc", 1, 0, ""},
        {"abc", 1, -3, ""},   {"abc", 3, 1, "c"}, {"", 1, 1, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(TextMid(c.text, c.start, c.count), c.mid) << c.text << " " << c.start;
    EXPECT_EQ(TextLeft(Zuo, 1), "\xD7");  // counts bytes: may cut a character in half
    EXPECT_EQ(TextLeft("abc", 0), "");
    EXPECT_EQ(TextLeft("abc", -1), "");
    EXPECT_EQ(TextLeft("abc", 99), "abc");
    EXPECT_EQ(TextLength(Zuo + "a"), 3);
}

TEST(FindText, StepsByCharactersAndCountsFromOne) {
    struct Case { std::string_view text, sought; TextPos start, found; };
    const Case cases[] = {
        {"ab", "b", 5, -1},
        {"ab", "a", 0, 1},
        {"ab", "a", -1, 1},
        {"ab", "b", 2, 2},
        {"ab", "a", 2, -1},
        {"\xC1\xA3\xA8\xA1", "\xA3\xA8", 0, -1},          // （ straddling two characters
        {"\xC1\xA3\xA3\xA8", "\xA3\xA8", 0, 3},           // the real one after a character
        {"x\xA3\xA8", "\xA3\xA8", 1, 2},
        {"aaa", "aa", 2, 2},
        {"abc\xD7", "\xD7", 1, 4},                         // a lead byte as the last byte still matches
        {"\xD7", "x", 1, -1},
        {"a\r\nb", "\r\n", 1, 2},
        {"\xD7\r\n", "\r\n", 1, -1},                       // the CR is the lead byte's trail
        {"abc", "abcd", 1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindText(c.text, c.sought, c.start), c.found) << testing::PrintToString(std::string(c.text));
    }
}

TEST(FindText, StartingOnATrailByteStepsFromThere) {
    // From byte 2 the scan treats the trail A3 as a lead again: A3 A3 is one character, then A8 A1.
    EXPECT_EQ(FindText("\xC1\xA3\xA3\xA8\xA1", "\xA3\xA8", 2), -1);
    EXPECT_EQ(FindText("\xC1\xA3\xA3\xA8\xA1", "\xA3\xA8", 3), 3);
}

TEST(ReplaceText, ReplacesWholeCharactersWithoutOverlap) {
    EXPECT_EQ(ReplaceText("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(ReplaceText("a#b#", "#", "##"), "a##b##");  // replaced bytes are not searched again
    EXPECT_EQ(ReplaceText("\xC1\xA3\xA8\xA1", "\xA3\xA8", "X"), "\xC1\xA3\xA8\xA1");
    EXPECT_EQ(ReplaceText("x\xA3\xA8y", "\xA3\xA8", "("), "x(y");
    EXPECT_EQ(ReplaceText("", "a", "b"), "");
    EXPECT_EQ(ReplaceText("abc", "", "b"), "abc");
    EXPECT_EQ(ReplaceText("abc\xD7", "c", ""), "ab\xD7");
}

TEST(SplitText, KeepsInnerEmptyMembersButNoTrailingOne) {
    using V = std::vector<ByteText>;
    struct Case { std::string_view text; V members; };
    const Case cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"\r\na", {"", "a"}},
        {"a\nb\rc", {"a\nb\rc"}},                 // only CR LF separates lines
        {"\xD7\r\na", {"\xD7\r\na"}},             // a CR behind a lead byte is a trail byte
        {"a\r\n\r\n", {"a", ""}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitText(c.text, "\r\n"), c.members) << testing::PrintToString(std::string(c.text));
}

TEST(TextToInt, FoldsFullWidthThenReadsLikeAtoi) {
    struct Case { std::string_view text; std::int32_t value; };
    const Case cases[] = {
        {"  -0042", -42},
        {"\xA3\xB7", 7},                            // full-width 7
        {"\xA3\xAD\xA3\xB1\xA3\xB2", -12},          // full-width minus, 1, 2
        {"\xA1\xA1" "5", 5},                        // ideographic space folds to a space
        {"1.9", 1},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"\xA3\xA8\xA3\xB5\xA3\xA9", 0},            // （５） begins with an opening parenthesis
        {"+7", 7},
        {"\t\n\v\f\r 3", 3},
        {"- 3", 0},
        {"\xB3\xA3" "3", 0},                        // another character stays a character
        {"\xA3", 0},                                // a lone lead byte at the end
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::numeric_limits<std::int32_t>::max()},
        {"-99999999999999999999999", std::numeric_limits<std::int32_t>::min()},
        {"99999999999999999999999", std::numeric_limits<std::int32_t>::max()},
    };
    for (const Case& c : cases) EXPECT_EQ(TextToInt(c.text), c.value) << testing::PrintToString(std::string(c.text));
}

TEST(IntAndBytes, ConvertExactly) {
    EXPECT_EQ(IntToText(0), "0");
    EXPECT_EQ(IntToText(-8), "-8");
    EXPECT_EQ(IntToText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
    EXPECT_EQ(IntToText(640), "640");

    const unsigned char withZero[] = {0x41, 0x00, 0x42};
    EXPECT_EQ(BytesToText(withZero), "A");
    const unsigned char gbk[] = {0xD7, 0xF3, 0x0D, 0x0A};
    EXPECT_EQ(BytesToText(gbk), "\xD7\xF3\r\n");
    EXPECT_EQ(TextToBytes("\xD7\xF3\r\n"), std::vector<unsigned char>(std::begin(gbk), std::end(gbk)));
    EXPECT_EQ(BytesToText({}), "");
}

}  // namespace
}  // namespace tavrel

namespace tavrel {
namespace {

// The search as its rule reads, one character at a time, to check the fast one against.
TextPos ReferenceFind(std::string_view text, std::string_view sought, TextPos start) {
    std::size_t i = static_cast<std::size_t>(std::max<TextPos>(start - 1, 0));
    while (i < text.size() && text.size() - i >= sought.size()) {
        if (text.substr(i, sought.size()) == sought) return static_cast<TextPos>(i) + 1;
        if (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 == text.size()) break;
        i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
    }
    return -1;
}

TEST(FindText, AgreesWithTheCharacterByCharacterRuleOnRandomGbk) {
    const char alphabet[] = {'a', '\r', '\n', '\xA3', '\xA8', '\xA9', '\xD7', '\x41'};
    const std::string_view soughts[] = {"\xA3\xA8", "\r\n", "a", "\xA8\xA3", "\xA3", "\xD7\xA3\xA8", "aa"};
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    for (int round = 0; round < 3000; ++round) {
        std::string text(next() % 24, 'a');
        for (char& c : text) c = alphabet[next() % sizeof alphabet];
        for (std::string_view sought : soughts) {
            const TextPos start = static_cast<TextPos>(next() % 6) - 1;
            ASSERT_EQ(FindText(text, sought, start), ReferenceFind(text, sought, start))
                << testing::PrintToString(text) << " sought " << testing::PrintToString(std::string(sought))
                << " from " << start;
        }
    }
}

}  // namespace
}  // namespace tavrel
