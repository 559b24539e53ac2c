#ifndef _WIN32
#error "Win32 key injection outside a Windows build"
#endif
#include <windows.h>

#include "bench/inject.h"

namespace tavrel {

void InjectKey(std::int32_t vk, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(vk);
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

}  // namespace tavrel
