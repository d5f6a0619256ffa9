// BLOAD of files built here: header, wrap-around, short files, and the Disk
// II switches that a load leaves alone.
#include <vector>
#include "events_support.h"

class BloadTest : public FrontendEventTest {
protected:
    TempWorkDir dir;
};

static std::vector<uint8_t> body(int n, uint8_t first)
{
    std::vector<uint8_t> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<uint8_t>(first + i));
    return v;
}

static std::vector<uint8_t> file_with(std::vector<uint8_t> header, const std::vector<uint8_t>& data)
{
    header.insert(header.end(), data.begin(), data.end());
    return header;
}

TEST_F(BloadTest, LoadsTheBodyAtTheHeaderAddress)
{
    // Anything after the body is ignored.
    write_file("prog.bin", file_with({0x00, 0x08, 0x10, 0x00}, body(20, 0x40)));
    bload("prog.bin");
    EXPECT_EQ(status_text(), padded("Loaded: prog.bin A02048 $0800 L00016 $0010"));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(read_byte(static_cast<uint16_t>(0x800 + i)), 0x40 + i);
    EXPECT_EQ(read_byte(0x810), 0x00);
    EXPECT_EQ(read_byte(0x7FF), 0x00);
}

TEST_F(BloadTest, ZeroLengthStoresNothing)
{
    write_file("zero.bin", {0x00, 0x03, 0x00, 0x00, 0x77});
    bload("zero.bin");
    EXPECT_EQ(status_text(), padded("Loaded: zero.bin A00768 $0300 L00000 $0000"));
    EXPECT_EQ(read_byte(0x300), 0x00);
}

TEST_F(BloadTest, AddressesWrapAtSixteenBits)
{
    write_file("wrap.bin", file_with({0xF0, 0xFF, 0x20, 0x00}, body(32, 0x80)));
    bload("wrap.bin");
    EXPECT_EQ(status_text(), padded("Loaded: wrap.bin A65520 $FFF0 L00032 $0020"));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(read_byte(static_cast<uint16_t>(i)), 0x90 + i);
    EXPECT_EQ(read_byte(0x10), 0x00);
    // The first half went where stores to $FFF0-$FFFF go: RAM under the
    // stand-in map, nowhere (ROM, language card write-protected) under the real one.
    const bool real_map = keyboard_latch_wired();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(machine.mem.ram[0xFFF0 + i], real_map ? 0x00 : 0x80 + i);
}

TEST_F(BloadTest, ShortBodyIsFilledWithFF)
{
    write_file("short.bin", {0x00, 0x10, 0x10, 0x00, 1, 2, 3, 4});
    bload("short.bin");
    EXPECT_EQ(status_text(), padded("Loaded: short.bin A04096 $1000 L00016 $0010"));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(read_byte(static_cast<uint16_t>(0x1000 + i)), i + 1);
    for (int i = 4; i < 16; ++i) EXPECT_EQ(read_byte(static_cast<uint16_t>(0x1000 + i)), 0xFF);
    EXPECT_EQ(read_byte(0x1010), 0x00);
}

TEST_F(BloadTest, FileShorterThanItsHeaderIsRefused)
{
    write_file("empty.bin", {});
    write_file("three.bin", {0x00, 0x20, 0x10});
    bload("empty.bin");
    EXPECT_EQ(status_text(), padded("File empty.bin is too short to load!"));
    bload("three.bin");
    EXPECT_EQ(status_text(), padded("File three.bin is too short to load!"));
    // Loaded, these would have filled memory from $FFFF or $2000 with $FF.
    for (uint16_t a : {0x0000, 0x0100, 0x2000, 0x20FF, 0x9000}) EXPECT_EQ(read_byte(a), 0x00) << a;
}

TEST_F(BloadTest, UnopenableFileLeavesMemoryAlone)
{
    bload("nosuch.bin");
    EXPECT_EQ(status_text(), padded("Cannot open file nosuch.bin!"));
    // A name longer than the line shows its first 80 characters.
    const std::string name(100, 'n');
    bload(name.c_str());
    EXPECT_EQ(status_text(), "Cannot open file " + name.substr(0, 63));
}

TEST_F(BloadTest, DiskSwitchesAreNotStoredTo)
{
    write_file("io.bin", file_with({0xD8, 0xC0, 0x20, 0x00}, body(32, 1)));
    bload("io.bin");
    EXPECT_EQ(status_text(), padded("Loaded: io.bin A49368 $C0D8 L00032 $0020"));
    if (keyboard_latch_wired()) {
        // The real map sends $C0xx to the I/O page: the drives stay idle.
        for (const DiskDrive& d : machine.disk.drive) EXPECT_EQ(d.motor, 0);
        GTEST_SKIP() << "I/O page in place: RAM at $C0xx is not a store target; drive check only";
    }
    // Under the stand-in map every store lands in RAM, so the gap is visible.
    for (int i = 0; i < 8; ++i) EXPECT_EQ(machine.mem.ram[0xC0D8 + i], 1 + i);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(machine.mem.ram[0xC0E0 + i], 0x00);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(machine.mem.ram[0xC0F0 + i], 25 + i);
}
