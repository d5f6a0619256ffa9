// Disk II controller in slot 6 and its disk images.
#pragma once
#include <cstdint>
#include "machine.h"

uint8_t disk_io_read(uint16_t address);
void disk_io_write(uint16_t address, uint8_t value);
// True while either drive holds an image.
bool disk_any_mounted();
// True while either drive's motor turns, the run-on after $C0E8 included;
// ends a run-on whose time is up (writing back its track). Called once per
// scan line, so that a run-on ends also when no program touches the drives.
bool disk_motor_spinning();
// True when $C0E0-$C0EF was touched within the last two emulated seconds.
bool disk_recently_used();

// Opens the drive's image. Anything but a regular file is not mounted; an
// image another process holds is mounted write-protected (in_use).
void disk_mount(int drive);
void disk_unmount(int drive);
void disk_load_track(int drive);
void disk_flush_track(int drive);
void disk_mount_defaults();
void disk_flush_all();
// True when a drive was mounted write-protected because another process holds its image.
bool disk_any_in_use();
