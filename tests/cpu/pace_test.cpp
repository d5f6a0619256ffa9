// Real-time pacing of the scan lines: sleeps when ahead, runs unpaced and
// silent while storage works, and never races to repay a stall.
#include <chrono>

#include "cpu/cpu.h"
#include "sound/sound.h"
#include "support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

void pace_test_begin()
{
    test_reset_machine();
    machine.cpu.speed_unlimited = 0;
    machine.cpu.cpu_multiplier = 1;
    machine.sound.sound_enabled = 1; // a ring without a device: nobody reads it
    machine.sound.level_low = 32768;
    cpu_speed_apply();
}

double lines_per_second(int lines, bool busy)
{
    const auto t0 = Clock::now();
    for (int i = 0; i < lines; ++i) cpu_pace(busy);
    return lines / std::chrono::duration<double>(Clock::now() - t0).count();
}

} // namespace

TEST(Pace, LinesFollowTheHostClockAndBusyStorageRunsFree)
{
    pace_test_begin();
    // Half a second of lines takes half a second, spent asleep.
    const double paced = lines_per_second(7823, false);
    EXPECT_NEAR(paced, 1017000.0 / 65, 1017000.0 / 65 * 0.05);
    EXPECT_GT(machine.cpu.pace.slept_ns, 300'000'000u);
    // The first line topped the ring up, so the device starts with a margin.
    uint32_t fill = 0, read = 0;
    ASSERT_TRUE(sound_ring_levels(fill, read));
    EXPECT_EQ(fill, SOUND_TROUGH_TARGET + SOUND_BUFFER / 2);

    // A turning disk: no waiting, and the speaker is muted.
    EXPECT_GT(lines_per_second(100000, true), 1017000.0 / 65 * 20);
    EXPECT_EQ(machine.sound.muted, 1u);
    // Back to pacing: sound again, from a fresh anchor (no burst of sleep
    // or of catching up for the unpaced stretch).
    const auto t0 = Clock::now();
    cpu_pace(false);
    EXPECT_EQ(machine.sound.muted, 0u);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - t0).count(), 0.01);
}

TEST(Pace, StallIsNotRepaid)
{
    pace_test_begin();
    cpu_pace(false);
    // The host held the machine up for a fifth of a second.
    machine.cpu.pace.due_ns -= 200'000'000;
    cpu_pace(false);
    // It goes on at the normal rate instead of running 3,000 lines unpaced.
    const double rate = lines_per_second(3130, false);
    EXPECT_NEAR(rate, 1017000.0 / 65, 1017000.0 / 65 * 0.05);
}
