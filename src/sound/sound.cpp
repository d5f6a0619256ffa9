// STUB: replaced by the speaker sound.
#include "sound/sound.h"

int sound_open() { return 1; }
int sound_close() { return 0; }
void speaker_click() {}
void sound_flush() {}
uint32_t sound_get_volume() { return machine.sound.volume_percent; }
void sound_set_volume(uint32_t) {}
void audio_callback(void*, uint8_t*, int) {}
