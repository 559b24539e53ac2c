// Reading one script line: kind, markers and numbers, with a write-read round trip.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrel;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const LineKind kind = ClassifyLine(line);
    const ClickPoint p = ReadClickLine(line);
    (void)ReadDelayLine(line);
    (void)TextBetween(line, line.substr(0, size % 3), line.substr(size / 2, 2));
    if (kind == LineKind::LeftClick || kind == LineKind::RightClick) {
        const ByteText again = FormatClickLine(kind, p.x, p.y);
        const ClickPoint q = ReadClickLine(again);
        if (ClassifyLine(again) != kind || q.x != p.x || q.y != p.y) std::abort();
    }
    return 0;
}
