#include "services/precise_delay.h"

#include <cmath>
#include <limits>

#include "platform/platform.h"

namespace tavrel {

std::int64_t DelayDueTime(std::int32_t interval, std::int32_t unit) {
    // Factors to 100 ns units, negative for a relative due time; unknown units act as milliseconds.
    static constexpr double Factors[] = {-10000.0, -10.0, -1000.0 * 10000, -60000.0 * 10000,
                                         -3600000.0 * 10000, -86400000.0 * 10000};
    const double factor = (unit >= 0 && unit <= 5) ? Factors[unit] : Factors[0];
    const double due = std::trunc(static_cast<double>(interval) * factor);
    // Days beyond ~29,000 years overflow 64 bits: clamp instead of undefined behaviour.
    constexpr double lowest = static_cast<double>(std::numeric_limits<std::int64_t>::min());
    return due <= lowest ? std::numeric_limits<std::int64_t>::min() : static_cast<std::int64_t>(due);
}

void PreciseDelay(std::int32_t interval, std::int32_t unit) {
    if (interval < 1) return;
    const std::int64_t due = DelayDueTime(interval, unit);
    // The deadline backs the fallback sleep, so a failed timer still waits the full time.
    const std::int64_t start = MonotonicNanoseconds();
    const std::int64_t span = due < std::numeric_limits<std::int64_t>::min() / 100
                                  ? std::numeric_limits<std::int64_t>::max()
                                  : -due * 100;
    const std::int64_t deadline =
        span > std::numeric_limits<std::int64_t>::max() - start ? std::numeric_limits<std::int64_t>::max()
                                                                 : start + span;

    OneShotTimer timer = CreateOneShotTimer();
    if (timer == nullptr) {
        SleepUntilNanoseconds(deadline);
        return;
    }
    if (ArmOneShotTimer(timer, due)) {
        for (;;) {
            const WaitResult result = WaitForTimerOrMessages(timer);
            if (result == WaitResult::Timer) break;
            if (result == WaitResult::Messages) {
                PumpMessages();
                continue;
            }
            SleepUntilNanoseconds(deadline);
            break;
        }
    } else {
        SleepUntilNanoseconds(deadline);
    }
    CloseOneShotTimer(timer);
}

}  // namespace tavrel
