// Our slot-5 card ROM called the way ProDOS calls it: the identification
// bytes, the driver's results and error codes for each command, and the
// check that the image holds no address of its own.
#include <array>

#include "integration_support.h"
#include "memory/memory.h"

namespace {

constexpr int BLOCK = 512;
constexpr uint16_t BUFFER = 0x2000;
constexpr uint16_t RESULT = 0x00F0; // A, X, Y, P after the call

// Every byte differs from its neighbours' blocks, and block 0 starts with
// $00 so the card's boot code does not take it for a boot block.
std::vector<uint8_t> pattern(int blocks)
{
    std::vector<uint8_t> v(static_cast<size_t>(blocks) * BLOCK);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i * 5 + i / BLOCK * 11);
    return v;
}

std::vector<uint8_t> part(const std::vector<uint8_t>& v, int block)
{
    return {v.begin() + block * BLOCK, v.begin() + (block + 1) * BLOCK};
}

struct DriverResult {
    uint8_t a, x, y;
    bool carry;
};

struct CardDriver : ::testing::Test {
    TempWorkDir wd;
    UseBuiltFirmware firmware;
    std::vector<uint8_t> unit0 = pattern(8);

    void SetUp() override { test_reset_machine(); }
    void TearDown() override { close_storage(); }

    // The ][+ started with unit 0 present: nothing in it boots, so the
    // machine waits in BASIC and the test can borrow the processor.
    bool start(bool with_unit1 = false)
    {
        write_file("hdv1.hdv", unit0);
        if (with_unit1) copy_file(testdata("hdv/prodos-800k.po"), "hdv2.hdv");
        test_startup({});
        return run_until_bare_prompt(']', 50'000'000);
    }

    uint8_t peek(uint16_t a) { return read_byte(a); }
    std::vector<uint8_t> memory(uint16_t a, int n)
    {
        std::vector<uint8_t> v;
        for (int i = 0; i < n; ++i) v.push_back(read_byte(static_cast<uint16_t>(a + i)));
        return v;
    }
    void fill(uint16_t a, const std::vector<uint8_t>& bytes)
    {
        for (size_t i = 0; i < bytes.size(); ++i) write_byte(static_cast<uint16_t>(a + i), bytes[i]);
    }

    // JSR to the driver entry the ROM names at $C5FF, then keep A, X, Y
    // and P in zero page and stop on a jump to itself.
    DriverResult call(uint8_t command, uint8_t unit, uint16_t block, uint16_t buffer = BUFFER)
    {
        const uint16_t entry = static_cast<uint16_t>(0xC500 + peek(0xC5FF));
        const std::array<uint8_t, 16> program{
            0x20, static_cast<uint8_t>(entry), static_cast<uint8_t>(entry >> 8), // JSR driver
            0x08,                                                                 // PHP
            0x85, RESULT, 0x86, RESULT + 1, 0x84, RESULT + 2,                     // STA/STX/STY
            0x68, 0x85, RESULT + 3,                                               // PLA, STA
            0x4C, 0x0D, 0x03,                                                     // JMP *
        };
        fill(0x0300, {program.begin(), program.end()});
        fill(0x42, {command, unit, static_cast<uint8_t>(buffer), static_cast<uint8_t>(buffer >> 8),
                    static_cast<uint8_t>(block), static_cast<uint8_t>(block >> 8)});
        fill(RESULT, {0xEE, 0xEE, 0xEE, 0xEE});
        machine.cpu.reg.pc = 0x0300;
        for (int i = 0; i < 100000 && machine.cpu.reg.pc != 0x030D; ++i) run_cycles(1);
        EXPECT_EQ(machine.cpu.reg.pc, 0x030D) << "the driver did not return";
        return {peek(RESULT), peek(RESULT + 1), peek(RESULT + 2), (peek(RESULT + 3) & 1) != 0};
    }
};

constexpr uint8_t STATUS = 0, READ = 1, WRITE = 2, FORMAT = 3;
constexpr uint8_t DRIVE1 = 0x50, DRIVE2 = 0xD0; // slot 5 in bits 6-4, drive in bit 7

} // namespace

// What the ][+ boot scan and ProDOS read to recognise and install the card.
TEST_F(CardDriver, IdentificationBytes)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"});
    ASSERT_TRUE(start()) << screen_dump();
    EXPECT_EQ(peek(0xC501), 0x20);
    EXPECT_EQ(peek(0xC503), 0x00);
    EXPECT_EQ(peek(0xC505), 0x03);
    EXPECT_EQ(peek(0xC507), 0x3C); // not $00: no SmartPort
    EXPECT_EQ(peek(0xC5FC), 0x00); // block count from STATUS
    EXPECT_EQ(peek(0xC5FD), 0x00);
    EXPECT_EQ(peek(0xC5FE) & 0x0F, 0x0F);  // status, read, write, format
    EXPECT_EQ(peek(0xC5FE) & 0x30, 0x10);  // a second volume
    EXPECT_EQ(peek(0xC5FE) & 0xC0, 0x00);  // fixed, no interrupts
    EXPECT_NE(peek(0xC5FF), 0x00);         // $00 would mean a Disk II
    EXPECT_NE(peek(0xC5FF), 0xFF);         // $FF a 13-sector Disk II
}

