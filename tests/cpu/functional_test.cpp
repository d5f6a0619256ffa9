// Klaus Dormann's 6502 functional test, run instruction by instruction until
// the program counter stops moving. Only the success trap counts as a pass:
// every failure check of the program is a jump to itself as well.
#include <cstdio>
#include "cpu_test.h"

namespace {

constexpr const char* kImage = "cpu/6502_functional_test.bin";
constexpr uint16_t kSuccessTrap = 0x3469;

TEST(FunctionalTest, DormannSuiteEndsAtTheSuccessTrap)
{
    SKIP_WITHOUT_TESTDATA(kImage);
    const std::vector<uint8_t> image = read_file(testdata(kImage));
    ASSERT_EQ(image.size(), 65536u);

    cpu_test_reset();
    // The top 12K goes into the language card's RAM; the I/O and slot area
    // is left alone (the test needs nothing there).
    for (uint32_t a = 0; a < 0x10000; ++a)
        if (a < 0xC000 || a >= 0xD000) write_byte(static_cast<uint16_t>(a), image[a]);
    for (uint32_t a : {0x0400u, 0xD000u, 0xFFFAu, 0xFFFEu, 0xFFFFu})
        ASSERT_EQ(peek(static_cast<uint16_t>(a)), image[a]) << "image not in place at " << a;
    machine.cpu.reg.pc = 0x0400;

    constexpr uint64_t kBudget = 200'000'000; // cycles; the suite needs about 96 million
    uint64_t spent = 0;
    uint16_t before;
    do {
        before = machine.cpu.reg.pc;
        const uint32_t c0 = machine.cpu.reg.cycles;
        cpu_step();
        spent += machine.cpu.reg.cycles - c0;
    } while (machine.cpu.reg.pc != before && spent < kBudget);

    char where[96];
    std::snprintf(where, sizeof where, "stopped at pc $%04X, test number $%02X, after %llu cycles",
                  machine.cpu.reg.pc, machine.mem.ram[0x0200], static_cast<unsigned long long>(spent));
    EXPECT_EQ(machine.cpu.reg.pc, kSuccessTrap) << where;
}

} // namespace
