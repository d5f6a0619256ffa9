#include <sys/stat.h>

#include "memory/memory.h"
#include "storage/massstor.h"
#include "storage_test_util.h"

namespace {

constexpr uint16_t MS = 0xC0D0;

struct BlockDevice : ::testing::Test {
    TempWorkDir dir;
    void SetUp() override { test_reset_machine(); }
    void TearDown() override { ms_close_all(); }

    void reg(int n, uint8_t v) { ms_io_write(static_cast<uint16_t>(MS + n), v); }
    uint8_t get(int n) { return ms_io_read(static_cast<uint16_t>(MS + n)); }
    void setup(uint8_t unit, uint16_t block, uint16_t address)
    {
        reg(1, unit);
        reg(2, static_cast<uint8_t>(address));
        reg(3, static_cast<uint8_t>(address >> 8));
        reg(4, static_cast<uint8_t>(block));
        reg(5, static_cast<uint8_t>(block >> 8));
    }
    uint16_t block_regs() { return static_cast<uint16_t>(get(4) | get(5) << 8); }
    std::vector<uint8_t> memory(uint16_t address, int n)
    {
        std::vector<uint8_t> v;
        for (int i = 0; i < n; ++i) v.push_back(read_byte(static_cast<uint16_t>(address + i)));
        return v;
    }
    void fill_memory(uint16_t address, int n, uint8_t seed)
    {
        for (int i = 0; i < n; ++i) write_byte(static_cast<uint16_t>(address + i), static_cast<uint8_t>(i * 3 + seed));
    }
};

std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t offset, size_t n)
{
    return {v.begin() + static_cast<long>(offset), v.begin() + static_cast<long>(offset + n)};
}

