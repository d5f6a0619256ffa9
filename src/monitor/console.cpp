// The ZELM console on 40-column text page 1: output inside the zero-page
// window with wrap and scroll, the key wait with its inverse cursor, and the
// monitor's command line. No bell, no 80-column output, no escape sequences.
#include <cctype>
#include <cstdio>
#include "frontend/frontend.h"
#include "memory/memory.h"
#include "monitor/monitor.h"

bool console_cell(int row, int column, uint16_t& address)
{
    if (row < 0 || row > 23 || column < 0 || column > 39) return false;
    address = static_cast<uint16_t>(text_row_base[row] + column);
    return true;
}

// True when the put must be dropped: the reset key raised the cancel flag,
// which counts in Full mode only.
static bool console_cancelled()
{
    if (machine.fe.machine_mode != MODE_FULL) machine.fe.monitor_cancel = 0;
    return machine.fe.monitor_cancel != 0;
}

// The scroll keeps the cursor inside the window: it runs while the cursor row
// is at or below the window bottom. The bottom counts as at most 24, so the
// cursor never ends below row 23; a bottom of 0 is an empty window and never
// scrolls.
void console_line_feed_scroll()
{
    uint8_t& cv = monitor_zp(ZP_CV);
    const int bottom = monitor_zp(ZP_WNDBTM) < 24 ? monitor_zp(ZP_WNDBTM) : 24;
    while (bottom > 0 && cv >= bottom) {
        console_scroll();
        --cv;
    }
}

void console_scroll()
{
    const int left = monitor_zp(ZP_WNDLFT);
    const int right = left + monitor_zp(ZP_WNDWDTH); // one past the last column
    const int top = monitor_zp(ZP_WNDTOP);
    const int bottom = monitor_zp(ZP_WNDBTM);
    for (int r = top + 1; r < bottom && r <= 23; ++r) {
        for (int col = left; col < right && col <= 39; ++col) {
            const uint16_t from = static_cast<uint16_t>(text_row_base[r] + col);
            write_byte(static_cast<uint16_t>(text_row_base[r - 1] + col), machine.mem.ram[from]);
        }
    }
    if (bottom >= 1 && bottom <= 24) {
        for (int col = left; col < right && col <= 39; ++col)
            write_byte(static_cast<uint16_t>(text_row_base[bottom - 1] + col), 0xA0);
    }
}

void console_put(uint8_t c)
{
    if (console_cancelled()) return;
    uint8_t& ch = monitor_zp(ZP_CH);
    uint8_t& cv = monitor_zp(ZP_CV);
    console_line_feed_scroll();

    switch (c & 0x7F) {
    case 0x0D:
        ++cv;
        ch = 0;
        console_line_feed_scroll();
        return;
    case 0x0A:
        ++cv;
        console_line_feed_scroll();
        return;
    case 0x08:
        if (ch > 0) {
            --ch;
        } else {
            ch = static_cast<uint8_t>(monitor_zp(ZP_WNDWDTH) - 1);
            if (cv > monitor_zp(ZP_WNDTOP)) --cv;
        }
        return;
    default:
        break;
    }

    const uint8_t v = c & monitor_zp(ZP_INVFLG);
    // Control characters are neither shown nor advance the cursor.
    if ((v & 0x80) && v <= 0x9F) return;
    uint16_t cell;
    if (console_cell(cv, monitor_zp(ZP_WNDLFT) + ch, cell)) write_byte(cell, v);
    ++ch;
    if (ch >= monitor_zp(ZP_WNDWDTH)) {
        ch = 0;
        ++cv;
        console_line_feed_scroll();
    }
}

void console_put_text(const char* text)
{
    for (const char* p = text; *p; ++p) console_put(static_cast<uint8_t>(*p | 0x80));
}

