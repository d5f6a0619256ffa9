// Pitch of a real 6502 program toggling the speaker, and the audio device
// opened through SDL (dummy and disk drivers).
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "memory/memory.h"
#include "sound_test_util.h"

namespace {

// LOOP: LDA $C030 / LDX #100 / DELAY: DEX / BNE DELAY / JMP LOOP
constexpr uint8_t TOGGLE_PROGRAM[] = {
    0xAD, 0x30, 0xC0, // $0300 LDA $C030
    0xA2, 0x64,       // $0303 LDX #100
    0xCA,             // $0305 DEX
    0xD0, 0xFD,       // $0306 BNE $0305
    0x4C, 0x00, 0x03, // $0308 JMP $0300
};

} // namespace

TEST(SoundFrequency, ProgramTogglingTheSpeaker)
{
    sound_test_begin();
    for (size_t i = 0; i < sizeof TOGGLE_PROGRAM; ++i)
        write_byte(static_cast<uint16_t>(0x0300 + i), TOGGLE_PROGRAM[i]);
    CpuState& cpu = machine.cpu;
    cpu.cpu_pending = 0;
    cpu.reg.pc = 0x0300;
    cpu.reg.s = 0xFF;
    // The test flushes by itself; keep the core's periodic call away.
    cpu.poll_interval = 0xFFFFFFFFu;
    cpu.poll_mark = 0;

    cpu_step();
    ASSERT_EQ(cpu.reg.cycles, 4u) << "LDA absolute takes four cycles";
    ASSERT_EQ(machine.sound.flip_count, 1u) << "the load of $C030 did not reach the speaker";
    // Length of one pass of the loop, as this core charges it.
    int steps = 0;
    while (cpu.reg.pc != 0x0300 && ++steps < 1000) cpu_step();
    const uint32_t start = cpu.reg.cycles;
    do cpu_step();
    while (cpu.reg.pc != 0x0300 && ++steps < 1000);
    ASSERT_LT(steps, 1000) << "the toggle loop did not come back to $0300";
    const uint32_t period = cpu.reg.cycles - start; // 508 on a 65C02: 4+2+100*5-1+3
    EXPECT_EQ(period, 508u);
    EXPECT_EQ(machine.sound.flip_count, 2u) << "one flip per pass";

    // Half a second of emulated time, flushed every 325 cycles.
    machine.sound.flip_count = 0;
    machine.sound.flush_stamp = cpu.reg.cycles;
    machine.sound.ring_write = machine.sound.ring_read = 0;
    std::vector<int32_t> all;
    uint32_t next_flush = cpu.reg.cycles + 325;
    const uint32_t end = cpu.reg.cycles + 508500;
    while (static_cast<int32_t>(cpu.reg.cycles - end) < 0) {
        cpu_step();
        if (static_cast<int32_t>(cpu.reg.cycles - next_flush) >= 0) {
            sound_flush();
            std::vector<int32_t> v = ring_take();
            all.insert(all.end(), v.begin(), v.end());
            next_flush += 325;
        }
    }
    const double expected = 1017000.0 / (2.0 * period);
    const double hz = measure_frequency(all);
    EXPECT_NEAR(hz, expected, expected * 0.01);
    EXPECT_NEAR(all.size(), 22050.0, 30.0);
    RecordProperty("measured_hz", std::to_string(hz));
    std::printf("toggle loop: %.3f Hz measured, %.3f Hz expected\n", hz, expected);
}

TEST(SoundDevice, OpenCloseAndFailure)
{
    {
        EnvSetting driver("SDL_AUDIODRIVER", "dummy");
        test_reset_machine();
        machine.sound.volume_percent = 77;
        ASSERT_EQ(sound_open(), 0) << SDL_GetError();
        SoundState& s = machine.sound;
        EXPECT_EQ(s.sound_enabled, 1);
        ASSERT_NE(s.audio_spec, nullptr);
        EXPECT_EQ(s.audio_spec->freq, 44100);
        EXPECT_EQ(s.audio_spec->format, AUDIO_U16LSB);
        EXPECT_EQ(s.audio_spec->channels, 1);
        EXPECT_EQ(s.audio_spec->samples, 2048);
        EXPECT_EQ(s.volume_percent, 50u);
        EXPECT_EQ(s.level_high, 48768);
        EXPECT_EQ(s.sample_ring[SOUND_RING - 1], 32768);
        EXPECT_EQ(sound_close(), 0);
        EXPECT_EQ(s.audio_spec, nullptr);
        EXPECT_EQ(s.sound_enabled, 1) << "close leaves the flag as it was";
        EXPECT_EQ(sound_close(), 0);
    }
    {
        EnvSetting driver("SDL_AUDIODRIVER", "no-such-driver");
        test_reset_machine();
        EXPECT_EQ(sound_open(), 1);
        EXPECT_EQ(machine.sound.sound_enabled, 0);
        click_at(100);
        flush_at(1000);
        EXPECT_EQ(machine.sound.ring_write, 0u);
        EXPECT_EQ(machine.sound.flip_count, 1u);
        EXPECT_EQ(sound_close(), 0);
        EXPECT_EQ(machine.sound.audio_spec, nullptr);
    }
    SDL_Quit();
}

TEST(SoundDevice, DiskDriverPlaysTheTone)
{
    TempWorkDir dir;
    const std::string out = dir.path + "/audio.raw";
    EnvSetting driver("SDL_AUDIODRIVER", "disk");
    EnvSetting file("SDL_DISKAUDIOFILE", out);
    EnvSetting delay("SDL_DISKAUDIODELAY", "20");
    test_reset_machine();
    ASSERT_EQ(sound_open(), 0) << SDL_GetError();
    // A 1 kHz tone, 0.3 s of it, rendered by lines of 325 cycles.
    uint32_t c = 0;
    for (int line = 0; line < 940; ++line) {
        for (uint32_t k = 0; k < 325; ++k, ++c)
            if (c % 508 == 0) click_at(c);
        flush_at(c);
    }
    for (int i = 0; i < 250 && std::atomic_ref<uint32_t>(machine.sound.ring_read).load() != machine.sound.ring_write; ++i)
        SDL_Delay(20);
    SDL_Delay(100);
    EXPECT_EQ(sound_close(), 0);
    SDL_Quit();

    // SDL writes its own silence for this format, byte 0, while the device
    // is paused; only the samples from the callback are looked at.
    const std::vector<uint8_t> raw = read_file(out);
    std::vector<int32_t> samples;
    for (size_t i = 0; i + 1 < raw.size(); i += 2)
        if (const int32_t v = raw[i] | raw[i + 1] << 8; v != 0) samples.push_back(v);
    ASSERT_GE(samples.size(), 2048u * 3);
    size_t high = 0, low = 0, other = 0;
    for (int32_t v : samples) {
        if (v == 48768) ++high;
        else if (v == 32768) ++low;
        else ++other;
        ASSERT_GE(v, 32768);
        ASSERT_LE(v, 48768);
    }
    EXPECT_GT(high, 4000u);
    EXPECT_GT(low, 4000u);
    EXPECT_GT(other, 10u); // mixed samples at the edges
    EXPECT_NEAR(measure_frequency(samples), 1017000.0 / 1016.0, 10.0);
}
