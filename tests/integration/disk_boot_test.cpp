// Disks as real software drives them: ProDOS 2.4.3 from a floppy (it steps
// the head from the phase opposite it), DOS 3.3 from a 2MG image with a
// comment block, DOS 3.3 in Hybrid mode (the boot ROM relies on the
// monitor's WAIT), and a catalog change that reaches the image file as soon
// as the command is done.
#include <cstring>

#include "integration_support.h"

namespace {

// Mounts an image in drive 1 after start-up, before the first instruction.
bool mount_drive1(const std::string& name)
{
    DiskDrive& d = machine.disk.drive[0];
    if (d.fd >= 0) disk_unmount(0);
    d.name.fill('\0');
    std::memcpy(d.name.data(), name.data(), std::min<size_t>(name.size(), d.name.size() - 1));
    d.kind = DISK_UNKNOWN;
    disk_mount(0);
    return d.fd >= 0;
}

// File type byte of a file in the DOS 3.3 catalog of an image file (DOS
// order), read from the host file; -1 when the name is not there.
int dos_file_type(const std::string& image, const std::string& name)
{
    const std::vector<uint8_t> bytes = read_file(image);
    auto sector = [&bytes](int t, int s) { return bytes.data() + t * 4096 + s * 256; };
    if (bytes.size() < 143360) return -1;
    const uint8_t* vtoc = sector(17, 0);
    int t = vtoc[1], s = vtoc[2];
    for (int guard = 0; t != 0 && t < 35 && s < 16 && guard < 16; ++guard) {
        const uint8_t* cat = sector(t, s);
        for (int i = 0; i < 7; ++i) {
            const uint8_t* e = cat + 0x0B + 35 * i;
            if (e[0] == 0 || e[0] == 0xFF) continue;
            std::string n;
            for (int k = 0; k < 30; ++k) n += static_cast<char>(e[3 + k] & 0x7F);
            n.erase(n.find_last_not_of(' ') + 1);
            if (n == name) return e[2];
        }
        t = cat[1];
        s = cat[2];
    }
    return -1;
}

struct DiskBoot : ::testing::Test {
    TempWorkDir wd;
    void SetUp() override { test_reset_machine(); }
    void TearDown() override { disk_flush_all(); }
};

// Bitsy Bye, the selector that ProDOS 2.4.3 starts, lists the boot volume;
// Return on its first entry runs BASIC.SYSTEM with the read-me viewer, which
// reads its text from the disk.
void boot_prodos_243(const std::vector<std::string>& args)
{
    test_startup(args);
    ASSERT_TRUE(mount_drive1("prodos.po"));
    ASSERT_EQ(machine.disk.drive[0].kind, DISK_PRODOS);
    // The listing ends with README, then the key line.
    ASSERT_TRUE(run_until_screen_contains("T README", 60'000'000)) << screen_dump();
    ASSERT_TRUE(run_until_screen_contains("RETURN:SELECT", 10'000'000)) << screen_dump();
    EXPECT_NE(screen_text().find("S6,D1:/PRODOS.2.4.3"), std::string::npos) << screen_dump();
    EXPECT_NE(screen_text().find("BASIC.SYSTEM"), std::string::npos) << screen_dump();
    ASSERT_NE(screen_row(2).find("VIEW.README"), std::string::npos) << screen_dump();
    run_cycles(2'000'000);
    ASSERT_TRUE(type_text("\r"));
    EXPECT_TRUE(run_until_screen_contains("Changes from ProDOS 2.4.2", 100'000'000)) << screen_dump();
}

} // namespace

// The 128K //e, in 80 columns and with /RAM, is in iie_test.cpp. The 64K
// //e folds every auxiliary choice onto main memory, so ProDOS finds an
// auxiliary 64K there that is not, and its /RAM set-up overwrites itself.
TEST_F(DiskBoot, Prodos243BootsFromFloppyOnTheIIPlus)
{
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/prodos-2.4.3.po", "prodos.po"});
    boot_prodos_243({});
}

