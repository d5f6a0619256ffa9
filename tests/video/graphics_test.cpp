#include <string>
#include "video_test_support.h"

namespace {
constexpr uint8_t K = 0, PU = 3, BL = 6, OR = 9, GR = 12, WH = 15;
using Dots = std::array<uint8_t, 7>;

Dots hires_after(uint32_t mode, uint16_t address, uint8_t value)
{
    test_reset_machine();
    machine.video.render_mode = mode;
    store(address, value);
    int x, y;
    hires_position(static_cast<uint16_t>(address & 0x1FFF), x, y);
    return hires_dots(address >= 0x4000 ? 1 : 0, x / 7, y);
}
} // namespace

TEST(HiresPosition, InterleavedLinesAndTheSpareBytes)
{
    struct Case {
        uint16_t offset;
        int x, y;
    } cases[] = {
        {0x0000, 0, 0},    {0x0400, 0, 1},   {0x1C00, 0, 7},  {0x0080, 0, 8},    {0x0028, 0, 64},
        {0x0050, 0, 128},  {0x0027, 273, 0}, {0x1FF7, 273, 191}, {0x0078, 0, 192}, {0x1FFF, 49, 255},
    };
    for (const Case& c : cases) {
        int x, y;
        hires_position(c.offset, x, y);
        EXPECT_EQ(x, c.x) << std::hex << c.offset;
        EXPECT_EQ(y, c.y) << std::hex << c.offset;
    }
}

TEST(HiresBytes, ExampleBytesInEachRenderMode)
{
    EXPECT_EQ(hires_after(3, 0x2000, 0x55), (Dots{PU, K, PU, K, PU, K, PU}));
    EXPECT_EQ(hires_after(0, 0x2000, 0x55), (Dots{PU, PU, PU, PU, PU, PU, PU}));
    EXPECT_EQ(hires_after(1, 0x2000, 0x55), (Dots{PU, PU, PU, PU, PU, PU, PU}));
    EXPECT_EQ(hires_after(2, 0x2000, 0x55), (Dots{PU, K, PU, K, PU, K, PU}));
    EXPECT_EQ(hires_after(4, 0x2000, 0x55), (Dots{WH, K, WH, K, WH, K, WH}));
    EXPECT_EQ(hires_after(5, 0x2000, 0x55), (Dots{PU, PU, PU, PU, PU, PU, PU}));

    EXPECT_EQ(hires_after(3, 0x2001, 0xD5), (Dots{OR, K, OR, K, OR, K, OR}));
    EXPECT_EQ(hires_after(3, 0x2000, 0xAA), (Dots{K, OR, K, OR, K, OR, K}));
    EXPECT_EQ(hires_after(3, 0x2001, 0x2A), (Dots{K, PU, K, PU, K, PU, K}));
    EXPECT_EQ(hires_after(1, 0x2001, 0x2A), (Dots{PU, PU, PU, PU, PU, PU, PU}));

    EXPECT_EQ(hires_after(2, 0x2000, 0x03), (Dots{WH, WH, K, K, K, K, K}));
    EXPECT_EQ(hires_after(3, 0x2000, 0x03), (Dots{PU, GR, K, K, K, K, K}));

    EXPECT_EQ(hires_after(0, 0x2000, 0x0A), (Dots{GR, GR, GR, GR, K, K, K}));
    EXPECT_EQ(hires_after(1, 0x2000, 0x0A), (Dots{K, GR, K, GR, K, K, K}));

    for (uint32_t mode : {0u, 1u, 2u, 4u, 5u})
        EXPECT_EQ(hires_after(mode, 0x2000, 0x7F), (Dots{WH, WH, WH, WH, WH, WH, WH})) << mode;
    EXPECT_EQ(hires_after(3, 0x2000, 0x7F), (Dots{PU, GR, PU, GR, PU, GR, PU}));
    EXPECT_EQ(hires_after(3, 0x2000, 0xFF), (Dots{BL, OR, BL, OR, BL, OR, BL}));
}

