#include <cstdio>
#include <cstring>
#include "frontend/frontend.h"
#include "video_test_support.h"

TEST(TextCell, PositionsFollowTheInterleavedRows)
{
    test_reset_machine();
    struct Case {
        uint16_t offset;
        int column, row;
    } cases[] = {
        {0x000, 1, 1},  {0x027, 40, 1}, {0x080, 1, 2},  {0x028, 1, 9},   {0x050, 1, 17},
        {0x3D0, 1, 24}, {0x3F7, 40, 24}, {0x078, 1, 25}, {0x3FF, 8, 32},
    };
    for (const Case& c : cases) {
        const TextCell t = text_cell(c.offset, 0xA0);
        EXPECT_EQ(t.column, c.column) << std::hex << c.offset;
        EXPECT_EQ(t.row, c.row) << std::hex << c.offset;
    }
}

TEST(TextCell, StandardSetGlyphsAndColours)
{
    test_reset_machine();
    struct Case {
        uint8_t value, glyph;
        bool inverse;
    } cases[] = {
        {0xC1, 0x41, false}, {0x01, 0x41, true},  {0x41, 0x41, true},  // flashing stays inverse
        {0x81, 0x41, false}, {0x61, 0x21, true},  {0x7F, 0x3F, true},  // inverse lower case folds
        {0xE1, 0x61, false}, {0xA0, 0x20, false}, {0x20, 0x20, true},
    };
    for (const Case& c : cases) {
        const TextCell t = text_cell(0, c.value);
        EXPECT_EQ(t.glyph, c.glyph) << std::hex << int(c.value);
        EXPECT_EQ(t.colours.ink, c.inverse ? 0 : 15) << std::hex << int(c.value);
        EXPECT_EQ(t.colours.paper, c.inverse ? 15 : 0) << std::hex << int(c.value);
    }
}

TEST(TextCell, AlternateSetKeepsLowerCaseAndMapsMouseText)
{
    test_reset_machine();
    machine.sw.altcharset = 1;
    machine.fe.iie_active = 1;
    TextCell t = text_cell(0, 0x61);
    EXPECT_EQ(t.glyph, 0x61);
    EXPECT_EQ(t.colours.ink, 0);
    for (int v = 0x40; v <= 0x5F; ++v) {
        t = text_cell(0, static_cast<uint8_t>(v));
        EXPECT_EQ(t.glyph, mousetext_map[v - 0x40]);
        EXPECT_EQ(t.colours.ink, 15);
        EXPECT_EQ(t.colours.paper, 0);
    }
    EXPECT_EQ(text_cell(0, 0x40).glyph, 0x02);
    EXPECT_EQ(text_cell(0, 0x5F).glyph, 0x0C);
    // Control codes still fold onto the upper-case letters, inverse.
    t = text_cell(0, 0x01);
    EXPECT_EQ(t.glyph, 0x41);
    EXPECT_EQ(t.colours.ink, 0);

    // Without a //e the alternate set has no MouseText.
    machine.fe.iie_active = 0;
    t = text_cell(0, 0x40);
    EXPECT_EQ(t.glyph, 0x40);
    EXPECT_EQ(t.colours.ink, 0);

    // The recognised //e ROM has no alternate set at all.
    machine.fe.iie_active = 1;
    machine.fe.iie_rom_recognised = 1;
    t = text_cell(0, 0x40);
    EXPECT_EQ(t.glyph, 0x40);
    EXPECT_EQ(t.colours.ink, 0);
    EXPECT_EQ(text_cell(0, 0x61).glyph, 0x21);
}

TEST(TextStores, PageOneDrawsForty_EightyAndLoRes)
{
    test_reset_machine();
    EXPECT_TRUE(all_layers_blank());
    store(0x0400, 0xC1);
    const VideoState& v = machine.video;
    CellRead c = read_cell40(v.layer_text40[0], 1, 1, NORMAL);
    EXPECT_TRUE(c.clean);
    EXPECT_EQ(c.rows, glyph_rows(0x41));
    c = read_cell80(2, 1, NORMAL);
    EXPECT_TRUE(c.clean);
    EXPECT_EQ(c.rows, glyph_rows(0x41));
    EXPECT_EQ(layer_at(v.layer_text80, 0, 0), 0); // cell 1 untouched (still black)
    EXPECT_EQ(layer_at(v.layer_lores[0], 0, 0), 0x1);
    EXPECT_EQ(layer_at(v.layer_lores[0], 13, 7), 0xC);
    EXPECT_TRUE(layer_blank(v.layer_text40[1]));
    EXPECT_TRUE(layer_blank(v.layer_hires[0]));

    store(0x0400, 0x01);
    c = read_cell40(v.layer_text40[0], 1, 1, INVERSE);
    EXPECT_TRUE(c.clean);
    EXPECT_EQ(c.rows, glyph_rows(0x41));
    EXPECT_EQ(layer_at(v.layer_text40[0], 0, 0), 15); // paper is white
    store(0x0400, 0x41);
    EXPECT_EQ(read_cell40(v.layer_text40[0], 1, 1, INVERSE).rows, glyph_rows(0x41));
}

