// STUB: replaced by the front end.
#include <cstdlib>
#include "frontend/frontend.h"

char boot_banner[3][41] = {};
int load_roms(int) { return 0; }
int poll_events() { return 0; }
void bload(const char*) {}
void settings_load() {}
void emulator_exit() { std::exit(0); }
int kalvoran_main(int, char**) { return 0; }
void kalvoran_startup(int, char**) {}
