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