// A 2MG image with a comment block after its data, built from the System
// Master: recognised by its signature under the default drive name, and
// booted.
TEST_F(DiskBoot, TwoImgWithACommentBlockBootsDos33)
{
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "master.dsk"});
    const std::vector<uint8_t> data = read_file("master.dsk");
    ASSERT_EQ(data.size(), 143360u);
    const std::string comment = "System Master, with a comment as image tools write one.";
    std::vector<uint8_t> image(64, 0);
    auto put32 = [&image](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    std::memcpy(image.data(), "2IMGKALV", 8);
    image[8] = 64;
    image[10] = 1;
    put32(12, 0); // DOS order
    put32(24, 64);
    put32(28, 143360);
    put32(32, 64 + 143360);
    put32(36, static_cast<uint32_t>(comment.size()));
    image.resize(64 + data.size() + comment.size());
    std::copy(data.begin(), data.end(), image.begin() + 64);
    std::copy(comment.begin(), comment.end(), image.begin() + 64 + 143360);
    ASSERT_EQ(image.size(), 143360u + 64 + comment.size());
    write_file("disk6a.dsk", image);

    test_startup({});
    ASSERT_EQ(machine.disk.drive[0].kind, DISK_2MG);
    ASSERT_TRUE(run_until_bare_prompt(']', 300'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("CATALOG\n")) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains("COPY.OBJ0", 20'000'000)) << screen_dump();
    disk_flush_all();
    EXPECT_EQ(read_file("disk6a.dsk"), image);
}

// The Disk II boot ROM calls the monitor's WAIT between steps and counts on
// A = 0 after it; in Hybrid mode WAIT is a host service. The System Master's
// HELLO then clears the screen with the monitor's own CLREOP, which writes
// through the row address that VTABZ, another host service, leaves in
// BASL/BASH.
TEST_F(DiskBoot, Dos33BootsInHybridMode)
{
    BRING_OR_SKIP({"roms/msbasic.rom", "msbasic.rom"}, {"roms/monitor.rom", "monitor.rom"},
                  {"roms/disk.rom", "disk.rom"}, {"disks/dos33-master.dsk", "disk6a.dsk"});
    test_startup({"-H"});
    ASSERT_TRUE(run_until_bare_prompt(']', 200'000'000)) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains("SYSTEM MASTER", 1'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("CATALOG\n")) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains("DISK VOLUME 254", 20'000'000)) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains(" HELLO", 20'000'000)) << screen_dump();
}

// A change confined to the catalog track never moves the head, yet it is in
// the image file as soon as DOS switches the motor off: with the prompt
// back and the disk still running on, without any unmount.
TEST_F(DiskBoot, LockIsInTheImageFileWhenTheCommandEnds)
{
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/blank.dsk", "disk6a.dsk"});
    ASSERT_EQ(dos_file_type("disk6a.dsk", "HELLO"), 0x02);
    test_startup({});
    ASSERT_TRUE(run_until_bare_prompt(']', 300'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("LOCK HELLO\n")) << screen_dump();
    auto run_until = [](const auto& done) {
        for (uint64_t spent = 0; spent < 20'000'000; spent += 10'000) {
            if (done()) return true;
            run_cycles(10'000);
        }
        return false;
    };
    ASSERT_TRUE(run_until([] { return machine.disk.drive[0].motor != 0; }));
    // Until the motor is switched off and the prompt is back.
    ASSERT_TRUE(run_until([] {
        const int cv = machine.mem.ram[0x25];
        return !machine.disk.drive[0].motor && cv < 24 && screen_row(cv).find_first_not_of(' ', 2) == std::string::npos &&
               screen_row(cv)[0] == ']';
    })) << screen_dump();
    EXPECT_TRUE(disk_motor_spinning()); // the run-on
    EXPECT_EQ(dos_file_type("disk6a.dsk", "HELLO"), 0x82);
}
