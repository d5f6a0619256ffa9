// The built-in 7 x 8 text font: 256 glyphs, bit 7 the leftmost dot.
#pragma once
#include <array>
#include <cstdint>

extern const std::array<uint8_t, 2048> builtin_font;
