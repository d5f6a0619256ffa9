// Lo-res blocks and hi-res bytes drawn into their layers. Each hi-res byte
// is coloured from its own seven bits alone: the six render modes smooth the
// colour fringes inside a byte, never across a byte boundary.
#include "video/video.h"

const char* const render_mode_names[6] = {
    "Full Smoothing (Broken)",
    "Partial Smoothing",
    "Whites Smoothing",
    "No Smoothing",
    "Monochrome",
    "140x192",
};

namespace {

enum : uint32_t {
    MODE_FULL_SMOOTHING = 0,
    MODE_PARTIAL_SMOOTHING = 1,
    MODE_WHITES_SMOOTHING = 2,
    MODE_NO_SMOOTHING = 3,
    MODE_MONOCHROME = 4,
    MODE_140 = 5,
};

constexpr uint8_t BLACK = 0, PURPLE = 3, BLUE = 6, ORANGE = 9, GREEN = 12, WHITE = 15;

// Colour of the even dots (a) and odd dots (b) by byte-column parity and bit 7.
struct HiresColours {
    uint8_t a, b;
};
constexpr HiresColours hires_colours[2][2] = {
    //  bit 7 = 0          bit 7 = 1
    {{PURPLE, GREEN}, {BLUE, ORANGE}}, // even byte column
    {{GREEN, PURPLE}, {ORANGE, BLUE}}, // odd byte column
};

// Fill rules of the smoothing modes: the first rule that matches applies.
// `dots` has bit j set for each dot j that takes the colour.
struct HiresPattern {
    uint8_t mask, test;
    uint8_t dots;
    bool colour_b;
};
constexpr HiresPattern hires_patterns[] = {
    // v & mask = test     dots          colour
    {0x07, 0x05, 0b0000111, false}, // 0-2
    {0x0F, 0x0A, 0b0001111, true},  // 0-3
    {0x1C, 0x14, 0b0011000, false}, // 3-4
    {0x1F, 0x15, 0b0111110, false}, // 1-5
    {0x7F, 0x28, 0b1110000, true},  // 4-6
    {0x7F, 0x45, 0b1000111, false}, // 0-2 and 6
    {0x7F, 0x50, 0b1100000, false}, // 5-6
    {0x7F, 0x51, 0b1110001, false}, // 0 and 4-6
    {0x7F, 0x54, 0b1111000, false}, // 3-6
};

} // namespace

void plot_hires_dot(VideoLayer& layer, int x, int y, uint8_t index)
{
    if (x < 0 || x > 279 || y < 0 || y >= LAYER_H) return;
    layer[(2 * x) * LAYER_H + y] = index;
    layer[(2 * x + 1) * LAYER_H + y] = index;
}

void draw_lores_cell(VideoLayer& layer, int c, int r, uint8_t v)
{
    if (c < 1 || c > 40 || r < 1 || r > 24) return;
    const uint8_t top = v & 0x0F;
    const uint8_t bottom = v >> 4;
    const int line = 8 * (r - 1);
    for (int x = 14 * (c - 1); x < 14 * c; ++x) {
        uint8_t* col = &layer[x * LAYER_H + line];
        col[0] = col[1] = col[2] = col[3] = top;
        col[4] = col[5] = col[6] = col[7] = bottom;
    }
}

void hires_position(uint16_t offset, int& x, int& y)
{
    const int o = offset & 0x1FFF;
    x = 7 * ((o % 128) % 40);
    y = 64 * ((o % 128) / 40) + 8 * ((o % 1024) / 128) + o / 1024;
}

void draw_hires_byte(int page, uint16_t offset, uint8_t value)
{
    int x, y;
    hires_position(offset, x, y);
    if (y >= LAYER_H || page < 0 || page > 1) return; // the 8 spare bytes of each group

    const uint32_t mode = machine.video.render_mode;
    const int column = (offset % 128) % 40;
    HiresColours colours = hires_colours[column & 1][value >> 7];
    if (mode == MODE_MONOCHROME) colours = {WHITE, WHITE};
    const uint8_t a = colours.a, b = colours.b;
    const auto bit = [value](int j) { return (value >> j) & 1; };

    uint8_t dots[7];
    if (mode == MODE_140) {
        // Dot pairs: a + b is 15, so a pair with both bits set comes out white.
        for (int j = 0; j < 6; j += 2)
            dots[j] = dots[j + 1] = static_cast<uint8_t>(bit(j) * a + bit(j + 1) * b);
        dots[6] = static_cast<uint8_t>(bit(6) * a);
    } else {
        for (int j = 0; j < 7; ++j) dots[j] = bit(j) ? ((j & 1) ? b : a) : BLACK;
    }

    if (mode != MODE_NO_SMOOTHING && mode != MODE_MONOCHROME) {
        for (int j = 0; j < 6; ++j)
            if (bit(j) && bit(j + 1)) dots[j] = dots[j + 1] = WHITE;
    }

    if (mode == MODE_FULL_SMOOTHING || mode == MODE_PARTIAL_SMOOTHING || mode == MODE_140) {
        const uint8_t low7 = value & 0x7F;
        if (low7 == 0x55)
            for (uint8_t& d : dots) d = a;
        else if (low7 == 0x2A)
            for (uint8_t& d : dots) d = b;
    }

    if (mode == MODE_FULL_SMOOTHING || mode == MODE_140) {
        for (const HiresPattern& p : hires_patterns) {
            if ((value & p.mask) != p.test) continue;
            const uint8_t colour = p.colour_b ? b : a;
            for (int j = 0; j < 7; ++j)
                if (p.dots & (1 << j)) dots[j] = colour;
            break;
        }
    }

    VideoLayer& layer = machine.video.layer_hires[page];
    for (int j = 0; j < 7; ++j) plot_hires_dot(layer, x + j, y, dots[j]);
}
