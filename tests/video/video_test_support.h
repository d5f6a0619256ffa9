// Helpers for the video tests: stores as write_byte makes them, and reading
// glyphs and dots back out of the layers.
#pragma once
#include <array>
#include <cstdint>
#include "support/test_support.h"
#include "video/video.h"

// The hook first, then RAM, as the memory map does it.
inline void store(uint32_t index, uint8_t value)
{
    video_store_hook(index, value);
    machine.mem.ram[index] = value;
}

inline uint8_t layer_at(const VideoLayer& layer, int x, int y) { return layer[x * LAYER_H + y]; }

inline bool layer_blank(const VideoLayer& layer)
{
    for (uint8_t v : layer)
        if (v != 0) return false;
    return true;
}

inline bool all_layers_blank()
{
    const VideoState& v = machine.video;
    return layer_blank(v.layer_text40[0]) && layer_blank(v.layer_text40[1]) && layer_blank(v.layer_text80) &&
           layer_blank(v.layer_lores[0]) && layer_blank(v.layer_lores[1]) && layer_blank(v.layer_hires[0]) &&
           layer_blank(v.layer_hires[1]);
}

// The glyph rows seen in a text cell (dot j of row i as bit 7 - j), reading
// `ink` as a set dot; false if any pixel is neither ink nor paper or the two
// pixels of a 40-column dot differ.
struct CellRead {
    bool clean = true;
    std::array<uint8_t, 8> rows{};
};

inline CellRead read_cell(const VideoLayer& layer, int x0, int dot_width, int r, ColourPair colours)
{
    CellRead out;
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 7; ++j) {
            for (int k = 0; k < dot_width; ++k) {
                const uint8_t p = layer_at(layer, x0 + dot_width * j + k, 8 * (r - 1) + i);
                if (p == colours.ink)
                    out.rows[i] = static_cast<uint8_t>(out.rows[i] | (0x80 >> j));
                else if (p != colours.paper)
                    out.clean = false;
                if (k == 1 && p != layer_at(layer, x0 + dot_width * j, 8 * (r - 1) + i)) out.clean = false;
            }
        }
    }
    return out;
}

inline CellRead read_cell40(const VideoLayer& layer, int c, int r, ColourPair colours)
{
    return read_cell(layer, 14 * (c - 1), 2, r, colours);
}

inline CellRead read_cell80(int c, int r, ColourPair colours)
{
    return read_cell(machine.video.layer_text80, 7 * (c - 1), 1, r, colours);
}

// Font rows as drawn: bit 0 is never shown.
inline std::array<uint8_t, 8> glyph_rows(uint8_t glyph)
{
    std::array<uint8_t, 8> rows{};
    for (int i = 0; i < 8; ++i) rows[i] = machine.video.glyph_font[glyph * 8 + i] & 0xFE;
    return rows;
}

inline constexpr ColourPair NORMAL{15, 0};
inline constexpr ColourPair INVERSE{0, 15};

// The seven dots of a hi-res byte at byte column `column` of line y.
inline std::array<uint8_t, 7> hires_dots(int page, int column, int y)
{
    std::array<uint8_t, 7> d{};
    for (int j = 0; j < 7; ++j) {
        const int X = 7 * column + j;
        d[j] = layer_at(machine.video.layer_hires[page], 2 * X, y);
    }
    return d;
}
