// The event routine, run once per emulated scan line: line housekeeping, then
// the host keyboard into the emulated latch (no type-ahead) and the
// emulator's own command keys. Mouse and joystick events are not used.
#include <SDL/SDL.h>
#include <array>
#include <cstdio>
#include <cstring>
#include "cpu/cpu.h"
#include "frontend/frontend.h"
#include "frontend/status_line.h"
#include "memory/memory.h"
#include "sound/sound.h"
#include "storage/disk.h"
#include "storage/massstor.h"
#include "video/video.h"

namespace {

constexpr int NONE = -1; // the modifier does not change the code

struct TypingKey {
    int sym;
    int plain, shift, ctrl;
};

// Printable keys arrive as their ASCII codes. Where Shift and Ctrl are both
// held the Ctrl column wins.
constexpr TypingKey typing_keys[] = {
    // sym   plain  shift  ctrl
    {   8,   0x7F,  NONE,  NONE }, // Backspace
    {   9,   0x09,  NONE,  NONE }, // Tab
    {  13,   0x0D,  NONE,  NONE }, // Return
    {  27,   0x1B,  NONE,  NONE }, // Escape
    {  32,   0x20,  NONE,  NONE }, // Space
    {  33,   0x21,  NONE,  NONE }, // !
    {  34,   0x22,  NONE,  NONE }, // "
    {  35,   0x23,  NONE,  NONE }, // #
    {  36,   0x24,  NONE,  NONE }, // $
    {  38,   0x26,  NONE,  NONE }, // &
    {  39,   0x27,  0x22,  NONE }, // '
    {  40,   0x28,  NONE,  NONE }, // (
    {  41,   0x29,  NONE,  NONE }, // )
    {  42,   0x2A,  NONE,  NONE }, // *
    {  43,   0x2B,  NONE,  NONE }, // +
    {  44,   0x2C,  0x3C,  NONE }, // ,
    {  45,   0x2D,  0x5F,  NONE }, // -
    {  46,   0x2E,  0x3E,  NONE }, // .
    {  47,   0x2F,  0x3F,  NONE }, // /
    {  48,   0x30,  0x29,  NONE }, // 0
    {  49,   0x31,  0x21,  NONE }, // 1
    {  50,   0x32,  0x40,  0x00 }, // 2
    {  51,   0x33,  0x23,  NONE }, // 3
    {  52,   0x34,  0x24,  NONE }, // 4
    {  53,   0x35,  0x25,  NONE }, // 5
    {  54,   0x36,  0x5E,  0x1E }, // 6
    {  55,   0x37,  0x26,  NONE }, // 7
    {  56,   0x38,  0x2A,  NONE }, // 8
    {  57,   0x39,  0x28,  NONE }, // 9
    {  58,   0x3A,  NONE,  NONE }, // :
    {  59,   0x3B,  0x3A,  NONE }, // ;
    {  60,   0x3C,  NONE,  NONE }, // <
    {  61,   0x3D,  0x2B,  NONE }, // =
    {  62,   0x3E,  NONE,  NONE }, // >
    {  63,   0x3F,  NONE,  NONE }, // ?
    {  64,   0x40,  NONE,  NONE }, // @
    {  91,   0x5B,  0x7B,  0x1B }, // [
    {  92,   0x5C,  0x7C,  0x1C }, // backslash
    {  93,   0x5D,  0x7D,  0x1D }, // ]
    {  94,   0x5E,  0x7E,  0x1E }, // ^
    {  95,   0x5F,  NONE,  0x1F }, // _
    {  96,   0x60,  0x7E,  NONE }, // `
    // a to z (97-122): upper case plain, lower case with Shift, $01-$1A with
    // Ctrl; filled in below.
    { 273,   0x0B,  NONE,  NONE }, // Up arrow
    { 274,   0x0A,  NONE,  NONE }, // Down arrow
    { 275,   0x15,  NONE,  NONE }, // Right arrow
    { 276,   0x08,  NONE,  NONE }, // Left arrow
};

constexpr int KEY_SYM_MIN = 8;
constexpr int KEY_SYM_MAX = 293;

struct KeyCodes {
    int plain = NONE, shift = NONE, ctrl = NONE;
};

constexpr std::array<KeyCodes, KEY_SYM_MAX + 1> build_key_map()
{
    std::array<KeyCodes, KEY_SYM_MAX + 1> map{};
    for (const TypingKey& k : typing_keys) map[k.sym] = {k.plain, k.shift, k.ctrl};
    for (int i = 0; i < 26; ++i) map['a' + i] = {'A' + i, 'a' + i, 1 + i};
    return map;
}

constexpr auto key_map = build_key_map();
static_assert(key_map['a'].plain == 0x41 && key_map['z'].ctrl == 0x1A);
static_assert(key_map[127].plain == NONE); // Delete is not a typing key

constexpr Uint32 WINDOW_FLAGS = SDL_HWPALETTE;
constexpr Uint32 FULL_SCREEN_FLAGS = SDL_HWPALETTE | SDL_FULLSCREEN | SDL_HWSURFACE;
static_assert(WINDOW_FLAGS == 0x20000000 && FULL_SCREEN_FLAGS == 0xA0000001);

constexpr const char* disk_kind_names[6] = {
    "Disk type: ???",
    "Disk type: Nibble",
    "Disk type: DSK (DO)",
    "Disk type: ProDOS (PO)",
    "Disk type: SimSystem IIe",
    "Disk type: 2MG (XGS)",
};

// Longest name the drive record holds.
constexpr size_t DISK_NAME_MAX = sizeof(DiskDrive::name) - 1;

[[noreturn]] void quit()
{
    machine.cpu.run_stop = 1;
    emulator_exit();
}

void type_key(int sym, SDLMod mod)
{
    const KeyCodes& k = key_map[sym];
    if (k.plain == NONE) return;
    int code = k.plain;
    if ((mod & KMOD_CTRL) && k.ctrl != NONE)
        code = k.ctrl;
    else if ((mod & KMOD_SHIFT) && k.shift != NONE)
        code = k.shift;
    machine.fe.key_latch = static_cast<uint32_t>(code);
    machine.fe.key_strobe = 1;
}

void mount_disk(int drive)
{
    char name[PROMPT_TEXT_MAX + 1];
    const char* label = drive == 0 ? "Disk for S6,D1:" : "Disk for S6,D2:";
    if (status_prompt(label, name) != 0) return;
    // A cut name would open some other file; refuse it and keep the drive.
    if (std::strlen(name) > DISK_NAME_MAX) {
        status_message("Disk name too long (79 characters at most)");
        return;
    }
    DiskDrive& d = machine.disk.drive[drive];
    if (d.fd >= 0) disk_unmount(drive);
    std::memset(d.name.data(), 0, d.name.size());
    std::memcpy(d.name.data(), name, std::strlen(name));
    d.kind = DISK_UNKNOWN;
    disk_mount(drive);
    if (d.fd < 0)
        status_message("Cannot mount disk");
    else if (d.in_use)
        status_message(DISK_IN_USE_MESSAGE);
    else if (d.kind >= 0 && d.kind <= 5)
        status_message(disk_kind_names[d.kind]);
}

void set_multiplier(int m)
{
    CpuState& cpu = machine.cpu;
    if (m < 1) m = 1;
    if (m > 50) m = 50;
    cpu.cpu_multiplier = static_cast<uint32_t>(m);
    cpu_speed_apply();
    char text[40];
    std::snprintf(text, sizeof text, "CPU multiplier %d", m);
    status_message(text);
}

void toggle_speed()
{
    CpuState& cpu = machine.cpu;
    cpu.speed_unlimited = cpu.speed_unlimited ? 0 : 1;
    cpu_speed_apply();
    if (!cpu.speed_unlimited)
        status_message("Speed: real time");
    else if (machine.sound.sound_enabled)
        status_message("Speed: unlimited  (sound muted)");
    else
        status_message("Speed: unlimited");
}

void change_volume(int step)
{
    const int v = static_cast<int>(sound_get_volume()) + step;
    if (v < 1 || v > 100) return;
    sound_set_volume(static_cast<uint32_t>(v));
    char text[48];
    std::snprintf(text, sizeof text, "Main speaker volume set to %d%%", v);
    status_message(text);
}

void set_render_mode(int mode)
{
    if (mode < 0) mode = 0;
    if (mode > 5) mode = 5;
    machine.video.render_mode = static_cast<uint32_t>(mode);
    char text[96];
    std::snprintf(text, sizeof text, "Graphics render mode %d \"%s\"", mode + 1, render_mode_names[mode]);
    status_message(text);
}

// In SDL 1.2 a failed SDL_SetVideoMode may already have freed the old
// surface, so the old mode is set up again rather than trusting the old handle.
void toggle_full_screen()
{
    FrontendState& fe = machine.fe;
    const bool to_full = fe.full_screen == 0;
    SDL_Surface* s = SDL_SetVideoMode(560, 392, fe.screen_bpp, to_full ? FULL_SCREEN_FLAGS : WINDOW_FLAGS);
    if (s) {
        fe.screen_surface = s;
        fe.full_screen = to_full ? 1 : 0;
        set_palette();
        status_message(to_full ? "FullScreen mode!" : "Window mode!");
    } else {
        fe.screen_surface = nullptr;
        s = SDL_SetVideoMode(560, 392, fe.screen_bpp, to_full ? WINDOW_FLAGS : FULL_SCREEN_FLAGS);
        if (!s) fatal_error("Cannot set up the display again after a failed mode switch");
        fe.screen_surface = s;
        set_palette();
        status_message(to_full ? "Cannot switch to full screen; staying in window mode"
                               : "Cannot switch to window mode; staying in full screen");
    }
    SDL_Delay(20);
}

void cpu_reset_key(SDLMod mod)
{
    FrontendState& fe = machine.fe;
    machine.mem.lc_read = 0;
    machine.mem.lc_write = 0;
    text_defaults();
    machine.sw.annunciator = {1, 1, 1, 1};
    fe.monitor_cancel = 1;
    fe.key_strobe = 0;
    fe.key_latch = 0;
    status_message("CPU reset");
    if (fe.iie_active) {
        SoftSwitches& sw = machine.sw;
        sw.store80 = sw.ramrd = sw.ramwrt = sw.intcxrom = 0;
        sw.altzp = sw.slotc3rom = sw.col80 = sw.altcharset = sw.intc8rom = 0;
        memory_remap();
    }
    if (fe.machine_mode == MODE_FULL) {
        // Output hook CSW to $FDF0, input hook KSW to $FD1B.
        write_byte(0x36, 0xF0);
        write_byte(0x37, 0xFD);
        write_byte(0x38, 0x1B);
        write_byte(0x39, 0xFD);
        text_defaults();
    }
    cpu_request_reset();
    if (fe.machine_mode == MODE_FULL) {
        if (mod & KMOD_LALT) {
            show_banner();
            cpu_set_pc(0xE000); // BASIC cold start
        } else {
            cpu_set_pc(0xE003); // BASIC warm start
        }
    }
}

void key_down(int sym)
{
    if (sym < KEY_SYM_MIN || sym > KEY_SYM_MAX) return;
    const SDLMod mod = SDL_GetModState();
    const bool left_alt = (mod & KMOD_LALT) != 0;
    switch (sym) {
    case SDLK_F1: mount_disk(0); break;
    case SDLK_F2: mount_disk(1); break;
    case SDLK_F3: set_multiplier(static_cast<int>(machine.cpu.cpu_multiplier) - 1); break;
    case SDLK_F4: set_multiplier(static_cast<int>(machine.cpu.cpu_multiplier) + 1); break;
    case SDLK_F6:
        if (left_alt) {
            char name[PROMPT_TEXT_MAX + 1];
            if (status_prompt("BLOAD file:", name) == 0) bload(name);
        } else {
            toggle_full_screen();
        }
        break;
    case SDLK_F7: change_volume(-1); break;
    case SDLK_F8: change_volume(+1); break;
    case SDLK_F9: toggle_speed(); break;
    case SDLK_F11:
        if (left_alt)
            bload("quikload.pg2");
        else
            toggle_full_screen();
        break;
    case SDLK_F12:
        if (mod & KMOD_CTRL) cpu_reset_key(mod);
        break;
    case SDLK_PAGEUP:
        if (left_alt) {
            machine.video.scanlines = 1;
            status_message("Scanlines on");
        } else {
            set_render_mode(static_cast<int>(machine.video.render_mode) + 1);
        }
        break;
    case SDLK_PAGEDOWN:
        if (left_alt) {
            machine.video.scanlines = 0;
            status_message("Scanlines off");
        } else {
            set_render_mode(static_cast<int>(machine.video.render_mode) - 1);
        }
        break;
    default: type_key(sym, mod); break;
    }
}

} // namespace