uint8_t console_get_key()
{
    FrontendState& fe = machine.fe;
    if (fe.quit_requested) emulator_exit();
    if (fe.machine_mode != MODE_FULL) fe.monitor_cancel = 0;
    if (fe.monitor_cancel) {
        fe.monitor_cancel = 0;
        return 0;
    }

    uint16_t cell = 0;
    const bool shown = console_cell(monitor_zp(ZP_CV), monitor_zp(ZP_WNDLFT) + monitor_zp(ZP_CH), cell);
    const uint8_t old = shown ? machine.mem.ram[cell] : 0;
    if (shown) write_byte(cell, old & 0x3F);

    // No delay here: poll_events runs one emulated scan line and paces the wait.
    for (;;) {
        uint8_t k = read_byte(0xC000);
        if (k & 0x80) {
            k = read_byte(0xC000);
            read_byte(0xC010);
            if (shown) write_byte(cell, old);
            return k;
        }
        // A cancelled or abandoned wait leaves the cursor cell inverse.
        if (fe.machine_mode != MODE_FULL) fe.monitor_cancel = 0;
        if (fe.monitor_cancel) {
            fe.monitor_cancel = 0;
            return 0;
        }
        if (poll_events() != 0) {
            fe.quit_requested = 1;
            return 0;
        }
    }
}

bool console_scan_hex(const char* text, uint16_t& value)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (std::isspace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(p[2])) p += 2;
    if (!std::isxdigit(*p)) return false;
    // Accumulated as strtoul does: an overflow saturates before the sign.
    uint64_t v = 0;
    bool overflow = false;
    for (; std::isxdigit(*p); ++p) {
        const unsigned d = std::isdigit(*p) ? *p - '0' : (std::toupper(*p) - 'A' + 10);
        if (v > (UINT64_MAX - d) / 16) overflow = true;
        v = v * 16 + d;
    }
    if (overflow) v = UINT64_MAX;
    else if (negative) v = 0 - v;
    value = static_cast<uint16_t>(v);
    return true;
}

uint16_t console_list(uint16_t address, bool last_line_end)
{
    char line[64];
    for (int i = 0; i < 20; ++i) {
        address = static_cast<uint16_t>(disassemble_line(line, address));
        console_put_text(line);
        if (i < 19 || last_line_end) console_put(0x8D);
    }
    return address;
}

static void monitor_list(uint16_t from)
{
    const uint16_t next = console_list(from, true);
    monitor_zp(ZP_PCL) = static_cast<uint8_t>(next & 0xFF);
    monitor_zp(ZP_PCH) = static_cast<uint8_t>(next >> 8);
}

void monitor_command(CopFrame& frame)
{
    constexpr uint16_t prompt_again = 0xFF69;
    char text[256];
    const int n = frame.x;
    for (int i = 0; i < n; ++i) text[i] = static_cast<char>(machine.mem.ram[0x0200 + i] & 0x7F);
    text[n] = 0;
    std::printf("[%s]\n", text);
    std::fflush(stdout);
    console_put(0x8D);

    uint16_t number = 0;
    const bool has_number = text[0] == 'G' || text[0] == 'L' ? console_scan_hex(text + 1, number) : false;
    if (text[0] == 0) {
        frame.pc = prompt_again;
    } else if (text[0] == 'G' && has_number) {
        // Return address $FF68: the program's closing RTS lands on the prompt.
        machine.mem.ram[0x0100 + frame.s] = 0xFF;
        --frame.s;
        machine.mem.ram[0x0100 + frame.s] = 0x68;
        --frame.s;
        frame.pc = number;
    } else if (text[0] == 'L' && has_number) {
        monitor_list(number);
        frame.pc = prompt_again;
    } else if (text[0] == 'G') {
        // pc stays: the RTS after the trap leaves the monitor.
    } else if (text[0] == 'I') {
        monitor_zp(ZP_INVFLG) = 0x3F;
        frame.pc = prompt_again;
    } else if (text[0] == 'N') {
        monitor_zp(ZP_INVFLG) = 0xFF;
        frame.pc = prompt_again;
    } else if (text[0] == 'L') {
        monitor_list(static_cast<uint16_t>(monitor_zp(ZP_PCH) * 256 + monitor_zp(ZP_PCL)));
        frame.pc = prompt_again;
    } else if (text[0] == 0x02) {
        frame.pc = 0xE000; // BASIC cold start
    } else if (text[0] == 0x03) {
        frame.pc = 0xE003; // BASIC warm start
    } else {
        frame.pc = prompt_again;
    }
}
