// What the X11 backend's two halves share: text conversion at the toolkit edge
// and the identity of the UI thread.
#pragma once

#ifdef _WIN32
#error "x11_shared.h belongs to the X11 build only"
#endif

#include <string>
#include <string_view>

namespace tavrel {

// GBK bytes to UTF-8. A byte that starts no valid GBK character becomes a
// private-use character (U+F700 + byte) so that it survives the way back.
std::string GbkToUtf8(std::string_view gbk);
// UTF-8 to GBK. Characters GBK cannot hold become "?"; the private-use
// characters made by GbkToUtf8 become their bytes again.
std::string Utf8ToGbk(std::string_view utf8);

// Marks the calling thread as the one that runs the FLTK loop.
void MarkUiThread();
bool OnUiThread();

}  // namespace tavrel
