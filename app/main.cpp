#include <cstdio>
#include <cstdlib>

#include "app/commands.h"

int main() {
    const int code = tavrel::RunTavrel();
    // Players and command threads may still run: end the process now rather than
    // run static destructors under them.
    std::fflush(nullptr);
    std::_Exit(code);
}
