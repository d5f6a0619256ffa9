#include "support/test_support.h"
#include "cpu/cpu.h"

TEST(Registers, PackingPutsEachFlagInItsBitAndBit5AlwaysSet)
{
    test_reset_machine();
    EXPECT_EQ(cpu_pack_p(), 0x20);
    CpuRegisters& r = machine.cpu.reg;
    r.flag_n = r.flag_v = r.flag_b = r.flag_d = r.flag_i = r.flag_z = r.flag_c = 1;
    EXPECT_EQ(cpu_pack_p(), 0xFF);
    const uint8_t bits[7] = {0x80, 0x40, 0x10, 0x08, 0x04, 0x02, 0x01};
    for (uint8_t bit : bits) {
        cpu_unpack_p(bit);
        EXPECT_EQ(cpu_pack_p(), 0x20 | bit) << std::hex << int(bit);
    }
    cpu_unpack_p(0x20);
    EXPECT_EQ(cpu_pack_p(), 0x20);
    EXPECT_EQ(r.flag_n | r.flag_v | r.flag_b | r.flag_d | r.flag_i | r.flag_z | r.flag_c, 0);
}

TEST(Registers, PowerOnResetAndRequests)
{
    test_reset_machine();
    CpuState& c = machine.cpu;
    c.reg.a = c.reg.x = c.reg.y = 0x12;
    c.reg.s = 0x40;
    c.reg.flag_d = c.reg.flag_i = c.reg.flag_b = 1;
    c.reg.cycles = 1234;
    c.poll_mark = 99;
    c.reg.pc = 0x4321;
    cpu_reset();
    EXPECT_EQ(c.reg.a | c.reg.x | c.reg.y, 0);
    EXPECT_EQ(c.reg.s, 0xFF);
    EXPECT_EQ(cpu_pack_p(), 0x20);
    EXPECT_EQ(c.reg.cycles, 0u);
    EXPECT_EQ(c.poll_mark, 0u);
    EXPECT_EQ(c.poll_interval, 65u);
    EXPECT_EQ(c.cpu_pending, PENDING_RESET);
    EXPECT_EQ(cpu_get_pc(), 0x4321); // loaded from the vector later, not here

    c.cpu_pending = PENDING_BREAK | 0x40;
    cpu_request_reset();
    EXPECT_EQ(c.cpu_pending, PENDING_RESET);

    cpu_set_pc(0xE003);
    EXPECT_EQ(cpu_get_pc(), 0xE003);
    EXPECT_EQ(cpu_cycles(), 0u);
}
