// ProDOS on the ][+ from the slot-5 block device with our own card ROM: the
// autostart scan boots it when slot 6 holds no disk, both units are
// volumes, a saved program survives a restart, and an empty unit 0 does
// not stop the machine from reaching BASIC.
#include <array>

#include "integration_support.h"

namespace {

// The volume name in the header of a ProDOS volume directory (block 2).
std::string volume_name(const std::string& image)
{
    const std::vector<uint8_t> bytes = read_file(image);
    if (bytes.size() < 3 * 512) return {};
    const uint8_t* header = &bytes[2 * 512 + 4];
    if ((header[0] >> 4) != 0xF) return {};
    return std::string(reinterpret_cast<const char*>(header + 1), header[0] & 0x0F);
}

// The name of the first file entry of the volume directory.
std::string first_file_name(const std::string& image)
{
    const std::vector<uint8_t> bytes = read_file(image);
    if (bytes.size() < 3 * 512) return {};
    const uint8_t* entry = &bytes[2 * 512 + 4 + 39];
    return std::string(reinterpret_cast<const char*>(entry + 1), entry[0] & 0x0F);
}

struct ProdosBoot : ::testing::Test {
    TempWorkDir wd;
    UseBuiltFirmware firmware;
    void SetUp() override { test_reset_machine(); }
    void TearDown() override { close_storage(); }

    // Boots the ][+ on the ROMs alone, and waits until the EXAMPLES
    // volume's start-up program has shown the slots and left BASIC waiting.
    bool boot_examples()
    {
        test_startup({});
        return run_until_screen_contains("SLOT 7: EMPTY", 100'000'000) &&
               run_until_bare_prompt(']', 50'000'000);
    }
    // Types a line and waits for BASIC to ask for the next one.
    bool command(const std::string& line)
    {
        return type_text(line + "\n") && run_until_bare_prompt(']', 50'000'000);
    }
};

} // namespace

TEST_F(ProdosBoot, IIPlusBootsFromSlot5AndKeepsASavedProgram)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"hdv/prodos-800k.po", "hdv1.hdv"});
    ASSERT_FALSE(file_exists("disk6a.dsk"));
    ASSERT_TRUE(boot_examples()) << screen_dump();
    EXPECT_NE(screen_text().find("STARTUP DISK: /EXAMPLES/"), std::string::npos) << screen_dump();
    EXPECT_NE(screen_text().find("SLOT 5: USED"), std::string::npos) << screen_dump();

    ASSERT_TRUE(command("CAT")) << screen_dump();
    EXPECT_NE(screen_text().find("/EXAMPLES"), std::string::npos) << screen_dump();
    EXPECT_NE(screen_text().find("BASIC.SYSTEM    SYS"), std::string::npos) << screen_dump();
    EXPECT_EQ(screen_text().find("TESTPROG"), std::string::npos) << screen_dump();
    ASSERT_TRUE(command("NEW")) << screen_dump();
    ASSERT_TRUE(command("10 PRINT \"HI\"")) << screen_dump();
    ASSERT_TRUE(command("SAVE TESTPROG")) << screen_dump();
    ASSERT_TRUE(command("CAT")) << screen_dump();
    EXPECT_NE(screen_text().find("TESTPROG        BAS"), std::string::npos) << screen_dump();

    // As at quitting: the unit files are closed, then a new start-up.
    close_storage();
    test_reset_machine();
    ASSERT_TRUE(boot_examples()) << screen_dump();
    ASSERT_TRUE(command("CAT")) << screen_dump();
    EXPECT_NE(screen_text().find("TESTPROG        BAS"), std::string::npos) << screen_dump();
    ASSERT_TRUE(command("LOAD TESTPROG")) << screen_dump();
    ASSERT_TRUE(command("LIST")) << screen_dump();
    EXPECT_NE(screen_text().find("10  PRINT \"HI\""), std::string::npos) << screen_dump();
    ASSERT_TRUE(command("RUN")) << screen_dump();
    EXPECT_NE(screen_text().find("\nHI "), std::string::npos) << screen_dump();
}

