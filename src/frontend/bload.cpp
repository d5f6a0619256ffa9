// STUB: replaced by binary loading.
#include "frontend/frontend.h"

void bload(const char*) {}
