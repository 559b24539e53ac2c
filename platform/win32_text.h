// GBK <-> UTF-16 at the Win32 edge, through code page 936 whatever the system's
// own code page is, so Chinese text shows on every locale.
#pragma once

#ifndef _WIN32
#error "win32_text.h belongs to the Windows build"
#endif

#include <string>
#include <string_view>

namespace tavrel {

std::wstring WideFromGbk(std::string_view text);
// Characters GBK cannot hold become "?".
std::string GbkFromWide(std::wstring_view text);

}  // namespace tavrel
