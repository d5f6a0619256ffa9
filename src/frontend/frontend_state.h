// Machine configuration, keyboard latch, scan-line counter and the window.
#pragma once
#include <cstdint>

struct SDL_Surface;

enum MachineMode : int {
    MODE_FULL = 0,
    MODE_HYBRID = 1,
    MODE_IIPLUS = 2,
    MODE_IIE = 3,
};

struct FrontendState {
    int machine_mode = MODE_IIPLUS;
    int iie_active;
    int iie_64k;
    int iie_rom_recognised;
    int rgb_palette;
    uint32_t full_screen;
    uint8_t screen_bpp;
    SDL_Surface* screen_surface;

    uint16_t scan_line;   // 0..265, one step per poll_events
    uint32_t key_latch;   // 7-bit code, no high bit
    uint32_t key_strobe;  // 1 while a key waits
    uint32_t quit_requested;
    uint32_t monitor_cancel;
    uint32_t pump_tick;   // SDL_GetTicks at the last look for host events

    uint16_t status_age = 1; // frames since drawn; 0 expired; 999 in a prompt
    uint32_t status_tick;    // SDL_GetTicks when an unpaced frame last aged it
    uint32_t status_blank = 1;
    uint32_t prompt_active;

    // What the status line shows, as text: the last message (80 characters,
    // blank padded), or empty once the expiry fill has cleared it.
    char status_text[81];
};
