// The whole machine in-process on real software: Applesoft on the ZELM
// services, the ][+ and //e booting DOS 3.3, saving and loading a program.
#include "support/test_support.h"

#include "storage/disk.h"

namespace {

// Copies the named shared files into the working directory.
bool bring(std::initializer_list<std::pair<const char*, const char*>> files)
{
    for (auto [rel, as] : files) {
        if (!have_testdata(rel)) return false;
        copy_file(testdata(rel), as);
    }
    return true;
}

#define BRING_OR_SKIP(...)                                                     \
    do {                                                                       \
        if (!bring({__VA_ARGS__})) GTEST_SKIP() << "shared test data absent"; \
    } while (0)

std::string dump() { return "\nscreen:\n" + screen_text(); }

} // namespace

TEST(Software, FullModeRunsApplesoftOnZelmServices)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/msbasic.rom", "msbasic.rom"});
    test_startup({"-F"});
    EXPECT_NE(screen_row(0).find("BASIC 2.0"), std::string::npos) << dump();
    ASSERT_TRUE(run_until_screen_contains("]", 20'000'000)) << dump();
    ASSERT_TRUE(type_text("PRINT 6*7\n"));
    EXPECT_TRUE(run_until_screen_contains("42", 20'000'000)) << dump();
    ASSERT_TRUE(type_text("CALL -151\n"));
    run_cycles(2'000'000);
    ASSERT_TRUE(type_text("L300\n"));
    EXPECT_TRUE(run_until_screen_contains("0300:", 10'000'000)) << dump();
}

TEST(Software, HybridModeRunsApplesoftWithTheMonitorRom)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/msbasic.rom", "msbasic.rom"}, {"roms/monitor.rom", "monitor.rom"});
    test_startup({"-H"});
    ASSERT_TRUE(run_until_screen_contains("]", 20'000'000)) << dump();
    ASSERT_TRUE(type_text("PRINT 6*7\n"));
    EXPECT_TRUE(run_until_screen_contains("42", 20'000'000)) << dump();
    ASSERT_TRUE(type_text("CALL -151\n"));
    EXPECT_TRUE(run_until_screen_contains("*", 10'000'000)) << dump();
    ASSERT_TRUE(type_text("300L\n"));
    EXPECT_TRUE(run_until_screen_contains("0300", 10'000'000)) << dump();
}

TEST(Software, IIPlusBootsDos33AndSavesAndLoadsAProgram)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "disk6a.dsk"}, {"disks/blank.dsk", "disk6b.dsk"});
    test_startup({});
    ASSERT_TRUE(run_until_screen_contains("]", 60'000'000)) << dump();
    ASSERT_TRUE(type_text("CATALOG\n"));
    EXPECT_TRUE(run_until_screen_contains("HELLO", 20'000'000)) << dump();
    ASSERT_TRUE(type_text("NEW\n10 PRINT \"KALVORAN\"\nSAVE KTEST,D2\n"));
    run_cycles(30'000'000);
    ASSERT_TRUE(type_text("CATALOG,D2\n"));
    EXPECT_TRUE(run_until_screen_contains("KTEST", 30'000'000)) << dump();
    disk_flush_all();

    // A fresh machine boots the same master and finds the program on drive 2.
    test_reset_machine();
    test_startup({});
    ASSERT_TRUE(run_until_screen_contains("]", 60'000'000)) << dump();
    ASSERT_TRUE(type_text("LOAD KTEST,D2\nLIST\n"));
    EXPECT_TRUE(run_until_screen_contains("10  PRINT \"KALVORAN\"", 30'000'000)) << dump();
    ASSERT_TRUE(type_text("RUN\n"));
    EXPECT_TRUE(run_until_screen_contains("\nKALVORAN", 10'000'000)) << dump();
    disk_flush_all();
}

TEST(Software, IIeBootsDos33)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "disk6a.dsk"});
    test_startup({"-E"});
    ASSERT_TRUE(run_until_screen_contains("]", 60'000'000)) << dump();
    ASSERT_TRUE(type_text("CATALOG\n"));
    EXPECT_TRUE(run_until_screen_contains("HELLO", 20'000'000)) << dump();
    disk_flush_all();
}
