#include "text/script.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

const ByteText Left = "\xD7\xF3\xBC\xFC";     // 左键
const ByteText Right = "\xD3\xD2\xBC\xFC";    // 右键
const ByteText Delay = "\xD1\xD3\xCA\xB1";    // 延时
const ByteText Click = "\xB5\xE3\xBB\xF7";    // 点击
const ByteText Open = "\xA3\xA8", Comma = "\xA3\xAC", Close = "\xA3\xA9";

TEST(ScriptWriters, ProduceTheExactLineBytes) {
    EXPECT_EQ(FormatClickLine(LineKind::LeftClick, 640, 360), Left + Click + Open + "640" + Comma + "360" + Close + "\r\n");
    EXPECT_EQ(FormatClickLine(LineKind::RightClick, -8, 5), Right + Click + Open + "-8" + Comma + "5" + Close + "\r\n");
    EXPECT_EQ(FormatDelayLine("1000"), Delay + Open + "1000" + Close + "\r\n");
    EXPECT_EQ(FormatDelayLine(""), Delay + Open + Close + "\r\n");
    EXPECT_EQ(FormatDelayLine("abc"), Delay + Open + "abc" + Close + "\r\n");  // not validated
}

TEST(ScriptReaders, ReadLinesAsPlaybackDoes) {
    struct Case { ByteText line; LineKind kind; std::int32_t x, y, delay; };
    const Case cases[] = {
        {Left + Click + Open + "100" + Comma + "200" + Close, LineKind::LeftClick, 100, 200, 0},
        {Right + Click + Open + "-8" + Comma + "5" + Close, LineKind::RightClick, -8, 5, 0},
        {Left + Open + "7" + Comma + "9" + Close, LineKind::LeftClick, 7, 9, 0},   // only the prefix decides
        {Left + Click, LineKind::LeftClick, 0, 0, 0},                                // no markers: 0, 0
        {Left + Click + Open + "\xA3\xB1\xA3\xB2" + Comma + "\xA3\xB3\xA3\xB4" + Close, LineKind::LeftClick, 12, 34, 0},
        {Delay + Open + "500" + Close, LineKind::Delay, 0, 0, 500},
        {Delay + Open + "abc" + Close, LineKind::Delay, 0, 0, 0},
        {Delay + Open + Close, LineKind::Delay, 0, 0, 0},
        {Delay + "(500)", LineKind::Delay, 0, 0, 0},                                // ASCII parentheses are no markers
        {" " + Left + Click + Open + "1" + Comma + "2" + Close, LineKind::None, 1, 2, 0},
        {"", LineKind::None, 0, 0, 0},
        {"\xD7\xF3\xBC", LineKind::None, 0, 0, 0},                                   // shorter than four bytes
        {"hello", LineKind::None, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        EXPECT_EQ(ClassifyLine(c.line), c.kind);
        const ClickPoint p = ReadClickLine(c.line);
        if (c.kind == LineKind::Delay) {
            EXPECT_EQ(ReadDelayLine(c.line), c.delay);
        } else {
            EXPECT_EQ(p.x, c.x);
            EXPECT_EQ(p.y, c.y);
        }
    }
}

TEST(ScriptReaders, YIsTakenAfterTheFirstCommaOfTheLine) {
    // A comma before the opening parenthesis: x reads up to the comma after （, y after the first comma.
    const ByteText line = Left + Comma + "9" + Open + "1" + Comma + "2" + Close;
    EXPECT_EQ(ReadClickLine(line).x, 1);
    EXPECT_EQ(ReadClickLine(line).y, 9);
}

TEST(TextBetween, FindsTheTextBetweenMarkers) {
    EXPECT_EQ(TextBetween("a[b]c", "[", "]"), "b");
    EXPECT_EQ(TextBetween("a[]c", "[", "]"), "");
    EXPECT_EQ(TextBetween("a[bc", "[", "]"), "");
    EXPECT_EQ(TextBetween("abc]", "[", "]"), "");
    EXPECT_EQ(TextBetween("a]b[c]", "[", "]"), "c");      // the end marker is sought after the start
    EXPECT_EQ(TextBetween("x[", "[", "]"), "");           // start marker at the very end
    EXPECT_EQ(TextBetween("say \"hi\" now", "#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5"), "hi");  // #引号 is a quote
    EXPECT_EQ(TextBetween("k=\"v\"", "=#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5"), "v");
}

TEST(ScriptFile, RoundTripsAndEndsAtAZeroByte) {
    const ByteText script = FormatClickLine(LineKind::LeftClick, 1, 2) + "\r\n" + FormatDelayLine("250");
    EXPECT_EQ(BytesToText(TextToBytes(script)), script);
    std::vector<unsigned char> bytes = TextToBytes(script);
    bytes.insert(bytes.begin() + 4, 0);
    EXPECT_EQ(BytesToText(bytes), Left);
}

}  // namespace
}  // namespace tavrel
