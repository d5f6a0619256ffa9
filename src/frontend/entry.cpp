// STUB: replaced by program entry.
#include "frontend/frontend.h"

int kalvoran_main(int, char**) { return 0; }
void kalvoran_startup(int, char**) {}
