// Byte-text primitives with arbitrary texts and arguments: no crash, no undefined
// behaviour, and results that keep their promises.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "text/byte_text.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrel;
    if (size < 10) return 0;
    // Header: two positions, two lengths; the rest split into text, sought, replacement.
    std::int32_t a, b;
    std::memcpy(&a, data, 4);
    std::memcpy(&b, data + 4, 4);
    const std::size_t soughtLength = data[8] % 6 + 1;
    const std::size_t replacementLength = data[9] % 4;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 10, size - 10);
    if (rest.size() < soughtLength + replacementLength) return 0;
    const std::string_view sought = rest.substr(0, soughtLength);
    const std::string_view replacement = rest.substr(soughtLength, replacementLength);
    const std::string_view text = rest.substr(soughtLength + replacementLength);

    const TextPos found = FindText(text, sought, a);
    Check(found == -1 || (found >= 1 && text.substr(static_cast<std::size_t>(found - 1), sought.size()) == sought));
    Check(found == -1 || found >= a);

    const ByteText mid = TextMid(text, a, b);
    Check(static_cast<TextPos>(mid.size()) <= std::max<TextPos>(b, 0));
    Check(TextLeft(text, a).size() <= text.size());

    const ByteText replaced = ReplaceText(text, sought, replacement);
    if (sought == replacement) Check(replaced == text);

    // Joining the members again gives the text back, less at most one final delimiter.
    ByteText joined;
    const auto members = SplitText(text, sought);
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i) joined += sought;
        joined += members[i];
    }
    Check(joined == text || joined + ByteText(sought) == text);

    const std::int32_t value = TextToInt(text);
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos && text.size() < 9) {
        Check(IntToText(value) == ByteText(text.substr(std::min(text.find_first_not_of('0'), text.size() - 1))));
    }
    return 0;
}
