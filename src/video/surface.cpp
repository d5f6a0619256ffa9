// The 560 x 392 8-bit display surface: its two colour sets and the pixel
// and locking primitives every drawer that touches the surface shares.
// The surface itself is opened (and re-opened) by the front end.
#include <SDL.h>
#include "video/video.h"

namespace {

// Entries 0-15 by lo-res colour number; the standard set approximates the
// NTSC colours, the RGB set is the usual 2/3-intensity RGBI ladder.
constexpr PaletteEntry standard_colours[16] = {
    {0x00, 0x00, 0x00, 0}, //  0 black
    {0xE3, 0x1E, 0x60, 0}, //  1 magenta
    {0x60, 0x4E, 0xBD, 0}, //  2 dark blue
    {0xFF, 0x44, 0xFD, 0}, //  3 purple
    {0x00, 0xA3, 0x60, 0}, //  4 dark green
    {0x9C, 0x9C, 0x9C, 0}, //  5 grey
    {0x14, 0xCF, 0xFD, 0}, //  6 medium blue
    {0xD0, 0xC3, 0xFF, 0}, //  7 light blue
    {0x60, 0x72, 0x03, 0}, //  8 brown
    {0xFF, 0x6A, 0x3C, 0}, //  9 orange
    {0x9C, 0x9C, 0x9C, 0}, // 10 grey
    {0xFF, 0xA0, 0xD0, 0}, // 11 pink
    {0x14, 0xF5, 0x3C, 0}, // 12 green
    {0xD0, 0xDD, 0x8D, 0}, // 13 yellow
    {0x72, 0xFF, 0xD0, 0}, // 14 aqua
    {0xFF, 0xFF, 0xFF, 0}, // 15 white
};

constexpr PaletteEntry rgb_colours[16] = {
    {0x00, 0x00, 0x00, 0}, //  0
    {0xAA, 0x00, 0x00, 0}, //  1
    {0x00, 0x00, 0xAA, 0}, //  2
    {0xAA, 0x00, 0xAA, 0}, //  3
    {0x00, 0xAA, 0x00, 0}, //  4
    {0xAA, 0x55, 0x00, 0}, //  5
    {0x00, 0xAA, 0xAA, 0}, //  6
    {0xAA, 0xAA, 0xAA, 0}, //  7
    {0x55, 0x55, 0x55, 0}, //  8
    {0xFF, 0x55, 0x55, 0}, //  9
    {0x55, 0x55, 0xFF, 0}, // 10
    {0xFF, 0x55, 0xFF, 0}, // 11
    {0x55, 0xFF, 0x55, 0}, // 12
    {0xFF, 0xFF, 0x55, 0}, // 13
    {0x55, 0xFF, 0xFF, 0}, // 14
    {0xFF, 0xFF, 0xFF, 0}, // 15
};

static_assert(sizeof(PaletteEntry) == sizeof(SDL_Color));

} // namespace

void set_palette()
{
    const PaletteEntry* set = machine.fe.rgb_palette ? rgb_colours : standard_colours;
    for (int i = 0; i < 16; ++i) machine.video.palette[i] = set[i];
    for (int i = 16; i < 256; ++i) machine.video.palette[i] = {0, 0, 0, 0};
    SDL_Surface* s = machine.fe.screen_surface;
    if (!s) return;
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry& e = machine.video.palette[i];
        colours[i] = SDL_Color{e.r, e.g, e.b, 0};
    }
    SDL_SetPalette(s, SDL_PHYSPAL, colours, 0, 256);
}

void put_pixel(SDL_Surface* surface, int x, int y, uint32_t index)
{
    const int bpp = surface->format->BytesPerPixel;
    uint8_t* p = static_cast<uint8_t*>(surface->pixels) + y * surface->pitch + x * bpp;
    switch (bpp) {
    case 1:
        *p = static_cast<uint8_t>(index);
        break;
    case 2: {
        const uint16_t w = static_cast<uint16_t>(index);
        SDL_memcpy(p, &w, 2);
        break;
    }
    case 3: // most significant byte first
        p[0] = static_cast<uint8_t>(index >> 16);
        p[1] = static_cast<uint8_t>(index >> 8);
        p[2] = static_cast<uint8_t>(index);
        break;
    case 4:
        SDL_memcpy(p, &index, 4);
        break;
    default:
        break;
    }
}

bool video_lock(SDL_Surface* surface)
{
    if (!SDL_MUSTLOCK(surface)) return true;
    return SDL_LockSurface(surface) == 0;
}

void video_unlock(SDL_Surface* surface)
{
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
}
