// The machine at real speed: the emulated clock against the host clock, and
// a tone that reaches the sound device whole, sample for sample. Both run on
// our own free ROM with a speaker program poked into RAM, for real seconds.
#include <SDL.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cmath>
#include <vector>

#include "cpu/cpu.h"
#include "integration_support.h"
#include "memory/memory.h"
#include "sound/sound.h"

namespace {

using Clock = std::chrono::steady_clock;

// A 1000 Hz square wave: the speaker flips every 508 and 509 cycles in turn,
// 1017 cycles a period at 1,017,000 cycles a second.
//   $0300 LDA $C030 / LDX #100 / DEX / BNE / BIT $00          508 cycles
//   $030A LDA $C030 / LDX #99 / DEX / BNE / NOP x3 / JMP $0300 509 cycles
constexpr uint8_t TONE_PROGRAM[] = {
    0xAD, 0x30, 0xC0, 0xA2, 0x64, 0xCA, 0xD0, 0xFD, 0x24, 0x00,
    0xAD, 0x30, 0xC0, 0xA2, 0x63, 0xCA, 0xD0, 0xFD, 0xEA, 0xEA, 0xEA, 0x4C, 0x00, 0x03,
};
constexpr double TONE_HZ = 1000.0;
constexpr double HALF_PERIOD_SAMPLES = 44100.0 / TONE_HZ / 2.0;

// Start-up in Full mode on the free ROM, then the tone program instead of
// the reset: it never waits for a key, so every line carries its cycles.
void start_tone_machine()
{
    test_reset_machine();
    test_startup({"-F"});
    for (uint16_t i = 0; i < sizeof TONE_PROGRAM; ++i)
        write_byte(static_cast<uint16_t>(0x0300 + i), TONE_PROGRAM[i]);
    machine.cpu.cpu_pending = 0;
    machine.cpu.reg.pc = 0x0300;
    machine.cpu.speed_unlimited = 0;
    machine.cpu.interval_dirty = 1;
}

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

void run_for(double seconds)
{
    const auto start = Clock::now();
    while (seconds_since(start) < seconds) run_cycles(20'000);
}

double cpu_seconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Edges of the square wave in the device's output, in samples. The box
// filter mixes the sample an edge falls in: high for fraction f of it, at its
// end after a rising edge, at its start before a falling one.
std::vector<double> edges_of(const std::vector<int32_t>& v, int32_t low, int32_t high)
{
    std::vector<double> at;
    const double span = high - low;
    auto mixed = [&](size_t k) { return v[k] != low && v[k] != high; };
    for (size_t i = 1; i < v.size(); ++i) {
        const bool rising = v[i] > low + span / 2;
        if ((v[i - 1] > low + span / 2) == rising) continue;
        const size_t k = mixed(i) ? i : (mixed(i - 1) ? i - 1 : SIZE_MAX);
        if (k == SIZE_MAX) {
            at.push_back(static_cast<double>(i));
            continue;
        }
        const double f = (v[k] - low) / span;
        at.push_back(static_cast<double>(k) + (rising ? 1.0 - f : f));
    }
    return at;
}

} // namespace

// Ten host seconds at multiplier 1 give ten emulated seconds of 1,017,000
// cycles, and the process sleeps most of that time; at multiplier 4 the
// machine runs four times as fast, with the line rate unchanged.
TEST(RealTime, EmulatedClockFollowsTheHostClock)
{
    ASSERT_FIRMWARE_BUILT();
    TempWorkDir wd;
    UseBuiltFirmware firmware;
    start_tone_machine();
    run_for(1.0); // the sound ring settles

    const auto t0 = Clock::now();
    const uint32_t c0 = machine.cpu.reg.cycles;
    const uint64_t slept0 = machine.cpu.pace.slept_ns;
    const double cpu0 = cpu_seconds();
    run_for(10.0);
    const double host = seconds_since(t0);
    const double emulated = static_cast<uint32_t>(machine.cpu.reg.cycles - c0) / 1017000.0;
    const double slept = static_cast<double>(machine.cpu.pace.slept_ns - slept0) / 1e9;
    const double used = cpu_seconds() - cpu0;
    RecordProperty("cpu_percent", static_cast<int>(100.0 * used / host));
    EXPECT_NEAR(emulated / host, 1.0, 0.02) << emulated << " emulated s in " << host << " host s";
    EXPECT_GT(slept, 0.5 * host) << "the waits are sleeps, not a busy loop";

    machine.cpu.cpu_multiplier = 4;
    machine.cpu.interval_dirty = 1;
    run_for(0.5);
    const auto t1 = Clock::now();
    const uint32_t c1 = machine.cpu.reg.cycles;
    run_for(3.0);
    const double fast = static_cast<uint32_t>(machine.cpu.reg.cycles - c1) / 1017000.0 / seconds_since(t1);
    EXPECT_NEAR(fast, 4.0, 0.08);
    EXPECT_EQ(machine.cpu.poll_interval, 260u);
    sound_close();
}

// Sixty seconds of a 1 kHz tone through SDL's disk audio driver: every half
// period in the written file has its length, so no sample was dropped or
// repeated once the ring had settled, and the pitch is the program's.
TEST(RealTime, ToneReachesTheDeviceWhole)
{
    ASSERT_FIRMWARE_BUILT();
    TempWorkDir wd;
    UseBuiltFirmware firmware;
    const std::string raw_path = wd.path + "/audio.raw";
    EnvSetting driver("SDL_AUDIODRIVER", "disk");
    EnvSetting file("SDL_DISKAUDIOFILE", raw_path);
    EnvSetting delay("SDL_DISKAUDIODELAY", "46");
    start_tone_machine();
    ASSERT_EQ(machine.sound.sound_enabled, 1) << SDL_GetError();

    run_for(3.0);
    const uint64_t dropped0 = machine.sound.dropped_samples;
    const uint64_t repeated0 = std::atomic_ref<uint64_t>(machine.sound.underrun_samples).load();
    const size_t settled_bytes = read_file(raw_path).size();
    double fill_sum = 0;
    uint32_t fill_min = SOUND_RING, fill_max = 0, fills = 0;
    const auto t0 = Clock::now();
    while (seconds_since(t0) < 60.0) {
        run_cycles(20'000);
        uint32_t fill = 0, read = 0;
        if (sound_ring_levels(fill, read)) {
            fill_sum += fill;
            fill_min = std::min(fill_min, fill);
            fill_max = std::max(fill_max, fill);
            ++fills;
        }
    }
    const uint64_t dropped = machine.sound.dropped_samples - dropped0;
    const uint64_t repeated = std::atomic_ref<uint64_t>(machine.sound.underrun_samples).load() - repeated0;
    const int32_t low = machine.sound.level_low, high = machine.sound.level_high;
    const size_t end_bytes = read_file(raw_path).size();
    sound_close();
    RecordProperty("ring_fill_mean", static_cast<int>(fill_sum / std::max(fills, 1u)));
    RecordProperty("ring_fill_min", static_cast<int>(fill_min));
    RecordProperty("ring_fill_max", static_cast<int>(fill_max));
    EXPECT_EQ(dropped, 0u) << "ring overflowed";
    EXPECT_EQ(repeated, 0u) << "ring ran dry";

    // The file from the settled point to the end of the run.
    const std::vector<uint8_t> raw = read_file(raw_path);
    std::vector<int32_t> v;
    for (size_t i = settled_bytes & ~size_t{1}; i + 1 < end_bytes; i += 2) v.push_back(raw[i] | raw[i + 1] << 8);
    ASSERT_GT(v.size(), 44100u * 55);
    const std::vector<double> edges = edges_of(v, low, high);
    ASSERT_GT(edges.size(), 100'000u);
    size_t wrong = 0;
    for (size_t i = 1; i < edges.size(); ++i)
        if (std::fabs(edges[i] - edges[i - 1] - HALF_PERIOD_SAMPLES) > 0.5) ++wrong;
    EXPECT_EQ(wrong, 0u) << "half periods off by a sample or more: dropped or repeated samples";
    const double hz = (edges.size() - 1) / 2.0 / ((edges.back() - edges.front()) / 44100.0);
    EXPECT_NEAR(hz, TONE_HZ, TONE_HZ * 0.005);
}
