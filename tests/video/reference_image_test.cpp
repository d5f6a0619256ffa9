// Whole pictures against reference images kept beside the tests. When the
// picture differs, the new one is written into the build directory for a
// look and the test fails; copy it over the reference once it is right.
#include <SDL.h>
#include <cstring>
#include <string>
#include "monitor/monitor.h"
#include "video_test_support.h"

namespace {

std::string reference_path(const std::string& name)
{
    return std::string(KALVORAN_SOURCE_DIR) + "/tests/video/reference/" + name;
}

std::string fresh_path(const std::string& name)
{
    return std::string(KALVORAN_BINARY_DIR) + "/video-" + name;
}

// A software copy of the screen with the installed colours as its palette
// (the screen's own logical palette is not the one shown).
SDL_Surface* snapshot()
{
    SDL_Surface* screen = machine.fe.screen_surface;
    SDL_Surface* copy = SDL_CreateRGBSurface(SDL_SWSURFACE, 560, 392, 8, 0, 0, 0, 0);
    if (!copy) return nullptr;
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry& e = machine.video.palette[i];
        colours[i] = SDL_Color{e.r, e.g, e.b, 0};
    }
    SDL_SetColors(copy, colours, 0, 256);
    for (int y = 0; y < 392; ++y)
        std::memcpy(static_cast<uint8_t*>(copy->pixels) + y * copy->pitch,
                    static_cast<const uint8_t*>(screen->pixels) + y * screen->pitch, 560);
    return copy;
}

// Number of pixels whose colour differs (-1 when the sizes differ).
long differing_pixels(SDL_Surface* a, SDL_Surface* b)
{
    if (a->w != b->w || a->h != b->h || a->format->BitsPerPixel != 8 || b->format->BitsPerPixel != 8) return -1;
    long differ = 0;
    for (int y = 0; y < a->h; ++y) {
        for (int x = 0; x < a->w; ++x) {
            const SDL_Color ca = a->format->palette->colors[static_cast<uint8_t*>(a->pixels)[y * a->pitch + x]];
            const SDL_Color cb = b->format->palette->colors[static_cast<uint8_t*>(b->pixels)[y * b->pitch + x]];
            if (ca.r != cb.r || ca.g != cb.g || ca.b != cb.b) ++differ;
        }
    }
    return differ;
}

void expect_matches_reference(const std::string& name)
{
    SDL_Surface* now = snapshot();
    ASSERT_NE(now, nullptr) << SDL_GetError();
    SDL_Surface* ref = SDL_LoadBMP(reference_path(name).c_str());
    const long differ = ref ? differing_pixels(now, ref) : -2;
    if (differ != 0) {
        SDL_SaveBMP(now, fresh_path(name).c_str());
        ADD_FAILURE() << name << ": " << (differ == -2 ? std::string("no reference image") : std::to_string(differ) + " pixels differ")
                      << "; the new picture is " << fresh_path(name);
    }
    if (ref) SDL_FreeSurface(ref);
    SDL_FreeSurface(now);
}

uint16_t text_address(int page, int row, int column)
{
    return static_cast<uint16_t>(text_row_base[row] + 0x400 * page + column);
}

void store_string(uint32_t half, int page, int row, int column, const char* text, uint8_t high)
{
    for (int i = 0; text[i] && column + i < 40; ++i)
        store(half + text_address(page, row, column + i), static_cast<uint8_t>(text[i] | high));
}

void store_string80(int row, const char* text, uint8_t high)
{
    for (int i = 0; text[i] && i < 80; ++i) {
        const uint32_t half = (i % 2 == 0) ? 0x10000 : 0;
        store(half + text_address(0, row, i / 2), static_cast<uint8_t>(text[i] | high));
    }
}

void present_frame(int first, int last)
{
    for (int n = first; n <= last; ++n) present_line(n);
}

class ReferenceImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_machine();
        ASSERT_TRUE(test_open_surface()) << SDL_GetError();
        SDL_FillRect(machine.fe.screen_surface, nullptr, 0);
        SDL_Rect status{0, 384, 560, 8};
        SDL_FillRect(machine.fe.screen_surface, &status, 15);
    }
};

} // namespace

// Rows 1-7: codes 0-255 in the standard set; rows 9-15: the same codes in
// the //e alternate set; rows 17-24 in 80 columns. Status line below.
TEST_F(ReferenceImage, TextInFortyAndEightyColumns)
{
    for (int code = 0; code < 256; ++code)
        store(text_address(0, code / 40, code % 40), static_cast<uint8_t>(code));
    machine.fe.iie_active = 1;
    machine.sw.altcharset = 1;
    for (int code = 0; code < 256; ++code)
        store(text_address(0, 8 + code / 40, code % 40), static_cast<uint8_t>(code));
    machine.sw.altcharset = 0;

    // 80 columns: auxiliary bytes are the left character of each pair.
    const char* lines80[] = {
        "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG. the quick brown fox jumps over the",
        "lazy dog. 0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~",
        "",
        "80 COLUMNS: MAIN BYTES IN THE EVEN CELLS, AUXILIARY BYTES IN THE ODD CELLS",
    };
    for (int r = 0; r < 4; ++r) store_string80(16 + r, lines80[r], 0x80);
    store_string80(21, "INVERSE TEXT IN EIGHTY COLUMNS", 0x00);

    present_frame(0, 127);
    machine.sw.col80 = 1;
    present_frame(128, 191);

    const char* status = "BLOAD file: quikload.pg2";
    for (int i = 0; i < 80; ++i) {
        const size_t len = std::strlen(status);
        const uint8_t ch = i < static_cast<int>(len) ? static_cast<uint8_t>(status[i]) : (i == static_cast<int>(len) ? 0xDB : ' ');
        draw_status_glyph(ch, i + 1);
    }
    expect_matches_reference("text.bmp");
}

// Lines 0-95: hi-res page 1, sixteen lines in each render mode 0-5, every
// byte value; lines 96-159: lo-res page 2 with every colour pair; lines
// 160-191: page 2 text under mixed mode.
TEST_F(ReferenceImage, GraphicsInEveryRenderMode)
{
    for (int y = 0; y < 96; ++y) {
        machine.video.render_mode = static_cast<uint32_t>(y / 16);
        const uint16_t line = static_cast<uint16_t>(0x2000 + 0x400 * (y % 8) + 0x80 * ((y / 8) % 8) + 0x28 * (y / 64));
        for (int c = 0; c < 40; ++c) store(line + c, static_cast<uint8_t>(((y % 16) / 2) * 40 + c));
    }
    for (int r = 12; r < 20; ++r)
        for (int c = 0; c < 40; ++c) store(text_address(1, r, c), static_cast<uint8_t>((r - 12) * 40 + c));
    store_string(0, 1, 20, 0, "MIXED MODE: TEXT PAGE 2 UNDER LO-RES", 0x80);
    store_string(0, 1, 21, 0, "Lower case and INVERSE", 0x80);
    store_string(0, 1, 22, 0, "and flashing codes $40-$7F stay inverse", 0x00);

    machine.sw.graphics = machine.sw.mixed = machine.sw.hires = 1;
    present_frame(0, 95);
    machine.sw.hires = 0;
    machine.sw.page2 = 1;
    present_frame(96, 191);
    expect_matches_reference("graphics.bmp");
}
