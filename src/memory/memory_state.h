// RAM, ROM images, language card and the //e soft switches.
#pragma once
#include <array>
#include <cstdint>

struct MemoryMap {
    // Main half at $00000-$0FFFF, auxiliary half at $10000-$1FFFF. Inside a
    // half, language-card bank 2 of $D000-$DFFF lives at $C000-$CFFF.
    std::array<uint8_t, 0x20000> ram;
    std::array<uint8_t, 12288> rom_main;  // $D000-$FFFF
    std::array<uint8_t, 16128> rom_iie;   // $C100-$FFFF
    std::array<uint8_t, 256> rom_slot5;   // $C500-$C5FF
    std::array<uint8_t, 256> rom_slot6;   // $C600-$C6FF
    int lc_read;      // 0 ROM, 1 RAM bank 1, 2 RAM bank 2
    int lc_write;     // 0 protected, 1 bank 1, 2 bank 2
    uint16_t lc_last; // low nibble of the last $C08x access

    // Decode cache, one entry per 256-byte page: the first byte of the page
    // as a load sees it or a store writes it, or null where the access needs
    // the full decode (I/O page, slot 6, dropped stores, display memory).
    // Built by memory_remap(); all null and map_valid 0 after power-on, so
    // the first access builds it.
    std::array<const uint8_t*, 256> read_page;
    std::array<uint8_t*, 256> write_page;
    int map_valid;
};

// //e memory and display switches, each 0 or 1.
struct SoftSwitches {
    int store80;    // store $C000 off / $C001 on, status $C018
    int ramrd;      // $C002 / $C003, status $C013
    int ramwrt;     // $C004 / $C005, status $C014
    int intcxrom;   // $C006 / $C007, status $C015
    int altzp;      // $C008 / $C009, status $C016
    int slotc3rom;  // $C00A / $C00B, status $C017
    int intc8rom;   // latch: set by $C3xx with SLOTC3ROM off, cleared by $CFFF; no status
    int col80;      // $C00C / $C00D (128K only), status $C01F
    int altcharset; // $C00E / $C00F, status $C01E
    int graphics;   // $C051 off / $C050 on, status $C01A inverted
    int mixed;      // $C052 / $C053, status $C01B
    int page2;      // $C054 / $C055, status $C01C
    int hires;      // $C056 / $C057, status $C01D
    std::array<int, 4> annunciator; // $C058-$C05F, AN3 reported at $C07F
    int annunciator_enable;         // $C07E off / $C07F on (//e)
};
