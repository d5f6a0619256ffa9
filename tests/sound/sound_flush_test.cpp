// Rendering flips into samples: the box filter, the sample clock, volume.
#include <cmath>

#include "sound_test_util.h"

namespace {

void set_flips(std::initializer_list<float> times)
{
    uint32_t i = 0;
    for (float t : times) machine.sound.flip_times[i++] = t;
    machine.sound.flip_count = i;
}

} // namespace

TEST(SoundFlush, SilentLineAtStateZero)
{
    sound_test_begin();
    flush_at(325);
    std::vector<int32_t> v = ring_take();
    ASSERT_EQ(v.size(), 14u); // 325 x 44100 / 1017000 = 14.09
    for (int32_t x : v) EXPECT_EQ(x, 32768);
    EXPECT_EQ(machine.sound.flush_stamp, 325u);
    EXPECT_EQ(machine.sound.speaker_state, 0);
}

TEST(SoundFlush, BoxFilterExamples)
{
    // One flip at 3.25 from the high state: three high samples, a quarter of
    // sample 3 high, then low.
    sound_test_begin();
    machine.sound.speaker_state = 1;
    set_flips({3.25f});
    flush_at(325);
    std::vector<int32_t> v = ring_take();
    ASSERT_EQ(v.size(), 14u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v[i], 48768) << i;
    EXPECT_EQ(v[3], 36768); // 0.25 x 16000 + 32768
    for (size_t i = 4; i < v.size(); ++i) EXPECT_EQ(v[i], 32768) << i;
    EXPECT_EQ(machine.sound.speaker_state, 0);
    EXPECT_EQ(machine.sound.flip_count, 0u);

    // Two flips inside sample 5 from the low state: half of it high, and the
    // speaker ends low again.
    sound_test_begin();
    set_flips({5.2f, 5.7f});
    flush_at(325);
    v = ring_take();
    ASSERT_EQ(v.size(), 14u);
    const float f = 5.7f - 5.2f;
    EXPECT_EQ(v[5], static_cast<int32_t>(f * 16000.0 + 32768.0));
    EXPECT_NEAR(v[5], 40768, 1);
    for (size_t i = 0; i < v.size(); ++i)
        if (i != 5) {
            EXPECT_EQ(v[i], 32768) << i;
        }
    EXPECT_EQ(machine.sound.speaker_state, 0);

    // Three flips in one sample from low: high from 2.1 to 2.4, then from 2.8
    // to the end of the sample; the speaker ends high.
    sound_test_begin();
    set_flips({2.1f, 2.4f, 2.8f});
    flush_at(325);
    v = ring_take();
    const float g = (2.4f - 2.1f) + (3.0f - 2.8f);
    EXPECT_EQ(v[2], static_cast<int32_t>(g * 16000.0 + 32768.0));
    EXPECT_EQ(v[1], 32768);
    EXPECT_EQ(v[3], 48768);
    EXPECT_EQ(machine.sound.speaker_state, 1);
}

TEST(SoundFlush, ClickStampsInSamples)
{
    sound_test_begin();
    click_at(75);
    ASSERT_EQ(machine.sound.flip_count, 1u);
    const float t = machine.sound.flip_times[0];
    EXPECT_EQ(t, static_cast<float>(75 * SPC));
    flush_at(325);
    std::vector<int32_t> v = ring_take();
    ASSERT_EQ(v.size(), 14u);
    EXPECT_EQ(v[2], 32768);
    EXPECT_EQ(v[3], static_cast<int32_t>((4.0f - t) * 16000.0 + 32768.0));
    EXPECT_EQ(v[4], 48768);
    EXPECT_EQ(v[13], 48768);
    EXPECT_EQ(machine.sound.speaker_state, 1);

    // Flips are recorded with sound closed too, up to 18000 between flushes.
    sound_test_begin();
    machine.sound.sound_enabled = 0;
    for (uint32_t i = 0; i < 18005; ++i) click_at(i);
    EXPECT_EQ(machine.sound.flip_count, 18000u);
    flush_at(20000);
    EXPECT_EQ(machine.sound.ring_write, 0u);
    EXPECT_EQ(machine.sound.flush_stamp, 0u);
}

TEST(SoundFlush, SampleClockKeepsItsFraction)
{
    // 100 lines of 325 cycles are 1409.29 samples: the fraction of each line
    // is carried, not lost (losing it would give 1400).
    sound_test_begin();
    size_t total = 0;
    for (uint32_t line = 1; line <= 100; ++line) {
        flush_at(line * 325);
        total += ring_take().size();
    }
    EXPECT_EQ(total, 1409u);

    // Multiplier 1: 65 cycles a line, 2.82 samples.
    sound_test_begin();
    total = 0;
    for (uint32_t line = 1; line <= 1000; ++line) {
        flush_at(line * 65);
        total += ring_take().size();
    }
    EXPECT_EQ(total, static_cast<size_t>(65000 * SPC));

    // The cycle counter wraps.
    sound_test_begin();
    machine.sound.flush_stamp = 0xFFFFFF00u;
    flush_at(0x45u); // 325 cycles later
    EXPECT_EQ(ring_take().size(), 14u);
}

