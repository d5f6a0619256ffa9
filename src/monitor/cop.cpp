// The COP trap dispatcher: the address of the COP byte picks the host-side
// replacement of one system-monitor routine. Cassette, tone, mini-assembler
// and the rest of the monitor's command set are not provided.
#include <cstdio>
#include "cpu/cpu.h"
#include "cpu/opcodes.h"
#include "frontend/frontend.h"
#include "memory/memory.h"
#include "monitor/monitor.h"
#include "video/video.h"

namespace {

uint8_t& zp(uint8_t address) { return monitor_zp(address); }

bool full_mode() { return machine.fe.machine_mode == MODE_FULL; }

// Lo-res row r is half of text row r / 2: even rows the low nibble, odd rows
// the high one. Rows past 47 have no text row and are ignored.
void plot(int row, int column)
{
    if (row < 0 || row > 47) return;
    const uint16_t address = static_cast<uint16_t>(text_row_base[row / 2] + column);
    const uint8_t old = machine.mem.ram[address];
    const uint8_t colour = zp(ZP_COLOR);
    const uint8_t v = (row & 1) ? (old & 0x0F) | (colour & 0xF0) : (old & 0xF0) | (colour & 0x0F);
    write_byte(address, v);
}

// Blanks columns first..last (screen columns) of one row; off-screen cells
// are skipped.
void blank_row(int row, int first, int last)
{
    uint16_t cell;
    for (int col = first; col <= last; ++col)
        if (console_cell(row, col, cell)) write_byte(cell, 0xA0);
}

void clear_window()
{
    const int left = zp(ZP_WNDLFT);
    const int right = left + zp(ZP_WNDWDTH) - 1;
    for (int r = zp(ZP_WNDTOP); r < zp(ZP_WNDBTM) && r <= 23; ++r) blank_row(r, left, right);
    zp(ZP_CH) = 0;
    zp(ZP_CV) = zp(ZP_WNDTOP);
}

void clear_to_end_of_line()
{
    if (zp(ZP_CV) > 23) return;
    blank_row(zp(ZP_CV), zp(ZP_CH), zp(ZP_WNDLFT) + zp(ZP_WNDWDTH) - 1);
}

void split_window()
{
    if (zp(ZP_CV) < 20) zp(ZP_CV) = 20;
    zp(ZP_WNDBTM) = 24;
    zp(ZP_WNDTOP) = 20;
}

void graphics_screen()
{
    read_byte(0xC050);
    read_byte(0xC053);
    for (int r = 0; r < 20; ++r)
        for (int col = 0; col < 40; ++col) write_byte(static_cast<uint16_t>(text_row_base[r] + col), 0x00);
    split_window();
}

// The monitor's WAIT: SEC; PHA; SBC #1; BNE (to the SBC); PLA; SBC #1; BNE
// (to the PHA); RTS. It returns with A = 0, Z and C set, N and V clear (the
// boot ROM of the disk controller counts on A = 0), and takes the cycles the
// core would charge for the instructions before the RTS, which follows the
// trap. A = 0 counts as 256; a subtraction through zero borrows, so the next
// one takes two. Binary arithmetic, as the monitor runs it.
void wait(CopFrame& f)
{
    auto cost = [](uint8_t opcode) { return uint32_t{cpu_opcodes[opcode].cycles}; };
    constexpr uint8_t SEC = 0x38, PHA = 0x48, SBC_IMM = 0xE9, BNE = 0xD0, PLA = 0x68;
    uint8_t a = f.a;
    unsigned carry = 1;
    auto subtract = [&a, &carry] {
        const int r = a - 1 - (1 - static_cast<int>(carry));
        carry = r >= 0;
        a = static_cast<uint8_t>(r);
    };
    uint32_t cycles = cost(SEC);
    for (;;) {
        const uint8_t pushed = a;
        cycles += cost(PHA);
        do {
            subtract();
            cycles += cost(SBC_IMM) + cost(BNE) + (a != 0); // a taken branch costs one more
        } while (a != 0);
        a = pushed;
        cycles += cost(PLA);
        subtract();
        cycles += cost(SBC_IMM) + cost(BNE) + (a != 0);
        if (a == 0) break;
    }
    f.a = 0;
    f.p = static_cast<uint8_t>((f.p & ~0xC3) | 0x03);
    machine.cpu.reg.cycles += cycles;
}

// The monitor's VTABZ: BASCALC's text-row base for the row in A, plus the
// window's left edge, into BASL/BASH ($28/$29), as the monitor leaves them.
// The console needs none of it, but the monitor's own routines that Hybrid
// mode runs from the ROM (CLREOP, CLEOLZ, SCROLL) write through BASL.
void vtabz(CopFrame& f)
{
    const uint8_t row = f.a;
    zp(ZP_BASH) = static_cast<uint8_t>(((row >> 1) & 3) | 4);
    uint8_t t = row & 0x18;
    if (row & 1) t = static_cast<uint8_t>(t + 0x80);
    const unsigned carry = (t >> 6) & 1; // out of the second ASL
    const uint8_t basl = static_cast<uint8_t>((t << 2) | t);
    f.a = static_cast<uint8_t>(basl + zp(ZP_WNDLFT) + carry);
    zp(ZP_BASL) = f.a;
}

// Counters are 32-bit so that ranges touching $0000 or $FFFF end.
void memory_move()
{
    const uint32_t a1 = zp(ZP_A1H) * 256u + zp(ZP_A1L);
    const uint32_t a2 = zp(ZP_A2H) * 256u + zp(ZP_A2L);
    const uint32_t a4 = zp(ZP_A4H) * 256u + zp(ZP_A4L);
    if (a1 > a2) return;
    auto copy = [&](uint32_t i) {
        write_byte(static_cast<uint16_t>(a4 + (i - a1)), machine.mem.ram[i]);
    };
    if (a4 <= a1) {
        for (uint32_t i = a1; i <= a2; ++i) copy(i);
    } else {
        for (uint32_t i = a2 + 1; i-- > a1;) copy(i);
    }
}

void list_from_zp()
{
    const uint16_t from = static_cast<uint16_t>(zp(ZP_PCH) * 256 + zp(ZP_PCL));
    const uint16_t next = console_list(from, false);
    zp(ZP_PCL) = static_cast<uint8_t>(next & 0xFF);
    zp(ZP_PCH) = static_cast<uint8_t>(next >> 8);
}

void register_line(const CopFrame& f)
{
    char text[48];
    std::snprintf(text, sizeof text, " A=%02X X=%02X Y=%02X S=%02X P=%02X", f.a, f.x, f.y, f.s, f.p);
    console_put_text(text);
}

// The break pushed the address two past the BRK and then P; the stack stays
// as the break left it.
void break_display(CopFrame& f)
{
    const uint8_t* stack = &machine.mem.ram[0x0100];
    const uint16_t pushed = static_cast<uint16_t>(stack[(f.s + 3) & 0xFF] * 256 + stack[(f.s + 2) & 0xFF]);
    const uint16_t brk = static_cast<uint16_t>(pushed - 2);
    char line[64];
    disassemble_line(line, brk);
    console_put_text(line);
    char regs[80];
    std::snprintf(regs, sizeof regs, "\r%04X:  A=%02X X=%02X Y=%02X S=%02X P=%02X  [ZELM]\r", brk, f.a, f.x,
                  f.y, f.s, stack[(f.s + 1) & 0xFF]);
    console_put_text(regs);
    f.pc = 0xFF69;
}

// A hook of 0 in either byte, or one that points back at the trap's own
// routine, means the host does the work.
void read_key_through_hook(CopFrame& f)
{
    const uint8_t lo = zp(ZP_KSWL), hi = zp(ZP_KSWH);
    if (lo == 0 || hi == 0 || lo == 0x1B || hi == 0xFD) f.a = console_get_key();
    else f.pc = static_cast<uint16_t>(hi * 256 + lo);
}

void print_through_hook(CopFrame& f)
{
    const uint8_t lo = zp(ZP_CSWL), hi = zp(ZP_CSWH);
    if (lo == 0 || hi == 0 || lo == 0xFE || hi == 0xFE) console_put(f.a);
    else f.pc = static_cast<uint16_t>(hi * 256 + lo);
}

void invalid_trap(uint16_t w)
{
    char text[64];
    if (full_mode()) {
        std::snprintf(text, sizeof text, "Invalid COP instruction executed at IP=$%04X", w);
        fatal_error(text);
    }
    std::snprintf(text, sizeof text, "Invalid COP instruction encountered at IP=$%04X", w);
    status_message(text);
}

// Outside Full mode the cancel flag never counts; true when it stops the line.
bool line_cancelled()
{
    if (!full_mode()) machine.fe.monitor_cancel = 0;
    if (!machine.fe.monitor_cancel) return false;
    machine.fe.monitor_cancel = 0;
    return true;
}

} // namespace

