// STUB: replaced by the block device.
#include "storage/massstor.h"

uint8_t ms_io_read(uint16_t) { return 0xFF; }
void ms_io_write(uint16_t, uint8_t) {}
void ms_mount_defaults() {}
void ms_close_all() {}
