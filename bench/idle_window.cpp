// The baseline for idle CPU: the same window and loop with no key polling.
#include "app/window_layout.h"
#include "platform/platform.h"

int main() {
    if (!tavrel::CreateMainWindow(tavrel::MainWindow())) return 1;
    tavrel::RunMessageLoop();
    return 0;
}
