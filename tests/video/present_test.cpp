#include <SDL.h>
#include "video_test_support.h"

namespace {

// Fills every layer with its own colour so the chosen one can be told apart.
void mark_layers()
{
    VideoState& v = machine.video;
    v.layer_text40[0].fill(1);
    v.layer_text40[1].fill(2);
    v.layer_text80.fill(3);
    v.layer_lores[0].fill(4);
    v.layer_lores[1].fill(5);
    v.layer_hires[0].fill(6);
    v.layer_hires[1].fill(7);
}

void fill_surface(uint8_t index)
{
    SDL_Surface* s = machine.fe.screen_surface;
    SDL_FillRect(s, nullptr, index);
}

class Present : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_machine();
        ASSERT_TRUE(test_open_surface()) << SDL_GetError();
        fill_surface(8);
    }
};

} // namespace

// The colours go to the physical palette, which SDL does not let us read
// back; the record of what was installed is machine.video.palette.
TEST_F(Present, PalettesChooseTheColourSet)
{
    const auto& p = machine.video.palette;
    EXPECT_EQ(p[5].r, 0x9C);
    EXPECT_EQ(p[5].g, 0x9C);
    EXPECT_EQ(p[10].b, 0x9C);
    EXPECT_EQ(p[3].r, 0xFF);
    EXPECT_EQ(p[3].g, 0x44);
    EXPECT_EQ(p[3].b, 0xFD);
    EXPECT_EQ(p[100].r | p[100].g | p[100].b, 0);

    machine.fe.rgb_palette = 1;
    set_palette();
    EXPECT_EQ(p[5].r, 0xAA);
    EXPECT_EQ(p[5].g, 0x55);
    EXPECT_EQ(p[5].b, 0x00);
    EXPECT_EQ(p[10].r, 0x55);
    EXPECT_EQ(p[10].g, 0x55);
    EXPECT_EQ(p[10].b, 0xFF);
    EXPECT_EQ(p[15].g, 0xFF);
    EXPECT_EQ(p[15].unused, 0);

    machine.fe.rgb_palette = 0;
    set_palette();
    EXPECT_EQ(p[5].r, 0x9C);
    EXPECT_EQ(p[5].b, 0x9C);
}

TEST_F(Present, SwitchesChooseTheLayer)
{
    mark_layers();
    struct Case {
        int graphics, mixed, page2, hires, col80, line;
        uint8_t expected;
    } cases[] = {
        {0, 0, 0, 0, 0, 0, 1},   {0, 0, 1, 0, 0, 0, 2},   {0, 0, 0, 0, 1, 0, 3},   {0, 0, 1, 0, 1, 100, 3},
        {1, 0, 0, 0, 0, 0, 4},   {1, 0, 1, 0, 0, 191, 5}, {1, 0, 0, 1, 0, 191, 6}, {1, 0, 1, 1, 0, 50, 7},
        {1, 0, 0, 1, 1, 0, 6},   {1, 1, 0, 1, 0, 159, 6}, {1, 1, 0, 1, 0, 160, 1}, {1, 1, 0, 1, 1, 191, 3},
        {1, 1, 1, 1, 0, 160, 2}, {1, 1, 1, 0, 0, 10, 5},  {1, 1, 0, 0, 0, 175, 1}, {0, 1, 0, 1, 0, 0, 1},
    };
    for (const Case& c : cases) {
        machine.sw.graphics = c.graphics;
        machine.sw.mixed = c.mixed;
        machine.sw.page2 = c.page2;
        machine.sw.hires = c.hires;
        machine.sw.col80 = c.col80;
        present_line(c.line);
        for (int x : {0, 279, 559}) {
            EXPECT_EQ(surface_pixel(x, 2 * c.line), c.expected) << c.graphics << c.mixed << c.page2 << c.hires
                                                                << c.col80 << " line " << c.line;
            EXPECT_EQ(surface_pixel(x, 2 * c.line + 1), c.expected);
        }
    }
}

// On the //e, 80STORE makes PAGE2 choose the memory that stores reach (the
// 80-column firmware flips it around each store to the auxiliary half);
// page 1 stays on display. The ][+ has no 80STORE.
TEST_F(Present, Store80KeepsPage1OnDisplayOnTheIIe)
{
    mark_layers();
    struct Case {
        int graphics, hires, col80, iie;
        uint8_t expected;
    } cases[] = {
        {0, 0, 0, 1, 1}, {1, 0, 0, 1, 4}, {1, 1, 0, 1, 6}, {0, 0, 1, 1, 3}, {1, 1, 1, 1, 6},
        {0, 0, 0, 0, 2}, {1, 1, 0, 0, 7},
    };
    machine.sw.store80 = 1;
    machine.sw.page2 = 1;
    for (const Case& c : cases) {
        machine.sw.graphics = c.graphics;
        machine.sw.hires = c.hires;
        machine.sw.col80 = c.col80;
        machine.fe.iie_active = c.iie;
        present_line(40);
        EXPECT_EQ(surface_pixel(100, 80), c.expected) << c.graphics << c.hires << c.col80 << c.iie;
    }
    machine.fe.iie_active = 1;
    machine.sw.store80 = 0;
    machine.sw.graphics = 0;
    machine.sw.col80 = 0;
    present_line(40);
    EXPECT_EQ(surface_pixel(100, 80), 2);
}