TEST_F(ProdosBoot, SecondUnitIsDrive2OfSlot5)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"hdv/prodos-800k.po", "hdv1.hdv"}, {"disks/prodos-2.4.3.po", "hdv2.hdv"});
    const std::string name = volume_name("hdv2.hdv");
    const std::string file = first_file_name("hdv2.hdv");
    ASSERT_FALSE(name.empty());
    ASSERT_FALSE(file.empty());
    ASSERT_TRUE(boot_examples()) << screen_dump();
    ASSERT_TRUE(command("CAT /" + name)) << screen_dump();
    // The listing is longer than the screen: its header has scrolled away.
    EXPECT_NE(screen_text().find(" " + file + " "), std::string::npos) << screen_dump();
    EXPECT_NE(screen_text().find("BLOCKS FREE:"), std::string::npos) << screen_dump();
    // The unit behind drive 2 was read, not a copy of drive 1.
    EXPECT_EQ(screen_text().find("HELPSCREENS"), std::string::npos) << screen_dump();
    ASSERT_TRUE(command("PREFIX /" + name)) << screen_dump();
    ASSERT_TRUE(command("PREFIX")) << screen_dump();
    EXPECT_NE(screen_text().find("\n/" + name + "/"), std::string::npos) << screen_dump();
}

// A later ProDOS, whose device search differs from 1.1.1's, boots from the
// card too and finds the second unit (its selector shows slot and drive).
TEST_F(ProdosBoot, Prodos243BootsAndFindsBothUnits)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/prodos-2.4.3.po", "hdv1.hdv"}, {"hdv/prodos-800k.po", "hdv2.hdv"});
    test_startup({});
    ASSERT_TRUE(run_until_screen_contains("S5,D1:/" + volume_name("hdv1.hdv"), 100'000'000))
        << screen_dump();
    run_cycles(2'000'000);
    ASSERT_TRUE(type_text("\t"));
    EXPECT_TRUE(run_until_screen_contains("S5,D2:/EXAMPLES", 20'000'000)) << screen_dump();
}

// The //e scans the slots the same way and boots the card too.
TEST_F(ProdosBoot, IIeBootsFromSlot5)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"hdv/prodos-800k.po", "hdv1.hdv"});
    test_startup({"-E"});
    ASSERT_TRUE(run_until_screen_contains("STARTUP DISK: /EXAMPLES/", 100'000'000)) << screen_dump();
    ASSERT_TRUE(run_until_bare_prompt(']', 100'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("CAT\n"));
    EXPECT_TRUE(run_until_screen_contains("BLOCKS FREE:", 20'000'000)) << screen_dump();
    EXPECT_NE(screen_text().find("BASIC.SYSTEM    SYS"), std::string::npos) << screen_dump();
}

// Nothing bootable in unit 0: the card's boot code gives up and the machine
// goes on to BASIC, as the scan does when no slot answers.
struct EmptyUnit : ProdosBoot, ::testing::WithParamInterface<int> {};

TEST_P(EmptyUnit, BootFallsThroughToBasic)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"});
    const int kind = GetParam();
    if (kind == 1) write_file("hdv1.hdv", {});                       // blank file
    if (kind == 2) write_file("hdv1.hdv", std::vector<uint8_t>(8 * 512, 0)); // all zeros
    test_startup({});
    ASSERT_TRUE(run_until_bare_prompt(']', 50'000'000)) << screen_dump();
    // The card was asked for block 0, so its boot code ran and gave up.
    const uint8_t want_status[] = {0x28, 0x27, 0x00};
    EXPECT_EQ(machine.ms.status, want_status[kind]);
    EXPECT_EQ(machine.ms.units[0].cached, kind == 2 ? 1 : 0);
    ASSERT_TRUE(type_text("PRINT 6*7\n"));
    EXPECT_TRUE(run_until_screen_contains("\n42", 10'000'000)) << screen_dump();
}

std::string empty_unit_name(const ::testing::TestParamInfo<int>& info)
{
    static constexpr std::array<const char*, 3> names{"NoFile", "BlankFile", "ZeroBlocks"};
    return names[static_cast<size_t>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(ProdosBoot, EmptyUnit, ::testing::Values(0, 1, 2), empty_unit_name);