void cop_get_line(CopFrame& f, ConsoleKeySource key)
{
    if (line_cancelled()) return;
    // 127 characters and the Return fill $0200-$027F.
    std::array<uint8_t, 128> line{};
    int n = 0;
    for (;;) {
        uint8_t k = key();
        if (k == 0x8D) {
            line[n] = k;
            for (int i = 0; i <= n; ++i) machine.mem.ram[0x0200 + i] = line[i] | 0x80;
            f.x = static_cast<uint8_t>(n);
            console_put(0x8D);
            clear_to_end_of_line();
            return;
        }
        if (line_cancelled()) return;
        if (k == 0x95) {
            // Right arrow picks up the character under the cursor.
            uint16_t cell;
            k = console_cell(zp(ZP_CV), zp(ZP_WNDLFT) + zp(ZP_CH), cell) ? machine.mem.ram[cell] : 0xA0;
        }
        if (k == 0x88 && n > 0) {
            --n;
        } else if (k == 0x98) {
            console_put(0x5E);
            console_put(0x58);
            console_put(0x8D);
            console_put(0xA0);
            n = 0;
        } else if (k == 0x88) {
            k = 0x80; // backspace on an empty line echoes nothing
        } else if (n <= 126 && (k & 0x7F) != 0) {
            line[n++] = k;
        }
        if (!full_mode()) machine.fe.monitor_cancel = 0;
        if (!machine.fe.monitor_cancel) console_put(k);
    }
}

