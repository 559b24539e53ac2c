#include "app/player.h"

#include "app/window_layout.h"
#include "platform/platform.h"
#include "services/precise_delay.h"
#include "text/script.h"

namespace tavrel {

std::atomic<std::int32_t> RunningFlag{0};

std::uint32_t StartPlayback(std::int32_t) {
    RunningFlag.store(1);
    StartThread(ScriptPlayer, 0);
    return 0;
}

std::uint32_t StopPlayback(std::int32_t) {
    RunningFlag.store(0);
    return 0;
}

std::uint32_t ScriptPlayer(std::int32_t) {
    // The player's own copy: later edits of ScriptBox reach only later players.
    const std::vector<ByteText> lines = SplitText(EditBoxText(ScriptBox), LineEnd);
    while (RunningFlag.load() != 0) {
        for (const ByteText& line : lines) {
            switch (ClassifyLine(line)) {
                case LineKind::LeftClick: {
                    const ClickPoint p = ReadClickLine(line);
                    ClickAt(p.x, p.y, 0);
                    break;
                }
                case LineKind::RightClick: {
                    const ClickPoint p = ReadClickLine(line);
                    ClickAt(p.x, p.y, 2);
                    break;
                }
                case LineKind::Delay:
                    PreciseDelay(ReadDelayLine(line), DelayMilliseconds);
                    break;
                case LineKind::None:
                    break;
            }
            PreciseDelay(1000, DelayMilliseconds);
        }
    }
    return 0;
}

}  // namespace tavrel
