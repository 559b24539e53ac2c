// A wait that keeps the calling thread's messages flowing.
#pragma once

#include <cstdint>

namespace tavrel {

enum DelayUnit : std::int32_t {
    DelayMilliseconds = 0,
    DelayMicroseconds = 1,
    DelaySeconds = 2,
    DelayMinutes = 3,
    DelayHours = 4,
    DelayDays = 5,
};

// Blocks for interval units on a one-shot timer of its own, dispatching any
// messages that arrive meanwhile without shortening the wait. Returns at once
// for an interval below 1. Any thread.
void PreciseDelay(std::int32_t interval, std::int32_t unit);

// The timer's due time for the interval: negative (relative), in 100 ns units.
std::int64_t DelayDueTime(std::int32_t interval, std::int32_t unit);

}  // namespace tavrel
