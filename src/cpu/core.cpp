// 65C02 execution core (with the Rockwell bit instructions and the COP trap)
// and the run loop. Fixed cycle charge per instruction, no page-crossing
// penalties, no dummy accesses, no IRQ/NMI: only reset requests and BRK.
#include <cstdint>

#include "cpu/cpu.h"
#include "cpu/opcodes.h"
#include "frontend/frontend.h"
#include "memory/memory.h"
#include "monitor/monitor.h"

#define CPU_INLINE [[gnu::always_inline]] inline

namespace {

constexpr CpuRegisters& R = machine.cpu.reg;

// ---- memory access order rules ------------------------------------------

CPU_INLINE uint8_t fetch()
{
    const uint8_t b = read_byte(R.pc);
    R.pc = static_cast<uint16_t>(R.pc + 1);
    return b;
}

CPU_INLINE uint16_t fetch_word()
{
    const uint8_t lo = fetch();
    const uint8_t hi = fetch();
    return static_cast<uint16_t>(lo | hi << 8);
}

// Pointer in zero page: the high byte wraps within the page.
CPU_INLINE uint16_t zp_pointer(uint8_t p)
{
    const uint8_t lo = read_byte(p);
    const uint8_t hi = read_byte(static_cast<uint8_t>(p + 1));
    return static_cast<uint16_t>(lo | hi << 8);
}

// Pointer anywhere: the high byte comes from the next address even across a
// page (the 65C02 fixed the NMOS JMP ($xxFF) fault).
CPU_INLINE uint16_t abs_pointer(uint16_t q)
{
    const uint8_t lo = read_byte(q);
    const uint8_t hi = read_byte(static_cast<uint16_t>(q + 1));
    return static_cast<uint16_t>(lo | hi << 8);
}

CPU_INLINE void push(uint8_t v)
{
    write_byte(static_cast<uint16_t>(0x0100 | R.s), v);
    R.s = static_cast<uint8_t>(R.s - 1);
}

CPU_INLINE uint8_t pull()
{
    R.s = static_cast<uint8_t>(R.s + 1);
    return read_byte(static_cast<uint16_t>(0x0100 | R.s));
}

// Effective address of a memory operand; leaves it in ea.
template <CpuMode M> CPU_INLINE uint16_t address()
{
    uint16_t a;
    if constexpr (M == ZP_) a = fetch();
    else if constexpr (M == ZPX) a = static_cast<uint8_t>(fetch() + R.x);
    else if constexpr (M == ZPY) a = static_cast<uint8_t>(fetch() + R.y);
    else if constexpr (M == ABS) a = fetch_word();
    else if constexpr (M == ABX) a = static_cast<uint16_t>(fetch_word() + R.x);
    else if constexpr (M == ABY) a = static_cast<uint16_t>(fetch_word() + R.y);
    else if constexpr (M == IZX) a = zp_pointer(static_cast<uint8_t>(fetch() + R.x));
    else if constexpr (M == IZY) a = static_cast<uint16_t>(zp_pointer(fetch()) + R.y);
    else if constexpr (M == IZP) a = zp_pointer(fetch());
    else if constexpr (M == IND) a = abs_pointer(fetch_word());
    else if constexpr (M == IAX) a = abs_pointer(static_cast<uint16_t>(fetch_word() + R.x));
    else static_assert(M == ZP_, "mode has no effective address");
    R.ea = a;
    return a;
}

// Value of a read operand: the immediate byte or the byte at the address.
template <CpuMode M> CPU_INLINE uint8_t operand()
{
    if constexpr (M == IMM) return fetch();
    else return read_byte(address<M>());
}

// ---- operations ------------------------------------------------------------

CPU_INLINE void set_nz(uint8_t v)
{
    R.flag_n = v >> 7;
    R.flag_z = v == 0;
}

CPU_INLINE void op_adc(uint8_t m)
{
    const unsigned a = R.a;
    R.flag_v = ((a ^ m) & 0x80) == 0;
    unsigned s;
    if (!R.flag_d) {
        s = a + m + R.flag_c;
        if (s > 0xFF) {
            R.flag_c = 1;
            if (s > 0x17F) R.flag_v = 0;
        } else {
            R.flag_c = 0;
            if (s < 0x80) R.flag_v = 0;
        }
    } else {
        unsigned l = (a & 0x0F) + (m & 0x0F) + R.flag_c;
        if (l > 9) l = ((l + 6) & 0x0F) | 0x10;
        s = (a & 0xF0) + (m & 0xF0) + l;
        if (s > 0x9F) {
            R.flag_c = 1;
            if (s > 0x17F) R.flag_v = 0;
            s += 0x60;
        } else {
            R.flag_c = 0;
            if (s < 0x80) R.flag_v = 0;
        }
    }
    R.a = static_cast<uint8_t>(s);
    set_nz(R.a);
}

CPU_INLINE void op_sbc(uint8_t m)
{
    const unsigned a = R.a;
    R.flag_v = ((a ^ m) & 0x80) != 0;
    unsigned result;
    if (!R.flag_d) {
        const unsigned t = a - m + R.flag_c + 0xFF;
        if (t > 0xFF) {
            R.flag_c = 1;
            if (t > 0x17F) R.flag_v = 0;
        } else {
            R.flag_c = 0;
            if (t < 0x80) R.flag_v = 0;
        }
        result = t;
    } else {
        const unsigned l = ((a & 0x0F) - (m & 0x0F) + R.flag_c + 0x0F) & 0xFF;
        unsigned low, h;
        if (l <= 0x0F) {
            low = (l - 6) & 0xFF;
            h = 0;
        } else {
            low = (l - 0x10) & 0xFF;
            h = 0x10;
        }
        const unsigned t = ((a & 0xF0) - (m & 0xF0) + h + 0xF0) & 0xFFFF;
        if (t > 0xFF) {
            R.flag_c = 1;
            if (t > 0x17F) R.flag_v = 0;
            result = t + low;
        } else {
            R.flag_c = 0;
            if (t < 0x80) R.flag_v = 0;
            result = (t - 0x60) + low;
        }
    }
    R.a = static_cast<uint8_t>(result);
    set_nz(R.a);
}

CPU_INLINE void op_compare(uint8_t reg, uint8_t m)
{
    R.flag_c = reg >= m;
    R.flag_z = reg == m;
    R.flag_n = static_cast<uint8_t>(reg - m) >> 7;
}

// Instructions that only read their operand.
template <CpuMnemonic N> CPU_INLINE void op_read(uint8_t m)
{
    if constexpr (N == LDA) set_nz(R.a = m);
    else if constexpr (N == LDX) set_nz(R.x = m);
    else if constexpr (N == LDY) set_nz(R.y = m);
    else if constexpr (N == ORA) set_nz(R.a |= m);
    else if constexpr (N == AND) set_nz(R.a &= m);
    else if constexpr (N == EOR) set_nz(R.a ^= m);
    else if constexpr (N == ADC) op_adc(m);
    else if constexpr (N == SBC) op_sbc(m);
    else if constexpr (N == CMP) op_compare(R.a, m);
    else if constexpr (N == CPX) op_compare(R.x, m);
    else if constexpr (N == CPY) op_compare(R.y, m);
    else if constexpr (N == BIT) {
        R.flag_n = m >> 7;
        R.flag_v = (m >> 6) & 1;
        R.flag_z = (R.a & m) == 0;
    } else static_assert(N == LDA, "not a read instruction");
}

// Read-modify-write: the new value of the operand. Bit is RMB/SMB's n.
template <CpuMnemonic N, int Bit> CPU_INLINE uint8_t op_modify(uint8_t v)
{
    if constexpr (N == ASL) {
        R.flag_c = v >> 7;
        v = static_cast<uint8_t>(v << 1);
    } else if constexpr (N == LSR) {
        R.flag_c = v & 1;
        v = v >> 1;
    } else if constexpr (N == ROL) {
        const uint8_t c = R.flag_c;
        R.flag_c = v >> 7;
        v = static_cast<uint8_t>(v << 1 | c);
    } else if constexpr (N == ROR) {
        const uint8_t c = R.flag_c;
        R.flag_c = v & 1;
        v = static_cast<uint8_t>(v >> 1 | c << 7);
    } else if constexpr (N == INC) {
        v = static_cast<uint8_t>(v + 1);
    } else if constexpr (N == DEC) {
        v = static_cast<uint8_t>(v - 1);
    } else if constexpr (N == TSB) {
        R.flag_z = (R.a & v) == 0;
        return static_cast<uint8_t>(v | R.a);
    } else if constexpr (N == TRB) {
        R.flag_z = (R.a & v) == 0;
        return static_cast<uint8_t>(v & ~R.a);
    } else if constexpr (N == RMB) {
        return static_cast<uint8_t>(v & ~(1 << Bit));
    } else if constexpr (N == SMB) {
        return static_cast<uint8_t>(v | 1 << Bit);
    } else static_assert(N == ASL, "not a read-modify-write instruction");
    set_nz(v);
    return v;
}

template <CpuMnemonic N> CPU_INLINE bool branch_condition()
{
    if constexpr (N == BPL) return !R.flag_n;
    else if constexpr (N == BMI) return R.flag_n;
    else if constexpr (N == BVC) return !R.flag_v;
    else if constexpr (N == BVS) return R.flag_v;
    else if constexpr (N == BCC) return !R.flag_c;
    else if constexpr (N == BCS) return R.flag_c;
    else if constexpr (N == BNE) return !R.flag_z;
    else if constexpr (N == BEQ) return R.flag_z;
    else return true; // BRA
}

constexpr bool is_read(CpuMnemonic n)
{
    switch (n) {
    case LDA: case LDX: case LDY: case ORA: case AND: case EOR: case ADC: case SBC:
    case CMP: case CPX: case CPY: case BIT:
        return true;
    default:
        return false;
    }
}

constexpr bool is_modify(CpuMnemonic n)
{
    switch (n) {
    case ASL: case LSR: case ROL: case ROR: case INC: case DEC: case TSB: case TRB:
    case RMB: case SMB:
        return true;
    default:
        return false;
    }
}

constexpr bool is_branch(CpuMnemonic n)
{
    switch (n) {
    case BPL: case BMI: case BVC: case BVS: case BCC: case BCS: case BNE: case BEQ: case BRA:
        return true;
    default:
        return false;
    }
}

// B is a stored flag (PLP and RTI load it, COP hands it over as stored), but
// every push of P by PHP or BRK carries bit 4 set, as the processor's own
// pushes do; software that tells BRK from PHP pushes relies on nothing else,
// and conformance suites check for it. flag_b itself is not changed.
[[gnu::noinline]] void cpu_brk()
{
    R.pc = static_cast<uint16_t>(R.pc + 1);
    machine.cpu.cpu_pending |= PENDING_BREAK;
    push(static_cast<uint8_t>(R.pc >> 8));
    push(static_cast<uint8_t>(R.pc));
    push(static_cast<uint8_t>(cpu_pack_p() | 0x10));
    R.flag_d = 0;
    R.flag_i = 1;
}

// The service finds its request from frame.pc - 1 and skips any argument
// bytes itself through frame.pc.
[[gnu::noinline]] void cpu_cop()
{
    CopFrame& f = machine.cpu.cop_frame;
    f.a = R.a;
    f.p = cpu_pack_p();
    f.x = R.x;
    f.y = R.y;
    f.s = R.s;
    f.pc = R.pc;
    cop_dispatch(f);
    R.pc = f.pc;
    cpu_unpack_p(f.p);
    R.s = f.s;
    R.y = f.y;
    R.x = f.x;
    R.a = f.a;
}

// One instruction, opcode already fetched. Returns false after BRK.
template <int OP> CPU_INLINE bool execute()
{
    constexpr CpuOpInfo I = cpu_opcodes[OP];
    constexpr CpuMnemonic N = I.mnemonic;
    constexpr CpuMode M = I.mode;
    uint32_t charge = I.cycles;

    if constexpr (is_read(N)) {
        if constexpr (N == BIT && M == IMM) R.flag_z = (R.a & fetch()) == 0; // N, V kept
        else op_read<N>(operand<M>());
    } else if constexpr (is_modify(N)) {
        constexpr int bit = (OP >> 4) & 7;
        if constexpr (M == ACC) {
            R.a = op_modify<N, bit>(R.a);
        } else {
            const uint16_t a = address<M>();
            R.opcode = read_byte(a);
            R.opcode = op_modify<N, bit>(R.opcode);
            write_byte(a, R.opcode);
        }
    } else if constexpr (N == STA || N == STX || N == STY || N == STZ) {
        const uint16_t a = address<M>();
        write_byte(a, N == STA ? R.a : N == STX ? R.x : N == STY ? R.y : 0);
    } else if constexpr (is_branch(N)) {
        if (branch_condition<N>()) {
            const int8_t o = static_cast<int8_t>(read_byte(R.pc));
            R.pc = static_cast<uint16_t>(R.pc + 1 + o);
            if constexpr (N != BRA) charge += 1;
        } else {
            R.pc = static_cast<uint16_t>(R.pc + 1);
        }
    } else if constexpr (N == NOP) {
        if constexpr (M == SK1) R.pc = static_cast<uint16_t>(R.pc + 1);
        else if constexpr (M == SK2) R.pc = static_cast<uint16_t>(R.pc + 2);
    } else if constexpr (N == JMP) {
        if constexpr (M == ABS) R.pc = fetch_word();
        else R.pc = address<M>();
    } else if constexpr (N == JSR) {
        R.ea = fetch();
        push(static_cast<uint8_t>(R.pc >> 8));
        push(static_cast<uint8_t>(R.pc));
        const uint8_t hi = read_byte(R.pc);
        R.pc = static_cast<uint16_t>(R.ea | hi << 8);
    } else if constexpr (N == RTS) {
        const uint8_t lo = pull();
        const uint8_t hi = pull();
        R.pc = static_cast<uint16_t>((lo | hi << 8) + 1);
    } else if constexpr (N == RTI) {
        cpu_unpack_p(pull());
        const uint8_t lo = pull();
        const uint8_t hi = pull();
        R.pc = static_cast<uint16_t>(lo | hi << 8);
    } else if constexpr (N == BRK) {
        cpu_brk();
        return false;
    } else if constexpr (N == COP) {
        cpu_cop();
    } else if constexpr (N == PHA) push(R.a);
    else if constexpr (N == PHX) push(R.x);
    else if constexpr (N == PHY) push(R.y);
    else if constexpr (N == PHP) push(static_cast<uint8_t>(cpu_pack_p() | 0x10));
    else if constexpr (N == PLA) set_nz(R.a = pull());
    else if constexpr (N == PLX) set_nz(R.x = pull());
    else if constexpr (N == PLY) set_nz(R.y = pull());
    else if constexpr (N == PLP) cpu_unpack_p(pull());
    else if constexpr (N == TAX) set_nz(R.x = R.a);
    else if constexpr (N == TAY) set_nz(R.y = R.a);
    else if constexpr (N == TXA) set_nz(R.a = R.x);
    else if constexpr (N == TYA) set_nz(R.a = R.y);
    else if constexpr (N == TSX) set_nz(R.x = R.s);
    else if constexpr (N == TXS) R.s = R.x;
    else if constexpr (N == INX) set_nz(++R.x);
    else if constexpr (N == INY) set_nz(++R.y);
    else if constexpr (N == DEX) set_nz(--R.x);
    else if constexpr (N == DEY) set_nz(--R.y);
    else if constexpr (N == CLC) R.flag_c = 0;
    else if constexpr (N == SEC) R.flag_c = 1;
    else if constexpr (N == CLI) R.flag_i = 0;
    else if constexpr (N == SEI) R.flag_i = 1;
    else if constexpr (N == CLD) R.flag_d = 0;
    else if constexpr (N == SED) R.flag_d = 1;
    else if constexpr (N == CLV) R.flag_v = 0;
    else static_assert(N == NOP, "opcode without a handler");

    if (charge) R.cycles += charge;
    return true;
}

// Only PENDING_RESET and PENDING_BREAK mean anything; other bits are dropped
// rather than left to spin the service loop.
[[gnu::noinline]] void cpu_service_pending()
{
    CpuState& c = machine.cpu;
    while (c.cpu_pending & (PENDING_RESET | PENDING_BREAK)) {
        if (c.cpu_pending & PENDING_RESET) {
            c.cpu_pending &= ~PENDING_RESET;
            R.flag_d = 0;
            R.pc = abs_pointer(0xFFFC);
            R.cycles += 5;
        }
        if (c.cpu_pending & PENDING_BREAK) {
            c.cpu_pending &= ~PENDING_BREAK;
            R.pc = abs_pointer(0xFFFE);
            R.cycles += 7;
        }
    }
    c.cpu_pending = 0;
}

#define CPU_CASE(n) case n: return execute<n>();
#define CPU_ROW(h)                                                               \
    CPU_CASE(h + 0x0) CPU_CASE(h + 0x1) CPU_CASE(h + 0x2) CPU_CASE(h + 0x3)      \
    CPU_CASE(h + 0x4) CPU_CASE(h + 0x5) CPU_CASE(h + 0x6) CPU_CASE(h + 0x7)      \
    CPU_CASE(h + 0x8) CPU_CASE(h + 0x9) CPU_CASE(h + 0xA) CPU_CASE(h + 0xB)      \
    CPU_CASE(h + 0xC) CPU_CASE(h + 0xD) CPU_CASE(h + 0xE) CPU_CASE(h + 0xF)

// One pass of the instruction loop: requests, the periodic call, one
// instruction. The request byte is looked at before the periodic call, so a
// reset asked for during that call waits for the next pass.
CPU_INLINE bool cpu_pass()
{
    CpuState& c = machine.cpu;
    if (c.cpu_pending) [[unlikely]]
        cpu_service_pending();
    if (R.cycles - c.poll_mark >= c.poll_interval) [[unlikely]] {
        c.poll_mark += c.poll_interval;
        cpu_periodic();
    }
    const uint8_t op = fetch();
    R.opcode = op;
    switch (op) {
        CPU_ROW(0x00) CPU_ROW(0x10) CPU_ROW(0x20) CPU_ROW(0x30)
        CPU_ROW(0x40) CPU_ROW(0x50) CPU_ROW(0x60) CPU_ROW(0x70)
        CPU_ROW(0x80) CPU_ROW(0x90) CPU_ROW(0xA0) CPU_ROW(0xB0)
        CPU_ROW(0xC0) CPU_ROW(0xD0) CPU_ROW(0xE0) CPU_ROW(0xF0)
    }
    __builtin_unreachable();
}

#undef CPU_ROW
#undef CPU_CASE

} // namespace

// flatten: the memory map's fast path is inlined into every handler, even
// where the compiler's own budget would give up on a function this large.
[[gnu::flatten]] void cpu_execute()
{
    while (cpu_pass()) {
    }
}

[[gnu::flatten]] bool cpu_step() { return cpu_pass(); }

// run_stop is looked at only after a BRK; a program that never breaks keeps
// the loop inside cpu_execute whatever the periodic call decides.
void cpu_run()
{
    cpu_reset();
    for (;;) {
        cpu_execute();
        if (machine.cpu.run_stop) return;
    }
}

[[gnu::noinline]] void cpu_periodic()
{
    const int r = poll_events();
    if (r != 0) machine.cpu.run_stop = 1;
    if (machine.fe.quit_requested != 0) machine.cpu.run_stop = 1;
}
