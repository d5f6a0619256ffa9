// BLOAD of files built here: header, wrap-around, short files, and the Disk
// II switches that a load leaves alone.
#include <vector>
#include <cstdio>
#include "events_support.h"
#include "storage/disk.h"
#include "storage/massstor.h"

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

TEST_F(BloadTest, StorageRegistersAreNotStoredTo)
{
    // A hard disk and a floppy image that a stray load could otherwise
    // write: $C0D0 is the block device's command register (2 writes block 0
    // from memory, 3 formats), $C0E9 turns the Disk II motor on and $C0EF
    // writes the byte as a nibble.
    const std::vector<uint8_t> hd = body(8 * 512, 0x11);
    write_file("hdv1.hdv", hd);
    ms_mount_defaults();
    write_file("disk6a.dsk", std::vector<uint8_t>(143360, 0x00));
    DiskDrive& d = machine.disk.drive[0];
    std::snprintf(d.name.data(), d.name.size(), "disk6a.dsk");
    d.kind = 0;
    disk_mount(0);
    ASSERT_GE(d.fd, 0);
    const MassStorage registers = machine.ms;

    // 256 bytes at $BFF0 cover $C000-$C0EF.
    for (uint8_t command : {0x02, 0x03}) {
        std::vector<uint8_t> bytes(256, command);
        write_file("io.bin", file_with({0xF0, 0xBF, 0x00, 0x01}, bytes));
        bload("io.bin");
        EXPECT_EQ(status_text(), padded("Loaded: io.bin A49136 $BFF0 L00256 $0100"));
    }
    // The block device saw nothing: registers as they were, the unit file
    // neither written nor grown.
    EXPECT_EQ(ms_io_read(0xC0D6), registers.spare);
    EXPECT_EQ(machine.ms.unit, registers.unit);
    EXPECT_EQ(machine.ms.buffer_address, registers.buffer_address);
    EXPECT_EQ(machine.ms.units[0].block_number, registers.units[0].block_number);
    ms_close_all();
    EXPECT_EQ(read_file("hdv1.hdv"), hd);
    // Nor did the controller: motor off, no track changed.
    for (const DiskDrive& drive : machine.disk.drive) EXPECT_EQ(drive.motor, 0);
    EXPECT_EQ(d.track_dirty, 0);
    disk_unmount(0);
    EXPECT_EQ(read_file("disk6a.dsk"), std::vector<uint8_t>(143360, 0x00));
}