TEST_F(CardDriver, ReadWriteAndStatusSucceedWithCarryClear)
{
    ASSERT_FIRMWARE_BUILT();
    SKIP_WITHOUT_TESTDATA("hdv/prodos-800k.po");
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"});
    ASSERT_TRUE(start(true)) << screen_dump();

    DriverResult r = call(STATUS, DRIVE1, 0);
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(r.a, 0x00);
    EXPECT_EQ(r.x | r.y << 8, 8);
    r = call(STATUS, DRIVE2, 0); // the 800K volume
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(r.a, 0x00);
    EXPECT_EQ(r.x | r.y << 8, 1600);

    r = call(READ, DRIVE1, 3);
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(r.a, 0x00);
    EXPECT_EQ(memory(BUFFER, BLOCK), part(unit0, 3));
    r = call(READ, DRIVE2, 2, 0x4000); // drive 2 is the other file
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(memory(0x4000, BLOCK), part(read_file("hdv2.hdv"), 2));

    const std::vector<uint8_t> data = part(pattern(16), 11);
    fill(0x6000, data);
    r = call(WRITE, DRIVE1, 5, 0x6000);
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(r.a, 0x00);
    EXPECT_EQ(part(read_file("hdv1.hdv"), 5), data);
    EXPECT_EQ(part(read_file("hdv1.hdv"), 4), part(unit0, 4));
}

TEST_F(CardDriver, ErrorsComeBackInAWithCarrySet)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"});
    ASSERT_TRUE(start()) << screen_dump(); // no hdv2.hdv

    fill(BUFFER, std::vector<uint8_t>(BLOCK, 0xA5));
    DriverResult r = call(READ, DRIVE2, 0); // no file behind drive 2
    EXPECT_TRUE(r.carry);
    EXPECT_EQ(r.a, 0x28);
    r = call(WRITE, DRIVE2, 0);
    EXPECT_TRUE(r.carry);
    EXPECT_EQ(r.a, 0x28);
    EXPECT_FALSE(file_exists("hdv2.hdv"));

    for (uint16_t block : {8, 1600, 0xFFFF}) { // the unit has blocks 0-7
        r = call(READ, DRIVE1, block);
        EXPECT_TRUE(r.carry) << block;
        EXPECT_EQ(r.a, 0x27) << block;
    }
    EXPECT_EQ(memory(BUFFER, BLOCK), std::vector<uint8_t>(BLOCK, 0xA5));

    machine.ms.units[0].write_protected = 1;
    r = call(WRITE, DRIVE1, 1);
    EXPECT_TRUE(r.carry);
    EXPECT_EQ(r.a, 0x2B);
    r = call(FORMAT, DRIVE1, 0);
    EXPECT_TRUE(r.carry);
    EXPECT_EQ(r.a, 0x2B);
    EXPECT_EQ(read_file("hdv1.hdv"), unit0);
    // Reading a protected unit still works.
    r = call(READ, DRIVE1, 7);
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(memory(BUFFER, BLOCK), part(unit0, 7));

    r = call(4, DRIVE1, 0); // no such command
    EXPECT_TRUE(r.carry);
    EXPECT_EQ(r.a, 0x01);
}

TEST_F(CardDriver, FormatGrowsTheUnitTo1600Blocks)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"});
    ASSERT_TRUE(start()) << screen_dump();
    DriverResult r = call(FORMAT, DRIVE1, 0);
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(r.a, 0x00);
    EXPECT_EQ(read_file("hdv1.hdv").size(), 1600u * BLOCK);
    r = call(STATUS, DRIVE1, 0);
    EXPECT_EQ(r.x | r.y << 8, 1600);
    r = call(READ, DRIVE1, 1599);
    EXPECT_FALSE(r.carry);
}

// The image linked for slot 7 equals the slot-5 one byte for byte: the code
// holds no address of its own and runs wherever the card sits.
TEST(CardRom, SameImageInEverySlot)
{
    ASSERT_FIRMWARE_BUILT();
    const std::vector<uint8_t> slot5 = read_file(firmware_dir + "/massstor.rom");
    const std::vector<uint8_t> slot7 = read_file(KALVORAN_BINARY_DIR "/firmware/massstor-c700.rom");
    ASSERT_EQ(slot5.size(), 256u);
    EXPECT_EQ(slot7, slot5);
}
