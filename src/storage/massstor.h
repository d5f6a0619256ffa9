// Block device in slot 5: four units of 512-byte blocks.
#pragma once
#include <cstdint>
#include "machine.h"

uint8_t ms_io_read(uint16_t address);
void ms_io_write(uint16_t address, uint8_t value);
// Opens hdv1.hdv and hdv2.hdv for units 0 and 1. A file that another process
// has mounted is opened write-protected.
void ms_mount_defaults();
// True when a unit was mounted write-protected because another process holds it.
bool ms_any_in_use();
void ms_close_all();
// True while block commands keep coming (within a tenth of an emulated
// second of the last one): the run loop lets such transfers run unpaced.
bool ms_busy();
