// Synthetic key presses for the latency benchmark, as another program sends them.
#pragma once
#include <cstdint>
namespace tavrel {
// Presses (down) or releases a virtual-key code system-wide. Any thread.
void InjectKey(std::int32_t vk, bool down);
}  // namespace tavrel
