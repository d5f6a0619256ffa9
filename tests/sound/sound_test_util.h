// Shared set-up for the sound tests: a machine with sound marked open but no
// audio device, and ways to drive the cycle counter and drain the ring.
#pragma once
#include <cstdint>
#include <vector>

#include "cpu/cpu.h"
#include "sound/sound.h"
#include "support/test_support.h"

inline constexpr double SPC = 44100.0 / 1017000.0;

// What sound_open leaves behind, without opening a device.
inline void sound_test_begin()
{
    test_reset_machine();
    machine.sound.sound_enabled = 1;
    machine.sound.sample_ring.fill(32768);
    sound_set_volume(50);
}

inline void click_at(uint32_t cycle)
{
    machine.cpu.reg.cycles = cycle;
    speaker_click();
}

inline void flush_at(uint32_t cycle)
{
    machine.cpu.reg.cycles = cycle;
    sound_flush();
}

// Samples queued between the read and write index, leaving the ring empty.
inline std::vector<int32_t> ring_take()
{
    std::vector<int32_t> out;
    SoundState& s = machine.sound;
    while (s.ring_read != s.ring_write) {
        out.push_back(s.sample_ring[s.ring_read]);
        s.ring_read = (s.ring_read + 1) % SOUND_RING;
    }
    return out;
}

// One callback buffer decoded from little-endian bytes.
inline std::vector<uint32_t> callback_take(int bytes = 4096)
{
    std::vector<uint8_t> buf(static_cast<size_t>(bytes), 0xAA);
    audio_callback(nullptr, buf.data(), bytes);
    std::vector<uint32_t> out;
    for (int i = 0; i + 1 < bytes; i += 2) out.push_back(buf[i] | buf[i + 1] << 8);
    return out;
}

// Frequency in Hz of a square wave from its rising crossings of the
// midpoint, interpolated within the sample.
inline double measure_frequency(const std::vector<int32_t>& v, double rate = 44100.0)
{
    if (v.empty()) return 0.0;
    int32_t lo = v[0], hi = v[0];
    for (int32_t x : v) { lo = x < lo ? x : lo; hi = x > hi ? x : hi; }
    const double mid = (lo + hi) / 2.0;
    double first = -1, last = -1;
    int edges = 0;
    for (size_t i = 1; i < v.size(); ++i) {
        if (v[i - 1] < mid && v[i] >= mid) {
            const double at = static_cast<double>(i - 1) + (mid - v[i - 1]) / (v[i] - v[i - 1]);
            if (first < 0) first = at;
            last = at;
            ++edges;
        }
    }
    if (edges < 2) return 0.0;
    return (edges - 1) / ((last - first) / rate);
}
