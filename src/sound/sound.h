// Speaker sound: flips stamped in cycles, box-filtered into a sample ring.
#pragma once
#include <cstdint>
#include "machine.h"

int sound_open();
int sound_close();
void speaker_click();
void sound_flush();
uint32_t sound_get_volume();
void sound_set_volume(uint32_t percent);
void audio_callback(void* userdata, uint8_t* stream, int length);

inline constexpr int SOUND_RATE = 44100;
inline constexpr uint16_t SOUND_BUFFER = 2048; // samples the device takes at a time
// Samples left in the ring just after the device took a buffer, in steady
// state: the margin against a late producer. The flip-to-device delay is
// this plus up to one buffer (35 to 81 ms).
inline constexpr uint32_t SOUND_TROUGH_TARGET = 1536;

// Emulated seconds per second of sound: the speaker's pitch follows the
// machine's time at that many times its real speed.
void sound_set_time_scale(uint32_t scale);
// Muted, the flush discards flips and renders nothing; the device repeats
// the last sample, a steady level.
void sound_mute(bool muted);
// Tops the ring up with the speaker's level to its steady-state fill, after
// a start, an unpaced stretch or a stall, so the device does not run dry.
void sound_resync();
// Producer's view of the ring: samples waiting and the device's read index.
// False when sound is not open.
bool sound_ring_levels(uint32_t& fill, uint32_t& read);
