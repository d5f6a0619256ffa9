// Program entry: the command line, the window, and the start-up sequence that
// brings every subsystem up in order before the run loop takes over.
// Exit status: 0 after the usage text or the header display, 1 on failures.
#include <SDL.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include "cpu/cpu.h"
#include "frontend/frontend.h"
#include "host_file.h"
#include "memory/memory.h"
#include "sound/sound.h"
#include "storage/disk.h"
#include "storage/massstor.h"
#include "video/video.h"

static constexpr int EXIT_SHOWN = 0;
static constexpr int EXIT_FAILED = 1;

static constexpr int SCREEN_W = 560;
static constexpr int SCREEN_H = 392; // 384 emulated rows and the status line
static constexpr uint32_t WINDOW_FLAGS = SDL_HWPALETTE;
static constexpr uint32_t FULL_SCREEN_FLAGS = SDL_HWPALETTE | SDL_FULLSCREEN | SDL_HWSURFACE;
static_assert(WINDOW_FLAGS == 0x20000000u && FULL_SCREEN_FLAGS == 0xA0000001u);

static constexpr const char* usage_lines[] = {
    "Kalvoran v0.20SA(G) with ZELM v0.07.1",
    "",
    "usage:  kalvoran [-eEFhHr]",
    "        -e  //e mode, 64K (experimental)",
    "        -E  //e mode, 128K (experimental)",
    "        -F  Full mode (ZELM monitor)",
    "        -h  Headers (show header info for quickload file)",
    "        -H  Hybrid mode (Apple ][+ monitor with ZELM REE extensions)",
    "        -r  RGB palette",
    "        -s  Full Screen Mode",
};

// Indexed by machine_mode.
static constexpr const char* window_captions[] = {
    "Kalvoran Version 0.20SA(G) with ZELM 0.07.1",
    "Kalvoran Version 0.20SA(G) with Partial ZELM 0.07.1",
    "Kalvoran Version 0.20SA(G)",
    "Kalvoran Version 0.20SA(G)",
};

struct RomReport {
    const char* caption;
    const char* text;
};

// Indexed by -code of load_roms. The -c/-C hints name switches that this
// version does not have; the texts are kept as users know them.
static constexpr RomReport rom_reports[] = {
    {"", ""},
    {"ROM Missing!", "Can't find msbasic.rom"},
    {"ROM Invalid!", "Invalid msbasic.rom\n(Make sure it is exactly 10,240 bytes.)"},
    {"ROM Missing!", "Can't find monitor.rom\n(Use the -F switch to run without it.)"},
    {"ROM Invalid!", "Invalid monitor.rom\n(Make sure it is exactly 2048 bytes.)\n"
                     "(Remove the -c or -C switch to run without it.)"},
    {"ROM Invalid!", "Invalid apple2.rom\n(Make sure it is exactly 12288 bytes.)\n"
                     "(Remove the -c or -C switch to run without it.)"},
    {"ROM Missing!", "Can't find apple2e.rom\n(Remove the -E switch to use ][+ mode instead.)"},
    {"ROM Invalid!", "Invalid apple2e.rom\n(Make sure it is exactly 16128 bytes.)\n"
                     "(Remove the -c or -C switch to run without it.)"},
};

[[noreturn]] static void end_program(int status)
{
    std::fflush(stdout);
    std::exit(status);
}

[[noreturn]] static void show_usage()
{
    for (const char* line : usage_lines) std::puts(line);
    end_program(EXIT_SHOWN);
}

// The first four bytes of the quick-load file: load address and length,
// little-endian; bytes past the end show as $FF.
[[noreturn]] static void show_quikload_header()
{
    FILE* f = host_fopen_regular("quikload.pg2");
    if (!f) {
        message_box("quikload.pg2 cannot be opened.", "Header Info", MESSAGE_INFO);
        end_program(EXIT_FAILED);
    }
    int b[4];
    for (int& v : b) {
        v = std::fgetc(f);
        if (v == EOF) v = 0xFF;
    }
    char text[64];
    std::snprintf(text, sizeof text, "quikload.pg2 header: A$%02X%02X, L$%02X%02X", b[1], b[0], b[3], b[2]);
    message_box(text, "Header Info", MESSAGE_INFO);
    std::fclose(f);
    end_program(EXIT_SHOWN);
}

