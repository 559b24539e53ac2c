// A fresh simulated machine for every test.
#pragma once

#include <gtest/gtest.h>

#include "app/player.h"
#include "platform/sim_platform.h"
#include "services/hotkey_monitor.h"

namespace tavrel {

class SimTest : public testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        ClearHotkeys();
        RunningFlag.store(0);
    }
    void TearDown() override {
        // No simulated thread may outlive its test.
        RunningFlag.store(0);
        EXPECT_TRUE(sim::RunUntilIdle());
    }
};

}  // namespace tavrel