void cop_dispatch(CopFrame& f)
{
    if (machine.fe.quit_requested) emulator_exit();
    const uint16_t w = static_cast<uint16_t>(f.pc - 1);
    switch (w) {
    case 0x0080: machine.mem.ram[0x0081] = 0x60; break;
    case 0xF800: plot(f.x, f.y); break;
    case 0xF819:
        for (int c = f.y; c <= zp(ZP_H2); ++c) plot(f.x, c);
        break;
    case 0xF828:
        for (int r = f.a; r <= zp(ZP_V2); ++r) plot(r, f.y);
        break;
    case 0xF864: zp(ZP_COLOR) = static_cast<uint8_t>((f.a & 0x0F) | ((f.a << 4) & 0xF0)); break;
    case 0xF948:
    case 0xF94A: zp(ZP_CH) = static_cast<uint8_t>(f.x - 1); break;
    case 0xFAA6:
        show_banner();
        if (machine.fe.machine_mode == MODE_HYBRID) {
            zp(ZP_CH) = 0;
            zp(ZP_CV) = 4;
            console_put_text(" OVER MONITOR COMPAT FUNCTION ACTIVATED\r");
        }
        break;
    case 0xFAA9:
        // Full-mode cold start: output hook $FEFE, then the reset vector.
        zp(ZP_INVFLG) = 0xFF;
        zp(ZP_CSWL) = 0xFE;
        zp(ZP_CSWH) = 0xFE;
        cpu_request_reset();
        break;
    case 0xFB39: text_defaults(); break;
    case 0xFB40: graphics_screen(); break;
    case 0xFB4B: split_window(); break;
    case 0xFB5B: zp(ZP_CV) = f.x; break;
    case 0xFB60: show_banner(); break;
    case 0xFC58: clear_window(); break;
    case 0xFC9C: clear_to_end_of_line(); break;
    case 0xFCA8: wait(f); break;
    case 0xFC22: // VTAB: the cursor row, then VTABZ
        f.a = zp(ZP_CV);
        vtabz(f);
        break;
    case 0xFC24: vtabz(f); break;
    case 0xFD0C: read_key_through_hook(f); break;
    case 0xFD0F:
    case 0xFD1B: f.a = console_get_key(); break;
    case 0xFD6A:
        console_put(zp(ZP_PROMPT));
        cop_get_line(f, console_get_key);
        break;
    case 0xFD75: cop_get_line(f, console_get_key); break;
    case 0xFD8E:
        ++zp(ZP_CV);
        zp(ZP_CH) = 0;
        console_line_feed_scroll();
        break;
    case 0xFDED: print_through_hook(f); break;
    case 0xFDF0:
    case 0xFEFE: console_put(f.a); break;
    case 0xFE2C: memory_move(); break;
    case 0xFE61: list_from_zp(); break;
    case 0xFE80: zp(ZP_INVFLG) = 0x3F; break;
    case 0xFE84: zp(ZP_INVFLG) = 0xFF; break;
    case 0xFE8B:
        if (f.a == 0) {
            zp(ZP_KSWL) = 0x1B;
            zp(ZP_KSWH) = 0xFD;
        } else {
            zp(ZP_KSWL) = 0x02;
            zp(ZP_KSWH) = static_cast<uint8_t>(f.a + 0xC0);
        }
        break;
    case 0xFE95:
        // ZELM enters a slot chosen for output through the input hook, at $Cn07;
        // the output hook stays as it is.
        if (f.a != 0) {
            zp(ZP_KSWL) = 0x07;
            zp(ZP_KSWH) = static_cast<uint8_t>(f.a + 0xC0);
        }
        break;
    case 0xFEBF: register_line(f); break;
    case 0xFF70: monitor_command(f); break;
    case 0xFFF2: break_display(f); break;
    case 0xF80E:
    case 0xF847:
    case 0xF871:
    case 0xFB1E:
    case 0xFF3A: // the bell: silent
    case 0xFF58:
    case 0xFF69:
    case 0xFFF0: break;
    default: invalid_trap(w); break;
    }
}