TEST_F(Present, CopiesTheLayerColumnByColumn)
{
    VideoLayer& l = machine.video.layer_text40[0];
    for (int x = 0; x < LAYER_W; ++x) l[x * LAYER_H + 37] = static_cast<uint8_t>(x % 16);
    present_line(37);
    for (int x = 0; x < LAYER_W; ++x) {
        ASSERT_EQ(surface_pixel(x, 74), x % 16) << x;
        ASSERT_EQ(surface_pixel(x, 75), x % 16) << x;
    }
    EXPECT_EQ(surface_pixel(0, 73), 8); // neighbouring rows untouched
    EXPECT_EQ(surface_pixel(0, 76), 8);
    present_line(192);
    present_line(-1);
    EXPECT_EQ(surface_pixel(0, 384), 8);
}

TEST_F(Present, ScanlinesBlackenOddRowsButNotTheStatusLine)
{
    mark_layers();
    machine.video.scanlines = 1;
    for (int n = 0; n < 192; ++n) present_line(n);
    for (int y = 0; y < 384; ++y)
        for (int x : {0, 300, 559}) ASSERT_EQ(surface_pixel(x, y), (y & 1) ? 0 : 1) << x << "," << y;
    for (int y = 384; y < 392; ++y) EXPECT_EQ(surface_pixel(10, y), 8);
}

TEST_F(Present, StoresShowOnceTheirModeIsDisplayed)
{
    machine.sw.graphics = 1;
    machine.sw.hires = 1;
    for (int n = 0; n < 8; ++n) present_line(n);
    store(0x0400, 0xC1);
    for (int n = 0; n < 8; ++n) present_line(n);
    EXPECT_EQ(surface_pixel(6, 0), 0);
    machine.sw.graphics = 0;
    for (int n = 0; n < 8; ++n) present_line(n);
    // Top row of A: the middle dot (dot 3) is columns 6 and 7.
    EXPECT_EQ(surface_pixel(6, 0), 15);
    EXPECT_EQ(surface_pixel(7, 1), 15);
    EXPECT_EQ(surface_pixel(5, 0), 0);
    EXPECT_EQ(surface_pixel(8, 0), 0);
    EXPECT_EQ(surface_pixel(2, 8), 15); // row 4: dots 1 and 5
    EXPECT_EQ(surface_pixel(10, 8), 15);
}

TEST_F(Present, MixedModeShowsEightyColumnTextBelowHiRes)
{
    machine.video.render_mode = 4;
    store(0x2000, 0x01);  // hi-res page 1, line 0: one white dot
    store(0x0650, 0xC1);  // row 21 (line 160), 80-column cell 2
    store(0x10650, 0xC2); // auxiliary: cell 1
    machine.sw.graphics = machine.sw.mixed = machine.sw.hires = machine.sw.col80 = 1;
    for (int n = 0; n < 192; ++n) present_line(n);
    EXPECT_EQ(surface_pixel(0, 0), 15);
    EXPECT_EQ(surface_pixel(1, 0), 15);
    EXPECT_EQ(surface_pixel(2, 0), 0);
    // Row 21 top line: B is ####. -> dots 1-4 of cell 1; A is ...#... in cell 2.
    EXPECT_EQ(surface_pixel(0, 320), 0);
    EXPECT_EQ(surface_pixel(1, 320), 15);
    EXPECT_EQ(surface_pixel(4, 320), 15);
    EXPECT_EQ(surface_pixel(5, 320), 0);
    EXPECT_EQ(surface_pixel(7 + 3, 320), 15);
    EXPECT_EQ(surface_pixel(7 + 2, 320), 0);
}

TEST_F(Present, StatusGlyphsAreBlackOnWhite)
{
    draw_status_glyph(0x41, 2);
    for (int i = 0; i < 8; ++i) {
        const uint8_t row = machine.video.glyph_font[0x41 * 8 + i];
        for (int j = 0; j < 7; ++j) EXPECT_EQ(surface_pixel(7 + j, 384 + i), (row & (0x80 >> j)) ? 0 : 15);
    }
    EXPECT_EQ(surface_pixel(6, 384), 8);
    EXPECT_EQ(surface_pixel(14, 384), 8);
    draw_status_glyph(0xDB, 80);
    for (int i = 0; i < 8; ++i)
        for (int x = 553; x < 560; ++x) EXPECT_EQ(surface_pixel(x, 384 + i), 0);
    draw_status_glyph(0xDB, 81);
    draw_status_glyph(0xDB, 0);
    EXPECT_EQ(surface_pixel(0, 384), 8);
    EXPECT_EQ(surface_pixel(552, 391), 8);
    // The status line draws from the live font table.
    machine.video.glyph_font[0x20 * 8] = 0xFE;
    draw_status_glyph(0x20, 1);
    EXPECT_EQ(surface_pixel(0, 384), 0);
    EXPECT_EQ(surface_pixel(0, 385), 15);
}
