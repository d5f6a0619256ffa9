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

struct CpuState {
    CpuRegisters reg;
    uint8_t cpu_pending;     // PENDING_* bits, serviced before each instruction
    uint32_t poll_mark;      // cycles at which the last periodic call fell due
    uint32_t poll_interval;  // 65 x cpu_multiplier once running
    uint32_t cpu_multiplier = 5;
    uint32_t interval_dirty; // recompute poll_interval at the next poll_events
    uint8_t run_stop;        // looked at only after a BRK
    CopFrame cop_frame;
};