TEST(TextStores, PageTwoAndTheGapBytes)
{
    test_reset_machine();
    store(0x0BF7, 0xDA); // last cell of page 2
    const VideoState& v = machine.video;
    const CellRead c = read_cell40(v.layer_text40[1], 40, 24, NORMAL);
    EXPECT_TRUE(c.clean);
    EXPECT_EQ(c.rows, glyph_rows(0x5A));
    EXPECT_EQ(layer_at(v.layer_lores[1], 559, 191), 0xD);
    EXPECT_TRUE(layer_blank(v.layer_text40[0]));
    EXPECT_TRUE(layer_blank(v.layer_text80));

    test_reset_machine();
    for (uint16_t a : {0x0478, 0x047F, 0x07FF, 0x0BF8}) store(a, 0xC1);
    EXPECT_EQ(machine.mem.ram[0x0478], 0xC1);
    EXPECT_TRUE(all_layers_blank());
}

TEST(TextStores, EightyColumnsInterleaveAuxiliaryAndMain)
{
    test_reset_machine();
    store(0x10400, 0xC1); // auxiliary: odd cell
    store(0x0400, 0xC2);  // main: even cell
    store(0x107F7, 0xC3); // auxiliary, last cell of row 24 -> cell 79
    EXPECT_EQ(read_cell80(1, 1, NORMAL).rows, glyph_rows(0x41));
    EXPECT_EQ(read_cell80(2, 1, NORMAL).rows, glyph_rows(0x42));
    EXPECT_EQ(read_cell80(79, 24, NORMAL).rows, glyph_rows(0x43));
    EXPECT_EQ(read_cell40(machine.video.layer_text40[0], 1, 1, NORMAL).rows, glyph_rows(0x42));

    // Auxiliary stores outside text page 1 draw nothing.
    test_reset_machine();
    for (uint32_t a : {0x10800u, 0x12000u, 0x14000u, 0x103FFu, 0x10478u}) store(a, 0xFF);
    EXPECT_TRUE(all_layers_blank());
}

TEST(TextStores, AlternateSetDrawsMouseTextGlyphs)
{
    test_reset_machine();
    machine.sw.altcharset = 1;
    machine.fe.iie_active = 1;
    store(0x0400, 0x40);
    EXPECT_EQ(read_cell40(machine.video.layer_text40[0], 1, 1, NORMAL).rows, glyph_rows(0x02));
    machine.fe.iie_rom_recognised = 1;
    store(0x0401, 0x40);
    EXPECT_EQ(read_cell40(machine.video.layer_text40[0], 2, 1, INVERSE).rows, glyph_rows(0x40));
    // Switching the set back does not redraw what is there.
    machine.sw.altcharset = 0;
    EXPECT_EQ(read_cell40(machine.video.layer_text40[0], 1, 1, NORMAL).rows, glyph_rows(0x02));
}

TEST(Glyphs, CellsOutsideTheScreenDrawNothing)
{
    test_reset_machine();
    VideoLayer& l = machine.video.layer_text40[0];
    for (auto [c, r] : {std::pair{0, 1}, {41, 1}, {1, 0}, {1, 25}, {-5, 3}})
        draw_glyph40(l, 0xDB, c, r, NORMAL);
    for (auto [c, r] : {std::pair{0, 1}, {81, 1}, {1, 0}, {1, 25}})
        draw_glyph80(0xDB, c, r, NORMAL);
    EXPECT_TRUE(all_layers_blank());
    draw_glyph80(0xDB, 80, 24, NORMAL);
    EXPECT_EQ(layer_at(machine.video.layer_text80, 559, 191), 15);
    EXPECT_EQ(layer_at(machine.video.layer_text80, 552, 191), 0);
}

TEST(Banner, FillsPageOneAndSetsTheCursor)
{
    test_reset_machine();
    char saved[3][41];
    std::memcpy(saved, boot_banner, sizeof saved);
    std::snprintf(boot_banner[0], 41, "%-40s", "     ZELM SYSTEM ROM 1.0  BASIC 2.3");
    std::snprintf(boot_banner[1], 41, "%-40s", "SECOND ROW");
    std::snprintf(boot_banner[2], 41, "%s", "SHORT");
    machine.mem.ram[0x24] = 7;
    machine.mem.ram[0x25] = 9;
    show_banner();
    const std::vector<uint16_t> rows = {0x400, 0x480, 0x500, 0x580, 0x600, 0x680, 0x700, 0x780};
    EXPECT_EQ(machine.mem.ram[0x0405], 'Z' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x0400 + 32], '2' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x0480], 'S' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x0500 + 4], 'T' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x0500 + 5], 0xA0); // past the short row's end
    for (int r = 3; r < 24; ++r)
        for (int c = 0; c < 40; ++c)
            ASSERT_EQ(machine.mem.ram[rows[r % 8] + 0x28 * (r / 8) + c], 0xA0) << r << "," << c;
    EXPECT_EQ(machine.mem.ram[0x25], 2);
    EXPECT_EQ(machine.mem.ram[0x24], 0);
    std::memcpy(boot_banner, saved, sizeof saved);
}
