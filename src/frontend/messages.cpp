// Reports on the error stream and the status line.
#include <cstdio>
#include <cstdlib>
#include "frontend/frontend.h"

static const char* level_word(int kind)
{
    switch (kind) {
    case MESSAGE_FATAL: return "FATAL: ";
    case MESSAGE_ERROR: return "ERROR: ";
    case MESSAGE_INFO:  return "INFO:  ";
    default:            return "";
    }
}

void message_box(const char* text, const char* caption, int kind)
{
    std::fprintf(stderr, "%s: %s%s\n", caption, level_word(kind), text);
}

// STUB: replaced by the status line.
void fatal_error(const char* text) { message_box(text, "Error", MESSAGE_ERROR); std::exit(-1); }
void status_message(const char*) {}
int status_prompt(const char*, char*) { return -1; }
