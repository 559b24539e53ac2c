// A whole script file as the player reads it: bytes to text, lines, kinds, numbers.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "text/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrel;
    const ByteText text = BytesToText(std::span<const unsigned char>(data, size));
    if (text.find('\0') != ByteText::npos) std::abort();
    std::int64_t total = 0;
    for (const ByteText& line : SplitText(text, "\r\n")) {
        switch (ClassifyLine(line)) {
            case LineKind::LeftClick:
            case LineKind::RightClick: {
                const ClickPoint p = ReadClickLine(line);
                total += p.x - static_cast<std::int64_t>(p.y);
                break;
            }
            case LineKind::Delay: total += ReadDelayLine(line); break;
            case LineKind::None: break;
        }
    }
    if (TextToBytes(text).size() != text.size()) std::abort();
    return static_cast<int>(total & 0);
}
