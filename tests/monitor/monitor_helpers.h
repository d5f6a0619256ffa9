// Shared set-up for the ZELM service tests: window variables, screen rows and
// key feeding that works with both the plain-RAM and the real keyboard page.
#pragma once
#include <string>
#include <vector>
#include "memory/memory.h"
#include "monitor/monitor.h"
#include "support/test_support.h"

inline void set_window(int left, int width, int top, int bottom, int ch, int cv)
{
    uint8_t* zp = machine.mem.ram.data();
    zp[0x20] = uint8_t(left);
    zp[0x21] = uint8_t(width);
    zp[0x22] = uint8_t(top);
    zp[0x23] = uint8_t(bottom);
    zp[0x24] = uint8_t(ch);
    zp[0x25] = uint8_t(cv);
}

// Fresh machine, blank screen, full 40 x 24 window, normal output, Hybrid mode.
inline void fresh_console(int mode = MODE_HYBRID)
{
    test_reset_machine();
    machine.fe.machine_mode = mode;
    for (int r = 0; r < 24; ++r)
        for (int c = 0; c < 40; ++c) machine.mem.ram[text_row_base[r] + c] = 0xA0;
    set_window(0, 40, 0, 24, 0, 0);
    machine.mem.ram[0x32] = 0xFF;
}

inline void fill_row(int row, char ch)
{
    for (int c = 0; c < 40; ++c) machine.mem.ram[text_row_base[row] + c] = uint8_t(ch | 0x80);
}

inline std::string row_start(int row, size_t n) { return screen_row(row).substr(0, n); }

inline uint8_t cell(int row, int column) { return machine.mem.ram[text_row_base[row] + column]; }

// True when $C000 shows the keyboard latch (the real I/O page); with plain
// RAM behind $C000 the strobe cannot be observed.
inline bool keyboard_page_present()
{
    const auto saved = machine.fe;
    const uint8_t ram_c000 = machine.mem.ram[0xC000];
    machine.fe.key_latch = 0x41;
    machine.fe.key_strobe = 1;
    machine.mem.ram[0xC000] = 0;
    const bool real = read_byte(0xC000) == 0xC1;
    machine.fe = saved;
    machine.mem.ram[0xC000] = ram_c000;
    return real;
}

// A key waiting in the latch; also in plain RAM at $C000 for the stand-in page.
inline void press_key(uint8_t code)
{
    machine.fe.key_latch = code & 0x7F;
    machine.fe.key_strobe = 1;
    machine.mem.ram[0xC000] = code | 0x80;
}

inline CopFrame trap_frame(uint16_t trap, uint8_t a = 0, uint8_t x = 0, uint8_t y = 0)
{
    CopFrame f{};
    f.a = a;
    f.x = x;
    f.y = y;
    f.s = 0xF0;
    f.p = 0x20;
    f.pc = uint16_t(trap + 1);
    return f;
}

inline void put_text(const char* s)
{
    for (; *s; ++s) console_put(uint8_t(*s | 0x80));
}
