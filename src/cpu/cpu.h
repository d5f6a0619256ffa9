// 65C02 processor: reset, execution core and run loop.
#pragma once
#include <cstdint>
#include "machine.h"

// P = $20 | N<<7 | V<<6 | B<<4 | D<<3 | I<<2 | Z<<1 | C
uint8_t cpu_pack_p();
void cpu_unpack_p(uint8_t p);

void cpu_reset();
void cpu_request_reset();
void cpu_set_pc(uint16_t address);
uint16_t cpu_get_pc();
uint32_t cpu_cycles();

// Runs until a BRK has executed.
void cpu_execute();
// Runs cpu_execute until run_stop is seen after a BRK.
void cpu_run();
// Called by the core every poll_interval cycles.
void cpu_periodic();

// Real-time mode, once per scan line (the event routine's last step): waits
// until the next line is due. busy: a disk turns or the block device works,
// and the line runs unpaced.
void cpu_pace(bool busy);
// After a change of the multiplier or the speed mode: the line length in
// cycles, the speaker's time base and whether sound plays.
void cpu_speed_apply();
// The machine runs unpaced now: unlimited speed, or storage at work.
bool cpu_unpaced();

// One pass of the instruction loop: pending requests, the periodic call, one
// instruction. Returns false when that instruction was a BRK (the point where
// cpu_execute returns). cpu_execute is this in a loop; tests step with it.
bool cpu_step();
