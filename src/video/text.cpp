// Text pages as glyphs: the standard and alternate character sets, the 40-
// and 80-column text layers, the status line glyphs and the ZELM banner.
// Flashing characters are drawn inverse and never blink.
#include <SDL.h>
#include <cstring>
#include "frontend/frontend.h"
#include "memory/memory.h"
#include "monitor/monitor.h"
#include "video/video.h"

// Alternate-set screen codes $40-$5F (MouseText on the //e) by glyph number.
const uint8_t mousetext_map[32] = {
    0x02, 0x01, 0xB2, 0x0F, 0xFB, 0x08, 0xA9, 0xAA, // $40-$47
    0x1B, 0x0E, 0x19, 0x18, 0x15, 0x14, 0x16, 0x11, // $48-$4F
    0x10, 0x1F, 0x1E, 0xC4, 0x0D, 0x1A, 0xB0, 0xB1, // $50-$57
    0xF4, 0xF5, 0x13, 0x04, 0xF0, 0x0A, 0x1C, 0x0C, // $58-$5F
};

namespace {
constexpr ColourPair normal_pair{15, 0};
constexpr ColourPair inverse_pair{0, 15};
} // namespace

TextCell text_cell(uint16_t offset, uint8_t value)
{
    TextCell t{};
    const int g = (offset & 0x3FF) / 128;
    const int k = offset % 128;
    t.column = k % 40 + 1;
    t.row = 8 * (k / 40) + g + 1;

    uint8_t ch = value & 0x7F;
    if (ch < 0x20) ch = static_cast<uint8_t>(ch + 0x40);
    const bool low = value < 0x80; // inverse, or flashing (drawn inverse)

    // The recognised //e ROM image carries no alternate set.
    const bool alternate = machine.sw.altcharset && !machine.fe.iie_rom_recognised;
    if (!alternate) {
        if (ch > 0x5F && low) ch = static_cast<uint8_t>(ch - 0x40);
        t.glyph = ch;
        t.colours = low ? inverse_pair : normal_pair;
    } else if (machine.fe.iie_active && value >= 0x40 && value <= 0x5F) {
        t.glyph = mousetext_map[value - 0x40];
        t.colours = normal_pair;
    } else {
        t.glyph = ch;
        t.colours = low ? inverse_pair : normal_pair;
    }
    return t;
}

void draw_glyph40(VideoLayer& layer, uint8_t glyph, int c, int r, ColourPair colours)
{
    if (c < 1 || c > 40 || r < 1 || r > 24) return;
    const uint8_t* rows = &machine.video.glyph_font[glyph * 8];
    const int line = 8 * (r - 1);
    for (int j = 0; j < 7; ++j) {
        const uint8_t bit = static_cast<uint8_t>(0x80 >> j);
        uint8_t* col0 = &layer[(14 * (c - 1) + 2 * j) * LAYER_H + line];
        uint8_t* col1 = col0 + LAYER_H;
        for (int i = 0; i < 8; ++i)
            col0[i] = col1[i] = (rows[i] & bit) ? colours.ink : colours.paper;
    }
}

void draw_glyph80(uint8_t glyph, int c, int r, ColourPair colours)
{
    if (c < 1 || c > 80 || r < 1 || r > 24) return;
    const uint8_t* rows = &machine.video.glyph_font[glyph * 8];
    const int line = 8 * (r - 1);
    for (int j = 0; j < 7; ++j) {
        const uint8_t bit = static_cast<uint8_t>(0x80 >> j);
        uint8_t* col = &machine.video.layer_text80[(7 * (c - 1) + j) * LAYER_H + line];
        for (int i = 0; i < 8; ++i) col[i] = (rows[i] & bit) ? colours.ink : colours.paper;
    }
}

// Slow (a lock per pixel), but it runs only when a message is drawn.
void draw_status_glyph(uint8_t glyph, int n)
{
    SDL_Surface* s = machine.fe.screen_surface;
    if (n < 1 || n > 80 || !s || s->w < 560 || s->h < 392) return;
    const uint8_t* rows = &machine.video.glyph_font[glyph * 8];
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 7; ++j) {
            if (!video_lock(s)) continue;
            put_pixel(s, 7 * (n - 1) + j, 384 + i, (rows[i] & (0x80 >> j)) ? 0 : 15);
            video_unlock(s);
        }
    }
}

void show_banner()
{
    // A row cut short by its terminator shows blanks there, not '@'.
    size_t length[3];
    for (int row = 0; row < 3; ++row) length[row] = strnlen(boot_banner[row], 40);
    for (int col = 0; col < 40; ++col) {
        for (int row = 0; row < 3; ++row) {
            const uint8_t ch = static_cast<size_t>(col) < length[row] ? static_cast<uint8_t>(boot_banner[row][col]) : ' ';
            write_byte(static_cast<uint16_t>(text_row_base[row] + col), ch | 0x80);
        }
        for (int row = 3; row < 24; ++row)
            write_byte(static_cast<uint16_t>(text_row_base[row] + col), 0xA0);
    }
    machine.mem.ram[0x25] = 2; // CV
    machine.mem.ram[0x24] = 0; // CH
}
