// The one road to emulated memory, and the I/O page behind $C000-$C0FF.
// Loads and stores of plain RAM and ROM are answered inline from a per-page
// cache; everything with side effects takes the full decode in memory.cpp.
#pragma once
#include <cstdint>
#include "machine.h"

// Full decode of one access, for pages the decode cache leaves null. Also
// the place where a pending quit request ends the program.
uint8_t memory_read_slow(uint16_t address);
void memory_write_slow(uint16_t address, uint8_t value);

// Rebuilds the decode cache from the current configuration. Whoever changes
// a field the map depends on without going through the I/O page must call
// it afterwards: lc_read, lc_write, store80, ramrd, ramwrt, intcxrom, altzp,
// slotc3rom, intc8rom, page2, hires, iie_active, iie_64k (the reset key's
// language-card step is covered by text_defaults, which remaps). The slot-6
// ROM needs no call: the disk-mounted state is asked for on every load of
// $C600-$C6FF.
void memory_remap();
// Rebuilds pages first-last only (the whole map if it was never built).
void memory_remap_pages(int first, int last);

// Common case: one flag test and one table lookup.
inline uint8_t read_byte(uint16_t address)
{
    const uint8_t* page = machine.mem.read_page[address >> 8];
    if (machine.fe.quit_requested == 0 && page != nullptr) [[likely]]
        return page[address & 0xFF];
    return memory_read_slow(address);
}

inline void write_byte(uint16_t address, uint8_t value)
{
    uint8_t* page = machine.mem.write_page[address >> 8];
    if (machine.fe.quit_requested == 0 && page != nullptr) [[likely]] {
        page[address & 0xFF] = value;
        return;
    }
    memory_write_slow(address, value);
}

// Language-card switch decode for $C080-$C08F.
void lc_switch(uint16_t address);

uint8_t io_read(uint16_t address);
void io_write(uint16_t address, uint8_t value);

// Text mode, page 1, full 40 x 24 window and its cursor, through write_byte.
void text_defaults();
