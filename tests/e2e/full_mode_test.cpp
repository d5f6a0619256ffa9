// Full mode: Applesoft on the resident ZELM services alone. Lo-res drawing
// is checked by colour in the captured window, then the ZELM monitor lists
// code.
#include "e2e/e2e_fixture.h"

namespace {

// Lo-res block (column 0-39, row 0-47): 14 x 8 surface pixels.
bool lores_block_is(const Image& img, int col, int row, uint32_t rgb)
{
    return img.all(col * 14, row * 8, 14, 8, rgb);
}

constexpr uint32_t BLACK = 0x000000, MAGENTA = 0xE31E60, MEDIUM_BLUE = 0x14CFFD,
                   WHITE = 0xFFFFFF, ORANGE = 0xFF6A3C;

} // namespace

TEST_F(E2E, FullModeLoresAndMonitorListing)
{
    E2E_NEEDS("roms/msbasic.rom", "msbasic.rom");
    ASSERT_TRUE(start({"-F"})) << "no window";
    ASSERT_TRUE(wait_for_prompt(app, "]", 60000, shot("boot")));

    ASSERT_TRUE(x_command(app, "gr:color=1:plot 0,0:color=15:hlin 5,20 at 10"));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("gr")));
    ASSERT_TRUE(x_command(app, "color=6:vlin 2,30 at 30:color=9:plot 39,39"));
    const bool drawn = wait_for_image(
        app,
        [](const Image& img) {
            return lores_block_is(img, 0, 0, MAGENTA) && lores_block_is(img, 39, 39, ORANGE);
        },
        15000, shot("lores"));
    ASSERT_TRUE(drawn);
    Image img;
    ASSERT_TRUE(capture(app, shot("lores"), img));
    EXPECT_TRUE(lores_block_is(img, 1, 0, BLACK));
    EXPECT_TRUE(lores_block_is(img, 0, 1, BLACK));
    for (int x = 5; x <= 20; ++x) EXPECT_TRUE(lores_block_is(img, x, 10, WHITE)) << "HLIN at " << x;
    EXPECT_TRUE(lores_block_is(img, 4, 10, BLACK));
    EXPECT_TRUE(lores_block_is(img, 21, 10, BLACK));
    for (int y = 2; y <= 30; ++y)
        EXPECT_TRUE(lores_block_is(img, 30, y, MEDIUM_BLUE)) << "VLIN at " << y;
    EXPECT_TRUE(lores_block_is(img, 30, 1, BLACK));
    EXPECT_TRUE(lores_block_is(img, 30, 31, BLACK));

    ASSERT_TRUE(x_command(app, "text:home"));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("text")));
    ASSERT_TRUE(x_command(app, "call -151"));
    // The ZELM monitor prompts with a minus sign.
    ASSERT_TRUE(wait_for_prompt(app, "-", 10000, shot("monitor")));
    ASSERT_TRUE(x_command(app, "le000", "-"));
    // BASIC's cold and warm start jumps open the listing; each line is the
    // address, a colon, the instruction bytes and the mnemonic in column 22.
    const bool listed = wait_for_image(
        app,
        [&](const Image& im) {
            const std::string s = image_text40(im);
            return s.find("\nE000:  4C28F1         JMP $F128") != std::string::npos &&
                   s.find("\nE003:  4C3CD4         JMP $D43C") != std::string::npos &&
                   last_line(s) == "-";
        },
        10000, shot("listing"));
    EXPECT_TRUE(listed);
    x_key(app, "End");
    EXPECT_EQ(app_wait(app, 10000), 0);
}
