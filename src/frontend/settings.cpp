// STUB: replaced by the settings file and exit path.
#include <cstdlib>
#include "frontend/frontend.h"

void settings_load() {}
void emulator_exit() { std::exit(0); }
