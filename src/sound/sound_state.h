// Speaker flips stamped in cycles, rendered into a sample ring.
#pragma once
#include <array>
#include <cstdint>

struct SDL_AudioSpec;

inline constexpr uint32_t SOUND_RING = 16384;
inline constexpr uint32_t SOUND_MAX_FLIPS = 18000;

struct SoundState {
    uint8_t sound_enabled;
    SDL_AudioSpec* audio_spec;
    std::array<int32_t, SOUND_RING> sample_ring;
    uint32_t ring_write; // producer index, published with release
    uint32_t ring_read;  // consumer index, owned by the callback
    uint32_t last_sample = 32768;
    std::array<float, SOUND_MAX_FLIPS> flip_times;
    uint32_t flip_count;
    uint32_t flush_stamp;
    double samples_per_cycle = 44100.0 / 1017000.0;
    int32_t level_low = 32768;
    int32_t level_high = 48768;
    double amplitude = 16000.0;
    double centre = 32768.0;
    uint8_t speaker_state;
    uint32_t volume_percent = 50;
    uint64_t dropped_samples; // rendered while the ring was full
};
