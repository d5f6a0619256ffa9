// Instruction families on their own: addressing wrap-arounds, decimal and
// binary arithmetic with their flags, branches, BRK, COP, the no-op columns,
// the Rockwell bit instructions, the stack and the reset service.
#include "cpu_test.h"

namespace {

CpuRegisters& R() { return machine.cpu.reg; }

struct Cpu : ::testing::Test {
    void SetUp() override { cpu_test_reset(); }
};

// ---- addressing --------------------------------------------------------------

TEST_F(Cpu, IndirectJumpTakesTheHighByteFromTheNextAddressAcrossAPage)
{
    poke(0x10FF, {0x34});
    poke(0x1100, {0x12});
    poke(0x1000, {0x56}); // where an NMOS part would look
    cpu_test_code(0x0300, {0x6C, 0xFF, 0x10});
    cpu_step();
    EXPECT_EQ(R().pc, 0x1234);
    EXPECT_EQ(R().cycles, 5u);

    // (abs,X): the pointer is indexed, then read as a plain word.
    poke(0x2004, {0x78, 0x56});
    cpu_test_code(0x0300, {0x7C, 0x00, 0x20});
    R().x = 4;
    cpu_step();
    EXPECT_EQ(R().pc, 0x5678);
}

TEST_F(Cpu, ZeroPagePointersAndIndexesWrapInsideZeroPage)
{
    // LDA ($FF),Y: pointer low byte at $FF, high byte at $00.
    poke(0x00FF, {0x00});
    poke(0x0000, {0x30});
    poke(0x3005, {0xA7});
    cpu_test_code(0x0300, {0xB1, 0xFF});
    R().y = 5;
    cpu_step();
    EXPECT_EQ(R().a, 0xA7);
    EXPECT_EQ(R().flag_n, 1);
    EXPECT_EQ(R().cycles, 5u);

    // LDA $F0,X with X = $20 reads $0010.
    poke(0x0010, {0x42});
    poke(0x0110, {0x99});
    cpu_test_code(0x0300, {0xB5, 0xF0});
    R().x = 0x20;
    cpu_step();
    EXPECT_EQ(R().a, 0x42);

    // LDA ($F0,X) with X = $0F: pointer at $FF/$00.
    poke(0x0000, {0x31});
    poke(0x3100, {0x5A});
    cpu_test_code(0x0300, {0xA1, 0xF0});
    R().x = 0x0F;
    cpu_step();
    EXPECT_EQ(R().a, 0x5A);

    // STX $F8,Y with Y = $10 writes $0008; abs,X wraps at 64K.
    cpu_test_code(0x0300, {0x96, 0xF8, 0xBD, 0xF8, 0xFF});
    R().x = 0x10;
    R().y = 0x10;
    cpu_step();
    EXPECT_EQ(peek(0x0008), 0x10);
    cpu_step();
    EXPECT_EQ(R().a, 0x10); // $FFF8 + $10 = $0008
}

// ---- arithmetic ----------------------------------------------------------------

struct Flags {
    uint8_t a, n, v, z, c;
};

// Runs one immediate ALU instruction; the machine is not reset in between.
Flags run_alu(uint8_t opcode, uint8_t a, uint8_t m, uint8_t c, uint8_t d)
{
    cpu_test_code(0x0300, {opcode, m});
    R().cycles = 0;
    R().a = a;
    R().flag_c = c;
    R().flag_d = d;
    cpu_step();
    EXPECT_EQ(R().cycles, 2u) << "no extra cycle in decimal mode";
    return {R().a, R().flag_n, R().flag_v, R().flag_z, R().flag_c};
}

constexpr uint8_t ADC_IMM = 0x69, SBC_IMM = 0xE9;

TEST_F(Cpu, BinaryAddAndSubtractFlags)
{
    Flags f = run_alu(ADC_IMM, 0x7F, 0x01, 0, 0);
    EXPECT_EQ(f.a, 0x80);
    EXPECT_EQ(f.v, 1);
    EXPECT_EQ(f.n, 1);
    EXPECT_EQ(f.c, 0);
    f = run_alu(ADC_IMM, 0xFF, 0x01, 0, 0);
    EXPECT_EQ(f.a, 0x00);
    EXPECT_EQ(f.z, 1);
    EXPECT_EQ(f.c, 1);
    EXPECT_EQ(f.v, 0);
    f = run_alu(ADC_IMM, 0x80, 0x80, 0, 0);
    EXPECT_EQ(f.a, 0x00);
    EXPECT_EQ(f.v, 1);
    EXPECT_EQ(f.c, 1);
    f = run_alu(SBC_IMM, 0x80, 0x01, 1, 0);
    EXPECT_EQ(f.a, 0x7F);
    EXPECT_EQ(f.v, 1);
    EXPECT_EQ(f.c, 1);
    f = run_alu(SBC_IMM, 0x05, 0x06, 1, 0);
    EXPECT_EQ(f.a, 0xFF);
    EXPECT_EQ(f.c, 0);
    EXPECT_EQ(f.n, 1);
    EXPECT_EQ(f.v, 0);
}

TEST_F(Cpu, DecimalAddAndSubtractExamples)
{
    Flags f = run_alu(ADC_IMM, 0x58, 0x46, 1, 1);
    EXPECT_EQ(f.a, 0x05);
    EXPECT_EQ(f.c, 1);
    f = run_alu(SBC_IMM, 0x00, 0x01, 1, 1);
    EXPECT_EQ(f.a, 0x99);
    EXPECT_EQ(f.c, 0);
    EXPECT_EQ(f.n, 1);
    f = run_alu(SBC_IMM, 0x50, 0x25, 1, 1);
    EXPECT_EQ(f.a, 0x25);
    EXPECT_EQ(f.c, 1);
    // V follows the adjusted sum: $79 + $00 + 1 = $80 sets V and N.
    f = run_alu(ADC_IMM, 0x79, 0x00, 1, 1);
    EXPECT_EQ(f.a, 0x80);
    EXPECT_EQ(f.v, 1);
    EXPECT_EQ(f.n, 1);
    EXPECT_EQ(f.z, 0);
    // Z from the adjusted result, not the binary sum.
    f = run_alu(ADC_IMM, 0x99, 0x01, 0, 1);
    EXPECT_EQ(f.a, 0x00);
    EXPECT_EQ(f.z, 1);
    EXPECT_EQ(f.c, 1);
}

TEST_F(Cpu, DecimalArithmeticOverAllValidBcdOperands)
{
    auto bcd = [](int n) { return static_cast<uint8_t>((n / 10) << 4 | n % 10); };
    int wrong = 0;
    for (int a = 0; a < 100; ++a)
        for (int m = 0; m < 100; ++m)
            for (uint8_t c : {0, 1}) {
                const Flags add = run_alu(ADC_IMM, bcd(a), bcd(m), c, 1);
                const int sum = a + m + c;
                if (add.a != bcd(sum % 100) || add.c != (sum >= 100)) ++wrong;
                const Flags sub = run_alu(SBC_IMM, bcd(a), bcd(m), c, 1);
                const int diff = a - m - (1 - c);
                if (sub.a != bcd((diff + 100) % 100) || sub.c != (diff >= 0)) ++wrong;
            }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Cpu, CompareSetsCarryZeroAndNegative)
{
    cpu_test_code(0x0300, {0xC9, 0x30, 0xE0, 0x50, 0xC0, 0x10});
    R().a = 0x30;
    R().x = 0x40;
    R().y = 0x90;
    cpu_step();
    EXPECT_EQ(R().flag_c, 1);
    EXPECT_EQ(R().flag_z, 1);
    EXPECT_EQ(R().flag_n, 0);
    cpu_step(); // $40 - $50
    EXPECT_EQ(R().flag_c, 0);
    EXPECT_EQ(R().flag_z, 0);
    EXPECT_EQ(R().flag_n, 1);
    cpu_step(); // $90 - $10 = $80
    EXPECT_EQ(R().flag_c, 1);
    EXPECT_EQ(R().flag_n, 1);
}

TEST_F(Cpu, BitImmediateSetsOnlyZero)
{
    cpu_test_code(0x0300, {0x89, 0x80, 0x89, 0x40, 0x24, 0x10});
    R().a = 0x80;
    R().flag_n = 0;
    R().flag_v = 1;
    cpu_step();
    EXPECT_EQ(R().flag_z, 0);
    EXPECT_EQ(R().flag_n, 0);
    EXPECT_EQ(R().flag_v, 1);
    cpu_step();
    EXPECT_EQ(R().flag_z, 1);
    EXPECT_EQ(R().flag_v, 1);
    // BIT zp takes N and V from memory.
    poke(0x0010, {0x80});
    cpu_step();
    EXPECT_EQ(R().flag_n, 1);
    EXPECT_EQ(R().flag_v, 0);
    EXPECT_EQ(R().flag_z, 0);
}

// ---- read-modify-write -------------------------------------------------------------

TEST_F(Cpu, ShiftsRotatesAndBitInstructionsOnMemory)
{
    poke(0x0010, {0x81});
    cpu_test_code(0x0300, {0x26, 0x10, 0x66, 0x10, 0x0C, 0x00, 0x20, 0x1C, 0x00, 0x20});
    R().flag_c = 0;
    cpu_step(); // ROL $10: $81 -> $02, C = 1
    EXPECT_EQ(peek(0x0010), 0x02);
    EXPECT_EQ(R().flag_c, 1);
    cpu_step(); // ROR $10: $02 -> $81, C = 0
    EXPECT_EQ(peek(0x0010), 0x81);
    EXPECT_EQ(R().flag_c, 0);
    EXPECT_EQ(R().flag_n, 1);

    poke(0x2000, {0x0C});
    R().a = 0x03;
    cpu_step(); // TSB $2000
    EXPECT_EQ(peek(0x2000), 0x0F);
    EXPECT_EQ(R().flag_z, 1);
    R().a = 0x05;
    cpu_step(); // TRB $2000
    EXPECT_EQ(peek(0x2000), 0x0A);
    EXPECT_EQ(R().flag_z, 0);
}

TEST_F(Cpu, RockwellResetAndSetMemoryBit)
{
    poke(0x0010, {0xFF});
    poke(0x0011, {0x00});
    cpu_test_code(0x0300, {0x37, 0x10, 0x87, 0x11, 0xF7, 0x11});
    R().flag_n = 1;
    R().flag_z = 0;
    cpu_step();
    EXPECT_EQ(peek(0x0010), 0xF7); // RMB3
    cpu_step();
    EXPECT_EQ(peek(0x0011), 0x01); // SMB0
    cpu_step();
    EXPECT_EQ(peek(0x0011), 0x81); // SMB7
    EXPECT_EQ(R().flag_n, 1);
    EXPECT_EQ(R().flag_z, 0);
    EXPECT_EQ(R().cycles, 15u);
}

// ---- branches ----------------------------------------------------------------------

TEST_F(Cpu, BranchTargetsAndTiming)
{
    cpu_test_code(0x10FE, {0xD0, 0x7F}); // BNE +$7F, taken
    R().flag_z = 0;
    cpu_step();
    EXPECT_EQ(R().pc, 0x117F);
    EXPECT_EQ(R().cycles, 3u);

    cpu_test_code(0x10FE, {0xD0, 0x80}); // BNE -$80
    cpu_step();
    EXPECT_EQ(R().pc, 0x1080);

    R().cycles = 0;
    cpu_test_code(0x10FE, {0xD0, 0x7F});
    R().flag_z = 1;
    cpu_step();
    EXPECT_EQ(R().pc, 0x1100);
    EXPECT_EQ(R().cycles, 2u);

    R().cycles = 0;
    cpu_test_code(0xFFFE, {0x80, 0x05}); // BRA wraps at 64K
    cpu_step();
    EXPECT_EQ(R().pc, 0x0005);
    EXPECT_EQ(R().cycles, 3u);
}

// ---- subroutines, stack, BRK, COP -------------------------------------------------

TEST_F(Cpu, JsrPushesTheLastByteOfTheInstructionAndRtsReturnsPastIt)
{
    cpu_test_code(0x0300, {0x20, 0x00, 0x40});
    poke(0x4000, {0x60});
    cpu_step();
    EXPECT_EQ(R().pc, 0x4000);
    EXPECT_EQ(R().s, 0xFD);
    EXPECT_EQ(peek(0x01FF), 0x03);
    EXPECT_EQ(peek(0x01FE), 0x02);
    cpu_step();
    EXPECT_EQ(R().pc, 0x0303);
    EXPECT_EQ(R().s, 0xFF);
    EXPECT_EQ(R().cycles, 12u);
}

TEST_F(Cpu, PullAndPushOfStatusKeepTheStoredBreakFlag)
{
    poke(0x01FF, {0x10});
    R().s = 0xFE;
    cpu_test_code(0x0300, {0x28, 0x08, 0x28});
    cpu_step(); // PLP $10
    EXPECT_EQ(R().flag_b, 1);
    EXPECT_EQ(R().flag_c | R().flag_z | R().flag_i | R().flag_d | R().flag_v | R().flag_n, 0);
    cpu_step(); // PHP
    EXPECT_EQ(peek(0x01FF), 0x30);
    EXPECT_EQ(R().s, 0xFE);

    poke(0x01FF, {0xCF}); // every flag but B
    cpu_step();
    EXPECT_EQ(R().flag_b, 0);
    EXPECT_EQ(R().flag_n & R().flag_v & R().flag_d & R().flag_i & R().flag_z & R().flag_c, 1);
    EXPECT_EQ(cpu_pack_p(), 0xEF);
    // Pushes of P by PHP carry bit 4 whatever B holds.
    cpu_test_code(0x0300, {0x08});
    cpu_step();
    EXPECT_EQ(peek(0x01FF), 0xFF);
    EXPECT_EQ(R().flag_b, 0);
}

TEST_F(Cpu, BrkPushesAndTheNextEntryLoadsTheVector)
{
    poke(0xFFFE, {0x00, 0x90});
    poke(0x9000, {0xEA});
    cpu_test_code(0x0800, {0x00, 0xFF});
    R().flag_d = 1;
    R().flag_b = 0;
    EXPECT_FALSE(cpu_step());
    EXPECT_EQ(R().pc, 0x0802);
    EXPECT_EQ(R().cycles, 0u);
    EXPECT_EQ(peek(0x01FF), 0x08);
    EXPECT_EQ(peek(0x01FE), 0x02);
    EXPECT_EQ(peek(0x01FD), 0x38); // D was set when pushed; bit 4 forced
    EXPECT_EQ(R().flag_b, 0);
    EXPECT_EQ(R().flag_i, 1);
    EXPECT_EQ(R().flag_d, 0);
    EXPECT_EQ(machine.cpu.cpu_pending, PENDING_BREAK);

    EXPECT_TRUE(cpu_step()); // vector, then the NOP there
    EXPECT_EQ(R().pc, 0x9001);
    EXPECT_EQ(R().cycles, 7u + 2u);
    EXPECT_EQ(machine.cpu.cpu_pending, 0);

    // RTI resumes two bytes after the BRK opcode.
    cpu_test_code(0x9001, {0x40});
    cpu_step();
    EXPECT_EQ(R().pc, 0x0802);
    EXPECT_EQ(R().flag_d, 1);
    EXPECT_EQ(R().flag_b, 1);
}

TEST_F(Cpu, ExecuteReturnsAfterBrkOnly)
{
    poke(0xFFFE, {0x00, 0x90});
    cpu_test_code(0x0300, {0xA9, 0x42, 0xE8, 0x00, 0x00});
    cpu_execute();
    EXPECT_EQ(R().a, 0x42);
    EXPECT_EQ(R().x, 1);
    EXPECT_EQ(R().pc, 0x0305);
    EXPECT_EQ(R().cycles, 4u);
}

TEST_F(Cpu, CopHandsTheRegistersOverAndResumesAfterTheTrap)
{
    // $F847 is a trap whose service does nothing.
    cpu_test_code(0xF847, {0x02, 0xE8});
    R().a = 0x11;
    R().x = 0x22;
    R().y = 0x33;
    R().s = 0xE0;
    R().flag_c = R().flag_n = 1;
    cpu_step();
    const CopFrame& f = machine.cpu.cop_frame;
    EXPECT_EQ(f.pc, 0xF848);
    EXPECT_EQ(f.a, 0x11);
    EXPECT_EQ(f.x, 0x22);
    EXPECT_EQ(f.y, 0x33);
    EXPECT_EQ(f.s, 0xE0);
    EXPECT_EQ(f.p, 0xA1); // B as stored (0)
    EXPECT_EQ(R().pc, 0xF848);
    EXPECT_EQ(R().a, 0x11);
    EXPECT_EQ(R().x, 0x22);
    EXPECT_EQ(R().y, 0x33);
    EXPECT_EQ(R().s, 0xE0);
    EXPECT_EQ(cpu_pack_p(), 0xA1);
    EXPECT_EQ(R().cycles, 0u);
    cpu_step();
    EXPECT_EQ(R().x, 0x23);
}

// ---- no-ops -------------------------------------------------------------------------

TEST_F(Cpu, NoOpColumnsSkipAndCharge)
{
    cpu_test_code(0x0300, {0x0F, 0x12, 0x34, 0x0B, 0x5C, 0x00, 0x20, 0x44, 0x10, 0xEA});
    cpu_step();
    EXPECT_EQ(R().pc, 0x0303);
    EXPECT_EQ(R().cycles, 0u);
    cpu_step();
    EXPECT_EQ(R().pc, 0x0304);
    EXPECT_EQ(R().cycles, 1u);
    cpu_step();
    EXPECT_EQ(R().pc, 0x0307);
    EXPECT_EQ(R().cycles, 9u);
    cpu_step();
    EXPECT_EQ(R().pc, 0x0309);
    EXPECT_EQ(R().cycles, 12u);
    EXPECT_EQ(R().a | R().x | R().y, 0);
    EXPECT_EQ(cpu_pack_p(), 0x20);
}

// ---- requests and the periodic call -------------------------------------------------

TEST_F(Cpu, ResetServiceLoadsTheVectorClearsDecimalAndKeepsTheRest)
{
    poke(0xFFFC, {0x00, 0x70});
    poke(0x7000, {0x0F, 0, 0});
    R().a = 0x12;
    R().s = 0x80;
    R().flag_d = R().flag_i = 1;
    R().cycles = 100;
    cpu_request_reset();
    cpu_step();
    EXPECT_EQ(R().pc, 0x7003);
    EXPECT_EQ(R().cycles, 105u);
    EXPECT_EQ(R().flag_d, 0);
    EXPECT_EQ(R().flag_i, 1);
    EXPECT_EQ(R().a, 0x12);
    EXPECT_EQ(R().s, 0x80);
    EXPECT_EQ(machine.cpu.cpu_pending, 0);

    // Unknown request bits are dropped, not serviced forever.
    machine.cpu.cpu_pending = 0x0D | 0x40;
    cpu_test_code(0x0300, {0xEA});
    cpu_step();
    EXPECT_EQ(R().pc, 0x0301);
    EXPECT_EQ(machine.cpu.cpu_pending, 0);
}

TEST_F(Cpu, PeriodicCallKeepsItsPhase)
{
    // The event routine runs at each call; give it a surface to draw on.
    ASSERT_TRUE(test_open_surface());
    cpu_test_code(0x0300, {0x4C, 0x00, 0x03}); // JMP * : 3 cycles a pass
    machine.cpu.poll_interval = 65;
    machine.cpu.poll_mark = 0;
    std::vector<uint32_t> starts;
    std::vector<uint32_t> marks;
    while (marks.size() < 4) {
        const uint32_t start = R().cycles;
        const uint32_t mark = machine.cpu.poll_mark;
        cpu_step();
        if (machine.cpu.poll_mark != mark) {
            starts.push_back(start);
            marks.push_back(machine.cpu.poll_mark);
        }
    }
    EXPECT_EQ(marks, (std::vector<uint32_t>{65, 130, 195, 260}));
    // First pass starting with at least 65 cycles past the previous mark.
    EXPECT_EQ(starts, (std::vector<uint32_t>{66, 132, 195, 261}));
    EXPECT_EQ(machine.cpu.run_stop, 0);
}

TEST_F(Cpu, PeriodicCallWrapsWithTheCycleCounter)
{
    ASSERT_TRUE(test_open_surface());
    cpu_test_code(0x0300, {0x4C, 0x00, 0x03});
    R().cycles = 0xFFFFFFF0u;
    machine.cpu.poll_mark = 0xFFFFFFF0u;
    machine.cpu.poll_interval = 65;
    while (machine.cpu.poll_mark == 0xFFFFFFF0u) cpu_step();
    EXPECT_EQ(machine.cpu.poll_mark, 0x31u); // $FFFFFFF0 + 65
    EXPECT_EQ(R().cycles, 0x35u);            // the pass starting at $32 (66 past) made it
}

TEST_F(Cpu, RunLoopResetsAndStopsAtABreakOnceAskedTo)
{
    poke(0xFFFC, {0x00, 0x60});
    poke(0x6000, {0xA9, 0x42, 0x00, 0x00});
    machine.cpu.run_stop = 1;
    R().flag_d = 1;
    R().a = 0x99;
    cpu_run();
    EXPECT_EQ(R().a, 0x42);
    EXPECT_EQ(R().pc, 0x6004);
    EXPECT_EQ(R().s, 0xFC);
    EXPECT_EQ(R().cycles, 5u + 2u);
    EXPECT_EQ(machine.cpu.poll_interval, 65u);
    EXPECT_EQ(machine.cpu.cpu_pending, PENDING_BREAK);
    EXPECT_EQ(machine.cpu.run_stop, 1); // not cleared by the loop
}

} // namespace
