// Program entry, ROM loading, messages, event loop, binary loading, settings.
#pragma once
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include "machine.h"

enum MessageKind : int {
    MESSAGE_FATAL = 0x10,
    MESSAGE_ERROR = 0x30,
    MESSAGE_INFO = 0x40,
};

void message_box(const char* text, const char* caption, int kind);
// Shown when an image that another process holds is mounted.
inline constexpr const char* DISK_IN_USE_MESSAGE = "Disk is in use: mounted write-protected";
[[noreturn]] void fatal_error(const char* text);
void status_message(const char* text);
int status_prompt(const char* label, char* out);

int load_roms(int mode);
// Opens a ROM or font image: the working directory first, then the data
// folder beside the program (share/kalvoran), where our firmware is installed.
// Only regular files are opened; *not_regular tells a refused one (a FIFO, a
// device, a folder) from a missing one.
FILE* rom_open(const char* name, bool* not_regular = nullptr);
std::string rom_data_dir();
// The ZELM boot banner, three rows of 40 characters.
extern char boot_banner[3][41];

int poll_events();
// SIGTERM and SIGINT end the program as the End key does: the handler only
// raises this flag, and the next poll_events quits the normal way.
extern volatile std::sig_atomic_t frontend_quit_signal;
void frontend_install_signal_handlers();
// During start-up the same signals end the process at once.
void frontend_install_startup_signal_handlers();
void bload(const char* name);

void settings_load();
[[noreturn]] void emulator_exit();

// The whole program; main only calls this.
int kalvoran_main(int argc, char** argv);

// Parses the command line and runs every start-up step up to the run loop.
// Ends the process itself on the usage text, -h and every start-up failure.
void kalvoran_startup(int argc, char** argv);
