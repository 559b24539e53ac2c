// Platform figures beside baselines measured in the same run: PreciseDelay's
// overshoot against std::this_thread::sleep_for, and the cost of one key snapshot
// against reading the keys the other way. Prints "ROW figure|tavrel|baseline|unit".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "services/hotkey_monitor.h"
#include "services/precise_delay.h"

namespace tavrel {
// The benchmark has no window; the backend still expects the application's hook.
void OnButtonPressed(std::int32_t) {}
}  // namespace tavrel

namespace {

using namespace tavrel;

void Row(const char* figure, double ours, double baseline, const char* unit) {
    std::printf("ROW %s|%.1f|%.1f|%s\n", figure, ours, baseline, unit);
    std::fflush(stdout);
}

// Overshoot in microseconds of count waits of ms each.
template <typename Wait>
std::vector<double> Overshoots(int ms, int count, Wait wait) {
    std::vector<double> out;
    for (int i = 0; i < count; ++i) {
        const std::int64_t start = MonotonicNanoseconds();
        wait(ms);
        out.push_back(static_cast<double>(MonotonicNanoseconds() - start - ms * 1000000LL) / 1000.0);
    }
    std::sort(out.begin(), out.end());
    return out;
}

double Percentile(const std::vector<double>& sorted, double p) {
    return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(p * static_cast<double>(sorted.size())))];
}

void DelayRows(int ms, int count) {
    const auto ours = Overshoots(ms, count, [](int m) { PreciseDelay(m, DelayMilliseconds); });
    const auto base = Overshoots(ms, count, [](int m) { std::this_thread::sleep_for(std::chrono::milliseconds(m)); });
    char name[96];
    std::snprintf(name, sizeof name, "PreciseDelay %d ms overshoot median (vs sleep_for)", ms);
    Row(name, Percentile(ours, 0.5), Percentile(base, 0.5), "us");
    std::snprintf(name, sizeof name, "PreciseDelay %d ms overshoot p99 (vs sleep_for)", ms);
    Row(name, Percentile(ours, 0.99), Percentile(base, 0.99), "us");
    std::snprintf(name, sizeof name, "PreciseDelay %d ms overshoot max (vs sleep_for)", ms);
    Row(name, ours.back(), base.back(), "us");
}

// Median cost in microseconds of one call of read().
template <typename Read>
double MedianMicros(int count, Read read) {
    std::vector<double> out;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        read();
        out.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(out.begin(), out.end());
    return out[out.size() / 2];
}

void SnapshotRows() {
    std::vector<std::int32_t> all(255);
    std::iota(all.begin(), all.end(), 1);
    const std::int32_t named[] = {VK_MENU, VK_CONTROL, VK_SHIFT, VK_LWIN, VK_F7, VK_F8, VK_F9, VK_F10};
    KeySnapshot snapshot{};
    const double whole = MedianMicros(300, [&] { ReadKeySnapshot(all, snapshot); });
#ifdef _WIN32
    // Win32 reads each named key; the monitor names 8 of them.
    const double few = MedianMicros(300, [&] { ReadKeySnapshot(named, snapshot); });
    Row("key snapshot, the 8 keys the monitor names (vs all 255)", few, whole, "us");
#else
    // X11 reads the whole keyboard in one round trip, whatever the codes named.
    const double separate = MedianMicros(30, [&] {
        for (std::int32_t code : all) ReadKeySnapshot(std::span(&code, 1), snapshot);
    });
    Row("key snapshot, one query for 255 keys (vs 255 queries)", whole, separate, "us");
    (void)named;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    SnapshotRows();
    for (int ms : {1, 10, 100}) DelayRows(ms, ms == 100 ? std::max(count / 4, 20) : count);
    return 0;
}
