// The one road to emulated memory, and the I/O page behind $C000-$C0FF.
#pragma once
#include <cstdint>
#include "machine.h"

uint8_t read_byte(uint16_t address);
void write_byte(uint16_t address, uint8_t value);

// Language-card switch decode for $C080-$C08F.
void lc_switch(uint16_t address);

uint8_t io_read(uint16_t address);
void io_write(uint16_t address, uint8_t value);

// Text mode, page 1, full 40 x 24 window and its cursor, through write_byte.
void text_defaults();
