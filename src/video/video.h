// Surface, palettes, text and graphics drawing into the layers, presentation.
#pragma once
#include <cstdint>
#include "machine.h"

struct SDL_Surface;

struct ColourPair {
    uint8_t ink;
    uint8_t paper;
};

struct TextCell {
    int column; // 1-40
    int row;    // 1-32 (rows above 24 draw nothing)
    uint8_t glyph;
    ColourPair colours;
};

extern const char* const render_mode_names[6];
extern const uint8_t mousetext_map[32];

void set_palette();
void put_pixel(SDL_Surface* surface, int x, int y, uint32_t index);
// Locks the surface when it needs locking; false when the lock failed and
// the drawing must be skipped. video_unlock undoes what video_lock did.
bool video_lock(SDL_Surface* surface);
void video_unlock(SDL_Surface* surface);

TextCell text_cell(uint16_t offset, uint8_t value);
void draw_glyph40(VideoLayer& layer, uint8_t glyph, int c, int r, ColourPair colours);
void draw_glyph80(uint8_t glyph, int c, int r, ColourPair colours);
void draw_status_glyph(uint8_t glyph, int n);
void show_banner();

void draw_lores_cell(VideoLayer& layer, int c, int r, uint8_t v);
void hires_position(uint16_t offset, int& x, int& y);
void draw_hires_byte(int page, uint16_t offset, uint8_t value);
void plot_hires_dot(VideoLayer& layer, int x, int y, uint8_t index);

// index: RAM index of the store (half + address); called before the store.
void video_store_hook(uint32_t index, uint8_t value);
void present_line(int n);