int poll_events()
{
    CpuState& cpu = machine.cpu;
    FrontendState& fe = machine.fe;
    // Also reached from the key waits of the prompt and the ZELM services.
    if (frontend_quit_signal) quit();
    if (cpu.interval_dirty != 0) {
        cpu.interval_dirty = 0;
        cpu_speed_apply();
    }
    sound_flush();
    fe.scan_line += 1;
    if (fe.scan_line > 265) {
        fe.scan_line = 0;
        status_frame_end();
    }
    if (fe.scan_line <= 191) present_line(fe.scan_line);
    status_expiry_check();
    // A run-on ends on time also when no program looks.
    const bool spinning = disk_motor_spinning();

    // Asking the display server for new events costs a few system calls;
    // once a millisecond is far quicker than any typist. Events already
    // queued are taken at every call.
    const uint32_t tick = SDL_GetTicks();
    if (tick != fe.pump_tick) {
        fe.pump_tick = tick;
        SDL_PumpEvents();
    }
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_ALLEVENTS) > 0) {
        switch (event.type) {
        case SDL_QUIT: quit();
        case SDL_KEYUP:
            if (event.key.keysym.sym == SDLK_END) quit();
            break;
        case SDL_KEYDOWN: key_down(event.key.keysym.sym); break;
        default: break;
        }
    }
    // A disk in use or a block transfer runs unpaced: loading is as quick as
    // the host allows.
    if (cpu.speed_unlimited == 0) cpu_pace((spinning && disk_recently_used()) || ms_busy());
    return 0;
}
