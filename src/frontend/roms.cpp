// STUB: replaced by ROM loading.
#include "frontend/frontend.h"

char boot_banner[3][41] = {};
int load_roms(int) { return 0; }
