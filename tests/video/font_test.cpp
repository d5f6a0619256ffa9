#include <set>
#include "video_test_support.h"
#include "video/font.h"

TEST(Font, LetterAAndTheSolidBlock)
{
    const std::array<uint8_t, 8> a = {0x10, 0x28, 0x44, 0x44, 0x7C, 0x44, 0x44, 0x00};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(builtin_font[0x41 * 8 + i], a[i]) << i;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(builtin_font[0xDB * 8 + i], 0xFF) << i;
}

TEST(Font, MachineStartsWithTheBuiltInFont)
{
    test_reset_machine();
    EXPECT_EQ(machine.video.glyph_font, builtin_font);
}

TEST(Font, PrintableGlyphsAreDistinctAndLeaveBitZeroClear)
{
    std::set<std::array<uint8_t, 8>> seen;
    for (int g = 0x21; g <= 0x7F; ++g) {
        std::array<uint8_t, 8> rows{};
        for (int i = 0; i < 8; ++i) {
            rows[i] = builtin_font[g * 8 + i];
            EXPECT_EQ(rows[i] & 1, 0) << std::hex << g;
        }
        EXPECT_TRUE(seen.insert(rows).second) << "glyph $" << std::hex << g << " repeats another";
    }
    for (int i = 0; i < 8; ++i) EXPECT_EQ(builtin_font[0x20 * 8 + i], 0);
}

TEST(Font, UpperCaseSitsOnTheBaselineLowerCaseDescends)
{
    for (int g = 0x40; g <= 0x5A; ++g) {
        EXPECT_EQ(builtin_font[g * 8 + 7], 0) << std::hex << g;
        EXPECT_NE(builtin_font[g * 8 + 6], 0) << std::hex << g;
    }
    for (int g : {'g', 'j', 'p', 'q', 'y'}) EXPECT_NE(builtin_font[g * 8 + 7], 0) << char(g);
    for (int g : {'a', 'c', 'e', 'm', 'x'}) {
        EXPECT_EQ(builtin_font[g * 8 + 7], 0) << char(g);
        EXPECT_EQ(builtin_font[g * 8 + 0] | builtin_font[g * 8 + 1], 0) << char(g);
    }
}

TEST(Font, MouseTextGlyphsAreDrawnAndDistinct)
{
    std::set<std::array<uint8_t, 8>> seen;
    for (uint8_t g : mousetext_map) {
        std::array<uint8_t, 8> rows{};
        for (int i = 0; i < 8; ++i) rows[i] = builtin_font[g * 8 + i];
        EXPECT_NE(rows, (std::array<uint8_t, 8>{})) << std::hex << int(g);
        EXPECT_TRUE(seen.insert(rows).second) << std::hex << int(g);
        EXPECT_FALSE(g >= 0x20 && g <= 0x7F) << "MouseText must not replace a character glyph";
    }
}
