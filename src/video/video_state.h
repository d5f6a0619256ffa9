// Palettes, the off-screen layers and the text font.
#pragma once
#include <array>
#include <cstdint>
#include "video/font.h"

inline constexpr int LAYER_W = 560;
inline constexpr int LAYER_H = 192;
// Column by column: the byte for (x, y) is at x * 192 + y.
using VideoLayer = std::array<uint8_t, LAYER_W * LAYER_H>;

struct PaletteEntry {
    uint8_t r, g, b, unused;
};

struct VideoState {
    std::array<VideoLayer, 2> layer_text40; // text page 1 / page 2
    VideoLayer layer_text80;                // page 1, main and auxiliary
    std::array<VideoLayer, 2> layer_lores;
    std::array<VideoLayer, 2> layer_hires;
    std::array<PaletteEntry, 256> palette;
    std::array<uint8_t, 2048> glyph_font = builtin_font;
    uint32_t render_mode = 2; // RenderMode 0-5
    uint32_t scanlines;       // black odd rows
};
