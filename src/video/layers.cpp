// The store path into the off-screen layers and the per-line copy of the
// selected layer onto the surface, shown on the screen once a frame. No dirty
// tracking: every visible line is copied once a frame; there is no 80-column
// page 2 and no double hi-res.
#include <SDL.h>
#include <cstring>
#include "video/video.h"

namespace {

void store_text_page1_main(uint16_t offset, uint8_t value)
{
    const TextCell t = text_cell(offset, value);
    draw_glyph40(machine.video.layer_text40[0], t.glyph, t.column, t.row, t.colours);
    draw_glyph80(t.glyph, 2 * t.column, t.row, t.colours);
    draw_lores_cell(machine.video.layer_lores[0], t.column, t.row, value);
}

void store_text_page2_main(uint16_t offset, uint8_t value)
{
    const TextCell t = text_cell(offset, value);
    draw_glyph40(machine.video.layer_text40[1], t.glyph, t.column, t.row, t.colours);
    draw_lores_cell(machine.video.layer_lores[1], t.column, t.row, value);
}

} // namespace

//   RAM index          drawn into
//   main $0400-$07FF   text40[0], text80 even cells, lores[0]
//   main $0800-$0BFF   text40[1], lores[1]
//   main $2000-$3FFF   hires[0]
//   main $4000-$5FFF   hires[1]
//   aux  $0400-$07FF   text80 odd cells
//   anything else      nothing
void video_store_hook(uint32_t index, uint8_t value)
{
    if (index < 0x10000) {
        const uint16_t a = static_cast<uint16_t>(index);
        if (a < 0x0400) return;
        if (a < 0x0800) return store_text_page1_main(a - 0x0400, value);
        if (a < 0x0C00) return store_text_page2_main(a - 0x0800, value);
        if (a < 0x2000) return;
        if (a < 0x4000) return draw_hires_byte(0, a - 0x2000, value);
        if (a < 0x6000) return draw_hires_byte(1, a - 0x4000, value);
        return;
    }
    if (index < 0x10400 || index >= 0x10800) return;
    const TextCell t = text_cell(static_cast<uint16_t>(index - 0x10400), value);
    draw_glyph80(t.glyph, 2 * t.column - 1, t.row, t.colours);
}

//   graphics  mixed/line   hires  col80   layer
//   0         -            -      0       text40[page]
//   0         -            -      1       text80
//   1         full or <160 1      -       hires[page]
//   1         full or <160 0      -       lores[page]
//   1         mixed, >=160 -      0/1     as for graphics 0
// page is PAGE2, except on the //e with 80STORE on: PAGE2 then chooses the
// memory that stores reach and page 1 stays on display.
void present_line(int n)
{
    SDL_Surface* s = machine.fe.screen_surface;
    if (!s || n < 0 || n >= LAYER_H || s->w < LAYER_W || s->h < 2 * n + 2) return;
    if (!video_lock(s)) return; // this line is not shown this frame

    const SoftSwitches& sw = machine.sw;
    VideoState& v = machine.video;
    const int page = (sw.page2 && !(machine.fe.iie_active && sw.store80)) ? 1 : 0;
    const VideoLayer* layer = sw.col80 ? &v.layer_text80 : &v.layer_text40[page];
    if (sw.graphics && (!sw.mixed || n < 160))
        layer = sw.hires ? &v.layer_hires[page] : &v.layer_lores[page];

    const uint8_t* src = layer->data() + n;
    if (s->format->BytesPerPixel == 1) {
        uint8_t* row0 = static_cast<uint8_t*>(s->pixels) + (2 * n) * s->pitch;
        uint8_t* row1 = row0 + s->pitch;
        // Column-major layers make this a strided gather.
        for (int x = 0; x < LAYER_W; ++x) row0[x] = src[x * LAYER_H];
        if (v.scanlines)
            std::memset(row1, 0, LAYER_W);
        else
            std::memcpy(row1, row0, LAYER_W);
    } else {
        for (int x = 0; x < LAYER_W; ++x) {
            const uint8_t index = src[x * LAYER_H];
            put_pixel(s, x, 2 * n, index);
            put_pixel(s, x, 2 * n + 1, v.scanlines ? 0 : index);
        }
    }

    video_unlock(s);
    // One update a frame, after its last visible line: under X11 every update
    // is a round trip to the server, and one per line cost more than the
    // whole emulation at real speed.
    if (n == LAYER_H - 1) SDL_UpdateRect(s, 0, 0, LAYER_W, 2 * LAYER_H);
}
