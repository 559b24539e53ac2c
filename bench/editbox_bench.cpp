// ScriptBox with big scripts in the real window: loading 10 MB (vs reading the
// file's bytes alone) and appending one line to 100,000 lines (vs to 10 lines).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/window_layout.h"
#include "platform/platform.h"
#include "text/script.h"

namespace {

using namespace tavrel;

double Millis(std::int64_t since) { return static_cast<double>(MonotonicNanoseconds() - since) / 1e6; }

ByteText Lines(std::size_t count) {
    ByteText s;
    for (std::size_t i = 0; i < count; ++i) s += FormatClickLine(LineKind::LeftClick, static_cast<int>(i % 1920), 7);
    return s;
}

double AppendMillis(std::size_t lines) {
    SetEditBoxText(ScriptBox, Lines(lines));
    const std::int64_t start = MonotonicNanoseconds();
    AppendToEditBox(ScriptBox, FormatClickLine(LineKind::RightClick, 1, 2));
    (void)EditBoxText(DelayBox);  // a round trip through the UI thread: the append is done
    return Millis(start);
}

std::uint32_t Measure(std::int32_t) {
    ByteText script;
    while (script.size() < 10u * 1024 * 1024) script += Lines(1000);
    const auto file = std::filesystem::temp_directory_path() / "tavrel-bench-10mb.txt";
    WriteWholeFile(file, TextToBytes(script));

    std::int64_t start = MonotonicNanoseconds();
    const auto bytes = ReadWholeFile(file);
    const ByteText text = BytesToText(*bytes);
    const double readOnly = Millis(start);
    start = MonotonicNanoseconds();
    SetEditBoxText(ScriptBox, BytesToText(*ReadWholeFile(file)));
    const bool same = EditBoxText(ScriptBox).size() == text.size();
    const double load = Millis(start);
    std::printf("ROW load a 10 MB script into ScriptBox (vs reading its bytes)|%.1f|%.1f|ms\n", load, readOnly);
    std::printf("ROW append one line to 100,000 lines (vs to 10 lines)|%.2f|%.2f|ms\n", AppendMillis(100000),
                AppendMillis(10));
    if (!same) std::printf("ROW 10 MB script read back differs|1|0|error\n");
    std::filesystem::remove(file);
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace

int main() {
    if (!CreateMainWindow(MainWindow())) return 1;
    StartThread(Measure, 0);
    RunMessageLoop();
    return 0;
}
