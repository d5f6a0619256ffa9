// STUB: replaced by the video subsystem.
#include "video/video.h"

const std::array<uint8_t, 2048> builtin_font{};
const char* const render_mode_names[6] = {"", "", "", "", "", ""};
const uint8_t mousetext_map[32] = {};
void set_palette() {}
void put_pixel(SDL_Surface*, int, int, uint32_t) {}
TextCell text_cell(uint16_t, uint8_t) { return {}; }
void draw_glyph40(VideoLayer&, uint8_t, int, int, ColourPair) {}
void draw_glyph80(uint8_t, int, int, ColourPair) {}
void draw_status_glyph(uint8_t, int) {}
void show_banner() {}
void draw_lores_cell(VideoLayer&, int, int, uint8_t) {}
void hires_position(uint16_t, int& x, int& y) { x = y = 0; }
void draw_hires_byte(int, uint16_t, uint8_t) {}
void plot_hires_dot(VideoLayer&, int, int, uint8_t) {}
void video_store_hook(uint32_t, uint8_t) {}
void present_line(int) {}
