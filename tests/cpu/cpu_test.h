// Shared set-up for the processor tests: a fresh machine with the periodic
// call pushed out of reach, RAM pokes through the memory map, and the
// language card's RAM switched in so that tests can place vectors and code
// at $D000-$FFFF.
#pragma once
#include <cstdint>
#include <initializer_list>
#include "cpu/cpu.h"
#include "memory/memory.h"
#include "support/test_support.h"

// Two reads of $C083: read and write the language card's RAM bank 2.
inline void cpu_test_lc_ram()
{
    read_byte(0xC083);
    read_byte(0xC083);
}

// The periodic call would run the event routine; tests that want it set
// poll_interval themselves.
inline void cpu_test_reset()
{
    test_reset_machine();
    cpu_test_lc_ram();
    machine.cpu.poll_interval = 0xFFFFFFFF;
    machine.cpu.poll_mark = 0;
    machine.cpu.cpu_pending = 0;
    machine.cpu.reg.s = 0xFF;
}

inline void poke(uint16_t address, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes) write_byte(address++, b);
}

inline uint8_t peek(uint16_t address) { return read_byte(address); }

// Places code at address and points pc at it.
inline void cpu_test_code(uint16_t address, std::initializer_list<uint8_t> bytes)
{
    poke(address, bytes);
    machine.cpu.reg.pc = address;
}
