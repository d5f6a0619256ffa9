// Machine set-ups shared by the memory-map and I/O-page tests.
#pragma once
#include "memory/memory.h"
#include "support/test_support.h"

enum class Config { IIPLUS, IIPLUS_STALE_64K, IIE_64K, IIE_128K };

// Fresh machine in the given configuration, RAM and ROMs filled with
// patterns that tell the arrays and the halves apart.
inline void memory_test_machine(Config config)
{
    test_reset_machine();
    FrontendState& fe = machine.fe;
    fe.machine_mode = (config == Config::IIE_64K || config == Config::IIE_128K) ? MODE_IIE : MODE_IIPLUS;
    fe.iie_active = fe.machine_mode == MODE_IIE;
    fe.iie_64k = config == Config::IIE_64K || config == Config::IIPLUS_STALE_64K;
    MemoryMap& m = machine.mem;
    for (uint32_t i = 0; i < m.ram.size(); ++i) m.ram[i] = static_cast<uint8_t>((i >> 8) * 13 + (i & 0xFF) + (i >> 16) * 0x80);
    for (uint32_t i = 0; i < m.rom_main.size(); ++i) m.rom_main[i] = static_cast<uint8_t>(i * 3 + 0x11);
    for (uint32_t i = 0; i < m.rom_iie.size(); ++i) m.rom_iie[i] = static_cast<uint8_t>(i * 5 + 0x22 + (i >> 8));
    for (uint32_t i = 0; i < 256; ++i) {
        m.rom_slot5[i] = static_cast<uint8_t>(0xA0 ^ i);
        m.rom_slot6[i] = static_cast<uint8_t>(0x50 ^ i);
    }
}

inline void touch(uint16_t address) { (void)read_byte(address); }