TEST(SoundFlush, FlipInTheOpenSampleWaits)
{
    sound_test_begin();
    click_at(324); // sample 14.05, past the 14 whole samples of this line
    flush_at(325);
    std::vector<int32_t> v = ring_take();
    ASSERT_EQ(v.size(), 14u);
    for (int32_t x : v) EXPECT_EQ(x, 32768);
    ASSERT_EQ(machine.sound.flip_count, 1u);
    const float t = machine.sound.flip_times[0];
    EXPECT_NEAR(t, 324 * SPC - 14, 1e-4);
    EXPECT_EQ(machine.sound.speaker_state, 0);

    flush_at(650);
    v = ring_take();
    ASSERT_EQ(v.size(), 14u);
    EXPECT_EQ(v[0], static_cast<int32_t>((1.0f - t) * 16000.0 + 32768.0));
    for (size_t i = 1; i < v.size(); ++i) EXPECT_EQ(v[i], 48768) << i;
    EXPECT_EQ(machine.sound.flip_count, 0u);

    // A flush within one sample renders nothing and keeps the flips.
    sound_test_begin();
    click_at(10);
    flush_at(20);
    EXPECT_EQ(machine.sound.ring_write, 0u);
    EXPECT_EQ(machine.sound.flip_count, 1u);
    flush_at(325);
    v = ring_take();
    ASSERT_EQ(v.size(), 14u);
    EXPECT_EQ(v[0], static_cast<int32_t>((1.0f - static_cast<float>(10 * SPC)) * 16000.0 + 32768.0));
}

TEST(SoundFlush, LongGapIsNotRendered)
{
    sound_test_begin();
    click_at(1000);
    flush_at(400000); // 17345 samples, more than the ring
    EXPECT_EQ(machine.sound.ring_write, 0u);
    EXPECT_EQ(machine.sound.flip_count, 0u);
    EXPECT_EQ(machine.sound.flush_stamp, 400000u);
    flush_at(400325);
    EXPECT_EQ(ring_take().size(), 14u);
}

TEST(SoundVolume, LevelsAndLimits)
{
    sound_test_begin();
    sound_set_volume(100);
    EXPECT_EQ(sound_get_volume(), 100u);
    EXPECT_EQ(machine.sound.level_high, 64768);
    EXPECT_EQ(machine.sound.level_low, 32768);
    sound_set_volume(101);
    sound_set_volume(0xFFFFFFFFu);
    EXPECT_EQ(sound_get_volume(), 100u);
    EXPECT_EQ(machine.sound.level_high, 64768);
    sound_set_volume(33);
    EXPECT_EQ(machine.sound.level_high, 32768 + 10560);
    EXPECT_DOUBLE_EQ(machine.sound.amplitude, 0.33 * 32000);

    // Volume 0 is silence whatever the speaker does.
    sound_set_volume(0);
    EXPECT_EQ(machine.sound.level_high, 32768);
    for (uint32_t c = 10; c < 3000; c += 37) click_at(c);
    click_at(3000);
    click_at(3001);
    flush_at(3250);
    std::vector<int32_t> v = ring_take();
    ASSERT_EQ(v.size(), 140u);
    for (int32_t x : v) EXPECT_EQ(x, 32768);

    // A change applies from the next flush; queued samples keep their level.
    sound_test_begin();
    machine.sound.speaker_state = 1;
    flush_at(325);
    sound_set_volume(10);
    flush_at(650);
    v = ring_take();
    ASSERT_EQ(v.size(), 28u);
    EXPECT_EQ(v[0], 48768);
    EXPECT_EQ(v[13], 48768);
    EXPECT_EQ(v[14], 32768 + 3200);
}

TEST(SoundFrequency, SquareWaveFromStamps)
{
    // A 1 kHz square wave is a flip every 508.5 cycles; the pitch must come
    // out right for a line of 325 cycles (multiplier 5) and of 65 (multiplier 1).
    for (uint32_t line : {325u, 65u, 3250u}) {
        sound_test_begin();
        std::vector<int32_t> all;
        uint32_t next_flip = 0, flips = 0, next_flush = line;
        for (uint32_t c = 0; c < 508500; ++c) {
            if (c == next_flip) {
                click_at(c);
                ++flips;
                next_flip = static_cast<uint32_t>(std::lround(flips * 508.5));
            }
            if (c == next_flush) {
                flush_at(c);
                std::vector<int32_t> v = ring_take();
                all.insert(all.end(), v.begin(), v.end());
                next_flush += line;
            }
        }
        EXPECT_EQ(machine.sound.dropped_samples, 0u);
        EXPECT_EQ(all.size(), static_cast<size_t>((next_flush - line) * SPC)) << "line " << line;
        const double hz = measure_frequency(all);
        EXPECT_NEAR(hz, 1000.0, 10.0) << "line " << line;
        EXPECT_NEAR(hz, 1000.0, 1.0) << "line " << line; // carried sample clock: tight
    }
}

// A key wait holds the processor inside one instruction while the lines go
// on: each such line still lasts 65 cycles of sound at the speaker's level,
// so the device is not starved. Muted (unpaced running), nothing is rendered
// and the flips of that time are dropped.
TEST(SoundFlush, HeldLinesAndMute)
{
    sound_test_begin();
    click_at(100);
    flush_at(1000);
    const size_t before = ring_take().size();
    EXPECT_EQ(before, static_cast<size_t>(1000 * SPC));
    for (int line = 0; line < 1000; ++line) flush_at(1000);
    const std::vector<int32_t> held = ring_take();
    EXPECT_NEAR(static_cast<double>(held.size()), 1000 * 65 * SPC, 1.0);
    for (int32_t v : held) ASSERT_EQ(v, machine.sound.level_high);

    sound_mute(true);
    click_at(2000);
    flush_at(50000);
    EXPECT_TRUE(ring_take().empty());
    EXPECT_EQ(machine.sound.flip_count, 0u);
    sound_mute(false);
    flush_at(51000);
    const std::vector<int32_t> after = ring_take();
    EXPECT_EQ(after.size(), static_cast<size_t>(1000 * SPC));
    EXPECT_EQ(after.back(), machine.sound.level_high);
}
