// Hi-res drawing in the real window, and the render-mode keys: a new mode
// applies to bytes stored after the change, so the picture is drawn again.
#include "e2e/e2e_fixture.h"

namespace {

constexpr uint32_t BLACK = 0x000000, WHITE = 0xFFFFFF, PURPLE = 0xFF44FD, GREEN = 0x14F53C;

// Hi-res dot X (0-279) on line y (0-191): two pixels wide, two rows high.
bool dot_is(const Image& img, int x, int y, uint32_t rgb)
{
    return img.all(2 * x, 2 * y, 2, 2, rgb);
}

// A white line along line 10 and a green one down column 101.
const char* const picture =
    "hgr:hcolor=3:hplot 0,10 to 279,10:hcolor=1:hplot 101,20 to 101,150";

bool green_column(const Image& img, uint32_t rgb)
{
    for (int y = 20; y <= 150; y += 10)
        if (!dot_is(img, 101, y, rgb)) return false;
    return dot_is(img, 101, 19, BLACK) && dot_is(img, 101, 151, BLACK) &&
           dot_is(img, 100, 80, BLACK) && dot_is(img, 102, 80, BLACK);
}

bool white_row(const Image& img)
{
    for (int x = 0; x < 280; ++x)
        if (!dot_is(img, x, 10, WHITE)) return false;
    return dot_is(img, 0, 9, BLACK) && dot_is(img, 0, 11, BLACK);
}

// Without smoothing every dot keeps its own colour: the even dots of the
// first byte purple, the odd ones green.
bool striped_row(const Image& img)
{
    return dot_is(img, 0, 10, PURPLE) && dot_is(img, 1, 10, GREEN) && dot_is(img, 2, 10, PURPLE) &&
           dot_is(img, 6, 10, PURPLE);
}

} // namespace

TEST_F(E2E, HiresPictureAndRenderModes)
{
    E2E_NEEDS("roms/apple2.rom", "apple2.rom");
    ASSERT_TRUE(start({})) << "no window";
    ASSERT_TRUE(wait_for_prompt(app, "]", 60000, shot("boot")));
    // HGR leaves the cursor where it was: move it into the four text rows
    // under the picture so that typing stays visible.
    ASSERT_TRUE(x_command(app, "vtab 21"));

    ASSERT_TRUE(x_command(app, picture));
    ASSERT_TRUE(wait_for_image(
        app, [](const Image& img) { return white_row(img) && green_column(img, GREEN); }, 15000,
        shot("whites-smoothing")));

    x_key(app, "Prior");
    EXPECT_TRUE(wait_for_status(app, "Graphics render mode 4 \"No Smoothing\"", 5000,
                                shot("mode-4")));
    Image img;
    ASSERT_TRUE(capture(app, shot("unchanged"), img));
    EXPECT_TRUE(white_row(img)) << "the picture changed before it was stored again";

    ASSERT_TRUE(x_command(app, picture));
    EXPECT_TRUE(wait_for_image(
        app, [](const Image& im) { return striped_row(im) && green_column(im, GREEN); }, 15000,
        shot("no-smoothing")));

    x_key(app, "Prior");
    EXPECT_TRUE(wait_for_status(app, "Graphics render mode 5 \"Monochrome\"", 5000,
                                shot("mode-5")));
    ASSERT_TRUE(x_command(app, picture));
    EXPECT_TRUE(wait_for_image(
        app, [](const Image& im) { return white_row(im) && green_column(im, WHITE); }, 15000,
        shot("monochrome")));

    x_key(app, "Next Next");
    EXPECT_TRUE(wait_for_status(app, "Graphics render mode 3 \"Whites Smoothing\"", 5000,
                                shot("mode-3")));
    ASSERT_TRUE(x_command(app, picture));
    EXPECT_TRUE(wait_for_image(
        app, [](const Image& im) { return white_row(im) && green_column(im, GREEN); }, 15000,
        shot("whites-again")));
    x_key(app, "End");
    EXPECT_EQ(app_wait(app, 10000), 0);
}
