// Register file: power-on reset, reset requests, P packing.
#include "cpu/cpu.h"

uint8_t cpu_pack_p()
{
    const CpuRegisters& r = machine.cpu.reg;
    return static_cast<uint8_t>(0x20 | r.flag_n << 7 | r.flag_v << 6 | r.flag_b << 4 |
                                r.flag_d << 3 | r.flag_i << 2 | r.flag_z << 1 | r.flag_c);
}

// Bit 5 is ignored; B is a real stored flag, so PLP then PHP keeps it.
void cpu_unpack_p(uint8_t p)
{
    CpuRegisters& r = machine.cpu.reg;
    r.flag_n = (p >> 7) & 1;
    r.flag_v = (p >> 6) & 1;
    r.flag_b = (p >> 4) & 1;
    r.flag_d = (p >> 3) & 1;
    r.flag_i = (p >> 2) & 1;
    r.flag_z = (p >> 1) & 1;
    r.flag_c = p & 1;
}

// pc is not set here: it comes from the reset vector when the core services
// the request, through the memory map as it stands then.
void cpu_reset()
{
    CpuState& c = machine.cpu;
    c.reg.flag_b = 0;
    c.reg.s = 0xFF;
    c.poll_interval = 65;
    c.cpu_pending = PENDING_RESET;
    c.reg.a = c.reg.x = c.reg.y = 0;
    c.reg.flag_z = c.reg.flag_n = c.reg.flag_c = 0;
    c.reg.flag_v = c.reg.flag_i = c.reg.flag_d = 0;
    c.reg.cycles = 0;
    c.poll_mark = 0;
}

// Requests are not queued: the whole byte is replaced.
void cpu_request_reset() { machine.cpu.cpu_pending = PENDING_RESET; }

void cpu_set_pc(uint16_t address) { machine.cpu.reg.pc = address; }

uint16_t cpu_get_pc() { return machine.cpu.reg.pc; }

uint32_t cpu_cycles() { return machine.cpu.reg.cycles; }
