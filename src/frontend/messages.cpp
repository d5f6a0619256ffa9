// Reports on the error stream, and the 80-column status line under the
// emulated screen: timed messages and the one-line text prompt. The prompt
// reads keys through the emulated keyboard latch, so it sees what a program would.
#include <SDL/SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "cpu/cpu.h"
#include "frontend/frontend.h"
#include "frontend/status_line.h"
#include "memory/memory.h"
#include "video/video.h"

static const char* level_word(int kind)
{
    switch (kind) {
    case MESSAGE_FATAL: return "FATAL: ";
    case MESSAGE_ERROR: return "ERROR: ";
    case MESSAGE_INFO:  return "INFO:  ";
    default:            return "";
    }
}

void message_box(const char* text, const char* caption, int kind)
{
    std::fprintf(stderr, "%s: %s%s\n", caption, level_word(kind), text);
}

void fatal_error(const char* text)
{
    // Show the emulated screen as it stands when the error struck.
    if (SDL_Surface* s = machine.fe.screen_surface)
        SDL_UpdateRect(s, 0, 0, 560, STATUS_TOP);
    message_box(text, "Error", MESSAGE_ERROR);
    std::exit(-1);
}

static void update_status_rect()
{
    if (SDL_Surface* s = machine.fe.screen_surface)
        SDL_UpdateRect(s, 0, STATUS_TOP, 560, 8);
}

void status_message(const char* text)
{
    FrontendState& fe = machine.fe;
    char line[STATUS_COLUMNS + 1];
    int n = 0;
    for (; n < STATUS_COLUMNS && text[n] != '\0'; ++n) line[n] = text[n];
    for (; n < STATUS_COLUMNS; ++n) line[n] = ' ';
    line[STATUS_COLUMNS] = '\0';

    if (fe.screen_surface) {
        for (int i = 0; i < STATUS_COLUMNS; ++i)
            draw_status_glyph(static_cast<uint8_t>(line[i]), i + 1);
        update_status_rect();
    }
    std::memcpy(fe.status_text, line, sizeof line);
    fe.status_age = 1;
    fe.status_blank = 0;
}

void status_frame_end()
{
    FrontendState& fe = machine.fe;
    if (fe.prompt_active == 1) {
        fe.status_age = 999;
        return;
    }
    // Unpaced, frames come hundreds of times too fast to read a message by;
    // then a frame counts only once a real frame's time has passed.
    if (cpu_unpaced()) {
        const uint32_t tick = SDL_GetTicks();
        if (tick - fe.status_tick < 17) return;
        fe.status_tick = tick;
    }
    fe.status_age += 1;
    if (fe.status_age > 300) fe.status_age = 0;
}

void status_expiry_check()
{
    FrontendState& fe = machine.fe;
    if (fe.status_age != 0 || fe.prompt_active != 0 || fe.status_blank != 0) return;

    if (SDL_Surface* s = fe.screen_surface) {
        const bool must_lock = SDL_MUSTLOCK(s);
        // A surface that cannot be locked now is cleared at a later call.
        if (must_lock && SDL_LockSurface(s) < 0) return;
        for (int y = STATUS_TOP; y < STATUS_TOP + 8; ++y)
            for (int x = 0; x < 560; ++x) put_pixel(s, x, y, 15);
        if (must_lock) SDL_UnlockSurface(s);
        update_status_rect();
    }
    fe.status_text[0] = '\0';
    fe.status_blank = 1;
}

void status_prompt_line(const char* label, const char* text, int n, char* line)
{
    const int l = static_cast<int>(std::strlen(label));
    // Label, one blank, text: when it does not fit, show its end and keep the
    // cursor in the last cell.
    const int o = l + n - 78 > 0 ? l + n - 78 : 0;
    const int c = l + n + 1 - o;
    for (int i = 0; i < STATUS_COLUMNS; ++i) {
        if (i == c) {
            line[i] = static_cast<char>(PROMPT_CURSOR);
        } else if (i > c) {
            line[i] = ' ';
        } else {
            const int j = i + o;
            line[i] = j < l ? label[j] : j == l ? ' ' : text[j - l - 1];
        }
    }
}

uint8_t status_prompt_char(uint8_t k)
{
    if (k >= 0xC1 && k <= 0xDA) return static_cast<uint8_t>(k - 0x60);
    if (k >= 0xE1 && k <= 0xFA) return static_cast<uint8_t>(k - 0xA0);
    return static_cast<uint8_t>(k - 0x80);
}

int status_prompt(const char* label, char* out)
{
    FrontendState& fe = machine.fe;
    char text[PROMPT_TEXT_MAX + 1];
    int n = 0;
    fe.prompt_active = 1;

    for (;;) {
        char line[STATUS_COLUMNS + 1];
        status_prompt_line(label, text, n, line);
        line[STATUS_COLUMNS] = '\0';
        status_message(line);

        while ((read_byte(0xC000) & 0x80) == 0) {
            if (poll_events() != 0) {
                fe.quit_requested = 1;
                fe.prompt_active = 0;
                return -1;
            }
        }
        const uint8_t k = read_byte(0xC000);
        read_byte(0xC010);

        const uint8_t ch = status_prompt_char(k);
        if (ch == 0x0D) {
            std::memcpy(out, text, static_cast<size_t>(n));
            out[n] = '\0';
            fe.prompt_active = 0;
            return n > 0 ? 0 : -1;
        }
        if (ch == 0x1B) {
            fe.prompt_active = 0;
            return -1;
        }
        if (ch == 0x08) {
            if (n > 0) --n;
        } else if (ch >= 0x20 && n < PROMPT_TEXT_MAX) {
            // The text is kept whole up to its limit; later keys are dropped.
            text[n++] = static_cast<char>(ch);
        }
    }
}
