// STUB: replaced by the event loop.
#include "frontend/frontend.h"

int poll_events() { return 0; }
