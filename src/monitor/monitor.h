// ZELM resident monitor services reached through COP.
#pragma once
#include <array>
#include <cstdint>
#include "machine.h"

// Base address of each text row of page 1.
inline constexpr std::array<uint16_t, 24> text_row_base = [] {
    std::array<uint16_t, 24> t{};
    for (int r = 0; r < 24; ++r)
        t[r] = static_cast<uint16_t>(0x0400 + 0x80 * (r % 8) + 0x28 * (r / 8));
    return t;
}();

void cop_dispatch(CopFrame& frame);

void console_put(uint8_t c);
void console_scroll();
uint8_t console_get_key();
void monitor_command(CopFrame& frame);

// Writes one listing line into out (at least 64 bytes); returns the next address.
int disassemble_line(char* out, uint16_t address);