TEST(HiresBytes, DotPairsAndPatterns)
{
    // 140x192: pairs take a, b or white, then white pairs cross pair borders.
    EXPECT_EQ(hires_after(5, 0x2000, 0x01), (Dots{PU, PU, K, K, K, K, K}));
    EXPECT_EQ(hires_after(5, 0x2000, 0x02), (Dots{GR, GR, K, K, K, K, K}));
    EXPECT_EQ(hires_after(5, 0x2000, 0x06), (Dots{GR, WH, WH, PU, K, K, K}));
    EXPECT_EQ(hires_after(5, 0x2000, 0x40), (Dots{K, K, K, K, K, K, PU}));
    // $51 matches only its own rule: dots 0 and 4-6.
    EXPECT_EQ(hires_after(0, 0x2000, 0x51), (Dots{PU, K, K, K, PU, PU, PU}));
    EXPECT_EQ(hires_after(1, 0x2000, 0x51), (Dots{PU, K, K, K, PU, K, PU}));
    // $28: dots 4-6 in colour b.
    EXPECT_EQ(hires_after(0, 0x2000, 0x28), (Dots{K, K, K, GR, GR, GR, GR}));
    // $54 is caught by the earlier v & $1C = $14 rule (dots 3-4).
    EXPECT_EQ(hires_after(0, 0x2000, 0x54), (Dots{K, K, PU, PU, PU, K, PU}));
    // $05 on an odd column: dots 0-2 in that column's colour a.
    EXPECT_EQ(hires_after(0, 0x2001, 0x05), (Dots{GR, GR, GR, K, K, K, K}));
}

TEST(HiresBytes, PagesLinesAndBytesOutsideTheScreen)
{
    test_reset_machine();
    machine.video.render_mode = 3;
    store(0x2078, 0xFF);
    store(0x3FFF, 0xFF);
    store(0x5FFF, 0xFF);
    EXPECT_EQ(machine.mem.ram[0x2078], 0xFF);
    EXPECT_TRUE(all_layers_blank());

    store(0x3FF7, 0x01); // byte column 39 of line 191
    EXPECT_EQ(layer_at(machine.video.layer_hires[0], 2 * 273, 191), GR);
    EXPECT_EQ(layer_at(machine.video.layer_hires[0], 2 * 273 + 1, 191), GR);
    EXPECT_EQ(layer_at(machine.video.layer_hires[0], 2 * 273 + 2, 191), K);
    store(0x4400, 0x01); // page 2, line 1
    EXPECT_EQ(layer_at(machine.video.layer_hires[1], 0, 1), PU);
    EXPECT_EQ(layer_at(machine.video.layer_hires[1], 0, 0), K);
    EXPECT_TRUE(layer_blank(machine.video.layer_text40[0]));
}

TEST(HiresBytes, RenderModeAppliesOnlyToLaterStores)
{
    test_reset_machine();
    machine.video.render_mode = 3;
    store(0x2000, 0x7F);
    machine.video.render_mode = 2;
    EXPECT_EQ(hires_dots(0, 0, 0), (Dots{PU, GR, PU, GR, PU, GR, PU}));
    store(0x2000, 0x7F);
    EXPECT_EQ(hires_dots(0, 0, 0), (Dots{WH, WH, WH, WH, WH, WH, WH}));
    test_reset_machine();
    EXPECT_EQ(machine.video.render_mode, 2u);
}

TEST(HiresBytes, ModeNames)
{
    const std::string names[6] = {"Full Smoothing (Broken)", "Partial Smoothing", "Whites Smoothing",
                                  "No Smoothing", "Monochrome", "140x192"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(render_mode_names[i], names[i]);
        EXPECT_LT(std::string(render_mode_names[i]).size(), 40u);
    }
}

TEST(LoRes, NibblesFillTheUpperAndLowerBlocks)
{
    test_reset_machine();
    store(0x0400, 0x1F);
    const VideoLayer& l = machine.video.layer_lores[0];
    for (int x = 0; x < 14; ++x) {
        for (int y = 0; y < 4; ++y) EXPECT_EQ(layer_at(l, x, y), 15);
        for (int y = 4; y < 8; ++y) EXPECT_EQ(layer_at(l, x, y), 1);
    }
    EXPECT_EQ(layer_at(l, 14, 0), 0);
    EXPECT_EQ(layer_at(l, 0, 8), 0);

    store(0x0BD0, 0x2E); // page 2, row 24, column 1
    const VideoLayer& l2 = machine.video.layer_lores[1];
    EXPECT_EQ(layer_at(l2, 0, 184), 14);
    EXPECT_EQ(layer_at(l2, 13, 191), 2);

    draw_lores_cell(machine.video.layer_lores[0], 41, 1, 0xFF);
    draw_lores_cell(machine.video.layer_lores[0], 1, 25, 0xFF);
    EXPECT_EQ(layer_at(l, 0, 0), 15); // unchanged
}
