// The whole machine in-process on real software: Applesoft on the ZELM
// services, the ][+ and //e booting DOS 3.3, saving and loading a program.
#include "integration_support.h"

// In Full and Hybrid modes the key wait is a host service that holds the
// processor, so these run the machine on its own thread.
TEST(Software, FullModeRunsApplesoftOnZelmServices)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/msbasic.rom", "msbasic.rom"});
    test_startup({"-F"});
    EXPECT_NE(screen_row(0).find("BASIC 2.0"), std::string::npos) << screen_dump();
    machine_thread_start();
    EXPECT_TRUE(machine_thread_wait_screen("\n]", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_type("PRINT 6*7\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n42 ", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_type("CALL -151\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n-", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_type("L300\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n0300:  ", 10000)) << screen_dump();
    machine_thread_stop();
}

TEST(Software, HybridModeRunsApplesoftWithTheMonitorRom)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/msbasic.rom", "msbasic.rom"}, {"roms/monitor.rom", "monitor.rom"});
    test_startup({"-H"});
    machine_thread_start();
    EXPECT_TRUE(machine_thread_wait_screen("\n]", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_type("PRINT 6*7\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n42 ", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_type("CALL -151\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n*", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_type("300L\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n0300", 10000)) << screen_dump();
    machine_thread_stop();
}

TEST(Software, IIPlusBootsDos33AndSavesAndLoadsAProgram)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "disk6a.dsk"}, {"disks/blank.dsk", "disk6b.dsk"});
    test_startup({});
    ASSERT_TRUE(run_until_bare_prompt(']', 300'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("CATALOG\n")) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains("HELLO", 20'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("NEW\n10 PRINT \"KALVORAN\"\nSAVE KTEST,D2\n")) << screen_dump();
    run_cycles(30'000'000);
    ASSERT_TRUE(type_text("CATALOG,D2\n")) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains("KTEST", 30'000'000)) << screen_dump();
    disk_flush_all();

    // A fresh machine boots the same master and finds the program on drive 2.
    test_reset_machine();
    test_startup({});
    ASSERT_TRUE(run_until_bare_prompt(']', 300'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("LOAD KTEST,D2\nLIST\n")) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains("10  PRINT \"KALVORAN\"", 30'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("RUN\n")) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains("\nKALVORAN", 10'000'000)) << screen_dump();
    disk_flush_all();
}

TEST(Software, IIeBootsDos33)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "disk6a.dsk"});
    test_startup({"-E"});
    ASSERT_TRUE(run_until_bare_prompt(']', 300'000'000)) << screen_dump();
    ASSERT_TRUE(type_text("CATALOG\n")) << screen_dump();
    EXPECT_TRUE(run_until_screen_contains("HELLO", 20'000'000)) << screen_dump();
    disk_flush_all();
}