static void parse_arguments(int argc, char** argv)
{
    FrontendState& fe = machine.fe;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] == '?') show_usage();
        if (arg[0] != '-') {
            // However long, the argument is shown whole.
            const std::string text = std::string("'") + arg + "' is not a valid parameter.";
            message_box(text.c_str(), "Error", MESSAGE_ERROR);
            end_program(EXIT_FAILED);
        }
        for (const char* p = arg + 1; *p; ++p) {
            switch (*p) {
            case '?': show_usage();
            case 'e': fe.machine_mode = MODE_IIE; fe.iie_64k = 1; break;
            case 'E': fe.machine_mode = MODE_IIE; fe.iie_64k = 0; break;
            case 'F': fe.machine_mode = MODE_FULL; break;
            case 'H': fe.machine_mode = MODE_HYBRID; break;
            case 'h': show_quikload_header();
            case 'r': fe.rgb_palette = 1; break;
            case 's': fe.full_screen = 1; break;
            default: {
                char text[64];
                std::snprintf(text, sizeof text, "'-%c' is not a valid switch.", *p);
                message_box(text, "Error", MESSAGE_ERROR);
                end_program(EXIT_FAILED);
            }
            }
        }
    }
}

static void open_window()
{
    FrontendState& fe = machine.fe;
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        message_box(SDL_GetError(), "SDL", MESSAGE_ERROR);
        end_program(EXIT_FAILED);
    }
    SDL_WM_SetCaption(window_captions[fe.machine_mode], "Test Icon");
    SDL_EnableKeyRepeat(250, 30);
    fe.screen_bpp = 8;
    // Once per process: tests start the machine up more than once.
    static bool quit_registered = false;
    if (!quit_registered) {
        std::atexit(SDL_Quit);
        quit_registered = true;
    }
    fe.screen_surface = SDL_SetVideoMode(SCREEN_W, SCREEN_H, fe.screen_bpp,
                                         fe.full_screen ? FULL_SCREEN_FLAGS : WINDOW_FLAGS);
    if (!fe.screen_surface) {
        message_box(SDL_GetError(), "SDL", MESSAGE_ERROR);
        message_box("Error initializing Window\n", "ORV42", MESSAGE_ERROR);
        end_program(EXIT_FAILED);
    }
    SDL_ShowCursor(0);
}

void kalvoran_startup(int argc, char** argv)
{
    parse_arguments(argc, argv);
    open_window();

    FrontendState& fe = machine.fe;
    const int result = load_roms(fe.machine_mode);
    if (result != 0) {
        const int n = -result;
        const RomReport& r = n > 0 && n < int(std::size(rom_reports)) ? rom_reports[n]
                                                                      : RomReport{"ROM Invalid!", "Unknown ROM error"};
        message_box(r.text, r.caption, MESSAGE_FATAL);
        end_program(EXIT_FAILED);
    }
    set_palette();
    // Through write_byte so banking and display bookkeeping see every store.
    for (uint32_t a = 0x0000; a <= 0xBFFF; ++a) write_byte(static_cast<uint16_t>(a), 0);
    fe.scan_line = 0;
    ms_mount_defaults();
    disk_mount_defaults();

    status_message("Initializing sound...");
    if (sound_open() == 0) status_message("Welcome to Kalvoran");
    else status_message("Welcome to Kalvoran  (Sound is not available)");
    if (fe.iie_active) {
        status_message(fe.iie_64k ? "Warning: //e support is experimental  (64K MODE)"
                                  : "Warning: //e support is experimental  (128K MODE)");
    }
    // Shown last, over the welcome: the user must know that nothing written
    // to that disk will be kept.
    if (disk_any_in_use() || ms_any_in_use()) status_message(DISK_IN_USE_MESSAGE);
    text_defaults();
    if (fe.machine_mode == MODE_FULL || fe.machine_mode == MODE_HYBRID) show_banner();

    cpu_reset();
    cpu_request_reset();
    machine.cpu.poll_interval = machine.cpu.cpu_multiplier * 65; // until settings say otherwise
    settings_load();
    machine.cpu.interval_dirty = 1; // the multiplier may have changed
}

volatile std::sig_atomic_t frontend_quit_signal = 0;

static void frontend_on_signal(int) { frontend_quit_signal = 1; }

// Start-up writes nothing (files are opened, never written, before the run
// loop), so a signal then ends the process at once, as the default action
// would. The default disposition itself cannot be left in place: SDL puts a
// handler of its own on SIGINT and SIGTERM when it finds none, and a blocked
// start-up never gets to read the quit event that handler posts.
static void frontend_on_startup_signal(int sig)
{
    std::signal(sig, SIG_DFL);
    std::raise(sig); // delivered as soon as the handler returns
}

static void frontend_set_handler(void (*handler)(int), int flags)
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = flags;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

void frontend_install_startup_signal_handlers() { frontend_set_handler(frontend_on_startup_signal, 0); }

void frontend_install_signal_handlers() { frontend_set_handler(frontend_on_signal, SA_RESTART); }

int kalvoran_main(int argc, char** argv)
{
    frontend_install_startup_signal_handlers();
    kalvoran_startup(argc, argv);
    // From here on the machine holds work to save: a signal waits for the
    // next poll_events, which quits the normal way.
    frontend_install_signal_handlers();
    cpu_run();
    emulator_exit();
}
