// STUB: replaced by the execution core.
#include "cpu/cpu.h"

void cpu_execute() {}
bool cpu_step() { return true; }
void cpu_run() {}
void cpu_periodic() {}