size_t file_size(const char* name)
{
    struct stat st;
    return ::stat(name, &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

TEST_F(BlockDevice, StatusGivesTheBlockCount)
{
    write_file("hdv1.hdv", std::vector<uint8_t>(1 << 20, 0));
    write_file("hdv2.hdv", {});
    ms_mount_defaults();
    setup(0, 0, 0);
    reg(0, 0);
    EXPECT_EQ(block_regs(), 2048);
    EXPECT_EQ(get(7), 0x00);
    setup(1, 0, 0);
    reg(0, 0);
    EXPECT_EQ(block_regs(), 1600); // empty
    setup(2, 0, 0);
    reg(0, 0);
    EXPECT_EQ(block_regs(), 1600); // no file
    EXPECT_EQ(get(7), 0x00);
    // Each unit keeps its own block number.
    reg(1, 0);
    EXPECT_EQ(block_regs(), 2048);
}

TEST_F(BlockDevice, RegistersReadBack)
{
    ms_mount_defaults();
    setup(3, 0x1234, 0xABCD);
    reg(6, 0x5E);
    EXPECT_EQ(get(1), 3);
    EXPECT_EQ(get(2), 0xCD);
    EXPECT_EQ(get(3), 0xAB);
    EXPECT_EQ(get(4), 0x34);
    EXPECT_EQ(get(5), 0x12);
    EXPECT_EQ(get(6), 0x5E);
    EXPECT_EQ(get(0), 0xFF);
    for (int n = 8; n < 16; ++n) EXPECT_EQ(get(n), 0xFF) << n;
    reg(0, 1); // no file behind unit 3
    EXPECT_EQ(get(7), 0x28);
    reg(6, 0); // every store clears the status
    EXPECT_EQ(get(7), 0x00);
}

TEST_F(BlockDevice, ReadIsCachedUntilTheBlockNumberChanges)
{
    write_file("hdv1.hdv", image_bytes(64 * 512));
    ms_mount_defaults();
    setup(0, 3, 0x7000);
    reg(0, 1);
    EXPECT_EQ(get(7), 0x00);
    EXPECT_EQ(memory(0x7000, 512), file_part("hdv1.hdv", 3 * 512, 512));
    // Mark the unit's block buffer: a second read is served from it, not the file.
    machine.ms.units[0].block[0] ^= 0xFF;
    fill_memory(0x7000, 512, 9);
    reg(0, 1);
    std::vector<uint8_t> cached = file_part("hdv1.hdv", 3 * 512, 512);
    cached[0] ^= 0xFF;
    EXPECT_EQ(memory(0x7000, 512), cached);
    // Touching the block number sends the next read to the file.
    reg(4, 3);
    reg(0, 1);
    EXPECT_EQ(memory(0x7000, 512), file_part("hdv1.hdv", 3 * 512, 512));
}

TEST_F(BlockDevice, TransferWrapsAtTheTopOfMemory)
{
    write_file("hdv1.hdv", image_bytes(8 * 512));
    ms_mount_defaults();
    write_byte(0x0100, 0x77);
    setup(0, 1, 0xFF00);
    reg(0, 1);
    EXPECT_EQ(memory(0x0000, 256), file_part("hdv1.hdv", 512 + 256, 256));
    EXPECT_EQ(read_byte(0x0100), 0x77);
}

TEST_F(BlockDevice, WriteReachesTheFileAtOnceAndReadsBack)
{
    write_file("hdv1.hdv", image_bytes(16 * 512));
    ms_mount_defaults();
    fill_memory(0x8000, 512, 1);
    const std::vector<uint8_t> written = memory(0x8000, 512);
    setup(0, 7, 0x8000);
    reg(0, 2);
    EXPECT_EQ(get(7), 0x00);
    EXPECT_EQ(file_part("hdv1.hdv", 7 * 512, 512), written); // flushed, not just buffered
    EXPECT_EQ(file_part("hdv1.hdv", 6 * 512, 512), slice(image_bytes(16 * 512), 6 * 512, 512));
    fill_memory(0x9000, 512, 200);
    setup(0, 7, 0x9000);
    reg(0, 1);
    EXPECT_EQ(memory(0x9000, 512), written);
}

TEST_F(BlockDevice, FormatMakesExactly1600Blocks)
{
    write_file("hdv1.hdv", {});
    ms_mount_defaults();
    setup(0, 0, 0);
    reg(0, 3);
    EXPECT_EQ(get(7), 0x00);
    EXPECT_EQ(file_size("hdv1.hdv"), 819200u);
    reg(0, 0);
    EXPECT_EQ(block_regs(), 1600);
    machine.ms.units[0].write_protected = 1;
    reg(0, 3);
    EXPECT_EQ(get(7), 0x2B);
    reg(0, 2);
    EXPECT_EQ(get(7), 0x2B);
    ms_close_all();
    EXPECT_TRUE(file_exists("hdv1.hdv"));
}

TEST_F(BlockDevice, MissingUnitsReportNoDevice)
{
    ms_mount_defaults(); // neither file exists, and neither is created
    EXPECT_FALSE(file_exists("hdv1.hdv"));
    for (uint8_t cmd : {1, 2, 3}) {
        setup(1, 5, 0x7000);
        reg(0, cmd);
        EXPECT_EQ(get(7), 0x28) << int(cmd);
    }
    EXPECT_FALSE(file_exists("hdv2.hdv"));
    reg(0, 9); // unknown command
    EXPECT_EQ(get(7), 0x00);
}

TEST_F(BlockDevice, UnitNumbersAboveThreeNameNoUnit)
{
    write_file("hdv1.hdv", image_bytes(8 * 512));
    ms_mount_defaults();
    setup(0, 2, 0x7000);
    const MassStorage before = machine.ms;
    for (int unit : {4, 0x80, 0xFF}) {
        reg(1, static_cast<uint8_t>(unit));
        reg(4, 0x55);
        reg(5, 0x66);
        EXPECT_EQ(block_regs(), 0);
        for (uint8_t cmd : {0, 1, 2, 3}) {
            reg(0, cmd);
            EXPECT_EQ(get(7), 0x28);
        }
    }
    for (int u = 0; u < 4; ++u) {
        EXPECT_EQ(machine.ms.units[u].block_number, before.units[u].block_number);
        EXPECT_EQ(machine.ms.units[u].block, before.units[u].block);
    }
    EXPECT_EQ(read_file("hdv1.hdv"), image_bytes(8 * 512));
}

TEST_F(BlockDevice, CloseDeletesOnlyFilesThatStayedEmpty)
{
    write_file("hdv1.hdv", {});
    write_file("hdv2.hdv", {});
    ms_mount_defaults();
    // Unit 2 is written without a format command: its data must survive.
    fill_memory(0x7000, 512, 4);
    setup(1, 0, 0x7000);
    reg(0, 2);
    ms_close_all();
    EXPECT_FALSE(file_exists("hdv1.hdv"));
    EXPECT_EQ(read_file("hdv2.hdv"), memory(0x7000, 512));
    EXPECT_EQ(machine.ms.units[0].fd, -1);
}

TEST_F(BlockDevice, ReadPastTheEndOfTheFileIsAnError)
{
    write_file("hdv1.hdv", image_bytes(512 + 100));
    ms_mount_defaults();
    setup(0, 0, 0x7000);
    reg(0, 1);
    // Only 100 bytes of block 1 exist: they come back, the rest is zeros,
    // not the leftovers of block 0 in the unit's buffer.
    setup(0, 1, 0x7000);
    reg(0, 1);
    EXPECT_EQ(get(7), 0x00);
    std::vector<uint8_t> want = file_part("hdv1.hdv", 512, 100);
    want.resize(512, 0);
    EXPECT_EQ(memory(0x7000, 512), want);
    // Block 2 starts at the end of the file and block $FFFF far past it:
    // both fail and leave memory alone.
    for (uint16_t block : {2, 0xFFFF}) {
        fill_memory(0x7000, 512, 5);
        const std::vector<uint8_t> before = memory(0x7000, 512);
        setup(0, block, 0x7000);
        reg(0, 1);
        EXPECT_EQ(get(7), 0x27) << block;
        EXPECT_EQ(memory(0x7000, 512), before) << block;
        EXPECT_EQ(machine.ms.units[0].cached, 0) << block;
    }
    // An empty unit has no block 0 to read.
    write_file("hdv2.hdv", {});
    ms_mount_defaults();
    setup(1, 0, 0x7000);
    reg(0, 1);
    EXPECT_EQ(get(7), 0x27);
}

TEST_F(BlockDevice, StatusSaturatesAtTheLargestBlockCount)
{
    // 32 MiB is 65536 blocks, which the 16-bit registers would show as 0.
    for (off_t size : {off_t{32} << 20, (off_t{32} << 20) + 512, off_t{1} << 31}) {
        write_file("hdv1.hdv", {});
        ASSERT_EQ(::truncate("hdv1.hdv", size), 0);
        ms_mount_defaults();
        setup(0, 0, 0);
        reg(0, 0);
        EXPECT_EQ(block_regs(), 65535) << size;
        ms_close_all();
    }
    write_file("hdv1.hdv", {});
    ASSERT_EQ(::truncate("hdv1.hdv", (off_t{32} << 20) - 512), 0);
    ms_mount_defaults();
    reg(0, 0);
    EXPECT_EQ(block_regs(), 65535);
}

TEST_F(BlockDevice, SecondProcessMountsTheUnitsWriteProtected)
{
    write_file("hdv1.hdv", image_bytes(8 * 512));
    write_file("hdv2.hdv", {});
    ms_mount_defaults(); // this process holds both files now
    const ChildResult r = run_in_child([this] {
        ms_mount_defaults();
        std::printf("%d%d", machine.ms.units[0].write_protected, machine.ms.units[1].write_protected);
        fill_memory(0x7000, 512, 9);
        setup(0, 2, 0x7000);
        reg(0, 2);
        std::printf(" write %02X", get(7));
        reg(0, 3);
        std::printf(" format %02X", get(7));
        setup(0, 3, 0x8000);
        reg(0, 1);
        std::printf(" read %02X %d", get(7), memory(0x8000, 512) == slice(image_bytes(8 * 512), 3 * 512, 512));
        ms_close_all();
    });
    EXPECT_EQ(r.out, "11 write 2B format 2B read 00 1");
    // Nothing changed, and the empty file this process holds was not deleted.
    EXPECT_EQ(read_file("hdv1.hdv"), image_bytes(8 * 512));
    EXPECT_TRUE(file_exists("hdv2.hdv"));
    EXPECT_EQ(machine.ms.units[0].write_protected, 0);

    // The first process writes as ever; once it has let go, a new mount may too.
    fill_memory(0x7000, 512, 3);
    setup(0, 2, 0x7000);
    reg(0, 2);
    EXPECT_EQ(get(7), 0x00);
    EXPECT_EQ(file_part("hdv1.hdv", 2 * 512, 512), memory(0x7000, 512));
    ms_close_all();
    const ChildResult after = run_in_child([] {
        ms_mount_defaults();
        std::printf("%d", machine.ms.units[0].write_protected);
        ms_close_all();
    });
    EXPECT_EQ(after.out, "0");
}

TEST_F(BlockDevice, WritesGoStraightToTheFileAndReadsSeeOtherWriters)
{
    write_file("hdv1.hdv", image_bytes(8 * 512));
    ms_mount_defaults();
    setup(0, 1, 0x7000);
    reg(0, 1);
    // Another writer changes block 2 under us (as a tool would): the next read
    // of it comes from the file, not from any buffer of the stream.
    std::vector<uint8_t> changed(512, 0x5A);
    {
        FILE* f = std::fopen("hdv1.hdv", "r+b");
        ASSERT_NE(f, nullptr);
        std::fseek(f, 2 * 512, SEEK_SET);
        std::fwrite(changed.data(), 1, changed.size(), f);
        std::fclose(f);
    }
    setup(0, 2, 0x7000);
    reg(0, 1);
    EXPECT_EQ(memory(0x7000, 512), changed);
}

} // namespace
