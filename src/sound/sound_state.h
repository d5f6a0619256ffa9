// Speaker flips stamped in cycles, rendered into a sample ring.
#pragma once
#include <array>
#include <cstdint>

struct SDL_AudioSpec;

inline constexpr uint32_t SOUND_RING = 16384;
inline constexpr uint32_t SOUND_MAX_FLIPS = 18000;

// Shared with the audio thread: sample_ring, ring_write and ring_read only.
// The indices are plain words accessed through std::atomic_ref, so the record
// stays trivially copyable.
struct SoundState {
    uint8_t sound_enabled;
    SDL_AudioSpec* audio_spec; // requested spec, owned from open to close
    std::array<int32_t, SOUND_RING> sample_ring;
    alignas(4) uint32_t ring_write; // producer index, stored with release
    alignas(4) uint32_t ring_read;  // consumer index, stored with release
    uint32_t last_sample = 32768;   // audio thread only
    std::array<float, SOUND_MAX_FLIPS> flip_times; // in output samples
    uint32_t flip_count;
    uint32_t flush_stamp;  // cycles at the last flush
    double sample_phase;   // part of a sample elapsed but not yet emitted, [0, 1)
    double samples_per_cycle = 44100.0 / 1017000.0;
    int32_t level_low = 32768;
    int32_t level_high = 48768;
    double amplitude = 16000.0;
    double centre = 32768.0;
    uint8_t speaker_state;
    uint32_t volume_percent = 50;
    uint64_t dropped_samples; // rendered while the ring was full
    alignas(8) uint64_t underrun_samples; // audio thread: samples repeated for an empty ring
    uint32_t time_scale = 1;  // emulated seconds per sound second (the multiplier at real time)
    uint8_t muted;            // unpaced running: flips are discarded, nothing is rendered
};
