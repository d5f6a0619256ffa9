// STUB: replaced by the Disk II controller and images.
#include "storage/disk.h"

uint8_t disk_io_read(uint16_t) { return 0xFF; }
void disk_io_write(uint16_t, uint8_t) {}
bool disk_any_mounted() { return false; }
void disk_mount(int) {}
void disk_unmount(int) {}
void disk_load_track(int) {}
void disk_flush_track(int) {}
void disk_mount_defaults() {}
void disk_flush_all() {}
