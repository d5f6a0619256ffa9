// STUB: replaced by the ZELM services.
#include "monitor/monitor.h"

void cop_dispatch(CopFrame&) {}
void console_put(uint8_t) {}
void console_scroll() {}
uint8_t console_get_key() { return 0; }
void monitor_command(CopFrame&) {}
int disassemble_line(char* out, uint16_t address) { out[0] = 0; return address + 1; }
