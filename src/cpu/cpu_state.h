// 65C02 register file and the processor's share of the machine record.
#pragma once
#include <cstdint>

// Register image handed to the ZELM services by COP.
struct CopFrame {
    uint8_t a;
    uint8_t p;   // packed status byte
    uint8_t x;
    uint8_t y;
    uint8_t s;
    uint16_t pc; // on entry: the byte after the COP opcode
};

// Flags are kept as separate bytes; P is packed only when pushed, shown or
// handed to a service.
struct CpuRegisters {
    uint8_t a, x, y, s;
    uint16_t pc;
    uint8_t flag_n, flag_v, flag_i, flag_b, flag_d, flag_z, flag_c;
    uint8_t opcode; // fetched opcode; scratch operand of read-modify-write
    uint16_t ea;    // effective address of the current operand
    uint32_t cycles; // charged since power-on; wraps
};

inline constexpr uint8_t PENDING_RESET = 0x02;
inline constexpr uint8_t PENDING_BREAK = 0x10;

// Real-time pacing: the scan-line rate follows the host clock, trimmed so
// that the sound device's consumption of the sample ring sets the long-run
// rate when sound plays.
struct PaceState {
    uint8_t anchored;         // due_ns is meaningful
    uint8_t fast;             // the last line ran unpaced (disk busy)
    int64_t due_ns;           // host clock (CLOCK_MONOTONIC) the next line is due at
    double trim = 1.0;        // line length factor from the ring fill
    double trim_integral;     // its integral part
    int64_t callback_ns;      // host time of the last ring trough measured
    uint32_t seen_read;       // ring read index at the last line
    uint64_t slept_ns;        // total time given back to the host
};

struct CpuState {
    CpuRegisters reg;
    uint8_t cpu_pending;     // PENDING_* bits, serviced before each instruction
    uint32_t poll_mark;      // cycles at which the last periodic call fell due
    uint32_t poll_interval;  // 65 x cpu_multiplier once running
    uint32_t cpu_multiplier = 1;
    uint32_t interval_dirty; // recompute poll_interval at the next poll_events
    uint8_t run_stop;        // looked at only after a BRK
    uint8_t speed_unlimited; // F9: 0 real time (lines paced), 1 unpaced
    CopFrame cop_frame;
    PaceState pace;
};
