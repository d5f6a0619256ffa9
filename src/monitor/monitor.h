// ZELM resident monitor services reached through COP: the trap dispatcher,
// the console on text page 1 with its command line, and the disassembler.
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

// ---- Disassembler table -------------------------------------------------

// Instruction shape; the length is 1, 2, 3, 2 for the four kinds.
enum DisasmKind : int32_t {
    DISASM_IMPLIED = 0, // one byte, no operand
    DISASM_BYTE = 1,    // two bytes, the template takes the operand byte
    DISASM_WORD = 2,    // three bytes, the template takes the 16-bit operand
    DISASM_BRANCH = 3,  // two bytes, the template takes the target address
};

struct disasm_entry {
    char pattern[20]; // mnemonic and operand template, "%02X" / "%04X" holes
    DisasmKind kind;
};

extern const std::array<disasm_entry, 256> disasm_table;

// ---- Shared by the monitor's own files -----------------------------------

// Monitor variables in the zero page of main RAM.
inline constexpr uint8_t ZP_WNDLFT = 0x20;  // window left column
inline constexpr uint8_t ZP_WNDWDTH = 0x21; // window width
inline constexpr uint8_t ZP_WNDTOP = 0x22;  // window top row
inline constexpr uint8_t ZP_WNDBTM = 0x23;  // first row below the window
inline constexpr uint8_t ZP_CH = 0x24;      // cursor column, window-relative
inline constexpr uint8_t ZP_CV = 0x25;      // cursor row, absolute
inline constexpr uint8_t ZP_BASL = 0x28;    // text row address of the cursor row
inline constexpr uint8_t ZP_BASH = 0x29;
inline constexpr uint8_t ZP_H2 = 0x2C;      // right end of a horizontal line
inline constexpr uint8_t ZP_V2 = 0x2D;      // bottom end of a vertical line
inline constexpr uint8_t ZP_COLOR = 0x30;   // plotting colour, both nibbles
inline constexpr uint8_t ZP_INVFLG = 0x32;  // $FF normal, $3F inverse
inline constexpr uint8_t ZP_PROMPT = 0x33;
inline constexpr uint8_t ZP_CSWL = 0x36;    // output hook
inline constexpr uint8_t ZP_CSWH = 0x37;
inline constexpr uint8_t ZP_KSWL = 0x38;    // input hook
inline constexpr uint8_t ZP_KSWH = 0x39;
inline constexpr uint8_t ZP_PCL = 0x3A;     // list address
inline constexpr uint8_t ZP_PCH = 0x3B;
inline constexpr uint8_t ZP_A1L = 0x3C;     // move source start
inline constexpr uint8_t ZP_A1H = 0x3D;
inline constexpr uint8_t ZP_A2L = 0x3E;     // move source end
inline constexpr uint8_t ZP_A2H = 0x3F;
inline constexpr uint8_t ZP_A4L = 0x42;     // move destination
inline constexpr uint8_t ZP_A4H = 0x43;

// The monitor variables live in main RAM whatever the banking says.
inline uint8_t& monitor_zp(uint8_t address) { return machine.mem.ram[address]; }

// Address of text cell (row, column) of page 1, false outside the 40 x 24
// screen: nothing is drawn or read there.
bool console_cell(int row, int column, uint16_t& address);

// Scrolls while the cursor row has left the window (see console.cpp).
void console_line_feed_scroll();

// Puts each character with bit 7 set.
void console_put_text(const char* text);

// Lists 20 instructions from address; $8D after each line, or after all but
// the last when last_line_end is false. Returns the address after the 20th.
uint16_t console_list(uint16_t address, bool last_line_end);

// Reads a hexadecimal number as scanf's %x does (leading blanks, a sign, a 0x
// prefix, digits to the first other character), reduced to 16 bits. False
// when no digit follows.
bool console_scan_hex(const char* text, uint16_t& value);

// The line input behind the trap at $FD75, taking its keys from key (the
// dispatcher passes console_get_key).
using ConsoleKeySource = uint8_t (*)();
void cop_get_line(CopFrame& frame, ConsoleKeySource key);
