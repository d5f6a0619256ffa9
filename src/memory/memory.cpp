// STUB: replaced by the memory map.
#include "memory/memory.h"

uint8_t read_byte(uint16_t address) { return machine.mem.ram[address]; }
void write_byte(uint16_t address, uint8_t value) { machine.mem.ram[address] = value; }
void lc_switch(uint16_t) {}
uint8_t io_read(uint16_t) { return 0x60; }
void io_write(uint16_t, uint8_t) {}
void text_defaults() {}
