// SplitText and FindText over a 10 MB recorded script, beside std::string_view::find
// doing the plain byte work over the same bytes.
#include <benchmark/benchmark.h>

#include <string_view>

#include "text/script.h"

namespace {

const tavrel::ByteText& Script() {
    static const tavrel::ByteText script = [] {
        tavrel::ByteText s;
        for (int i = 0; s.size() < 10 * 1024 * 1024; ++i) {
            s += i % 5 == 4 ? tavrel::FormatDelayLine("250")
                            : tavrel::FormatClickLine(i % 2 ? tavrel::LineKind::RightClick : tavrel::LineKind::LeftClick,
                                                      i % 1920, i % 1080);
        }
        return s;
    }();
    return script;
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Script().size()));
}

void BM_SplitText(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(tavrel::SplitText(Script(), "\r\n"));
    SetBytes(state);
}

// Baseline: the same members cut with string_view::find.
void BM_SplitBaseline(benchmark::State& state) {
    const std::string_view text = Script();
    for (auto _ : state) {
        std::vector<std::string> members;
        std::size_t begin = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", begin)) {
            members.emplace_back(text.substr(begin, at - begin));
            begin = at + 2;
        }
        if (begin < text.size()) members.emplace_back(text.substr(begin));
        benchmark::DoNotOptimize(members);
    }
    SetBytes(state);
}

// A search that runs over the whole text: the marker is absent.
void BM_FindText(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(tavrel::FindText(Script(), "\xA3\xA1", 1));
    SetBytes(state);
}

void BM_FindBaseline(benchmark::State& state) {
    const std::string_view text = Script();
    for (auto _ : state) benchmark::DoNotOptimize(text.find("\xA3\xA1"));
    SetBytes(state);
}

BENCHMARK(BM_SplitText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
