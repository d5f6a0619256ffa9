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

std::string dump()
{
    char pc[32];
    std::snprintf(pc, sizeof pc, "pc=$%04X", machine.cpu.reg.pc);
    return std::string("\n") + pc + " screen:\n" + screen_text();
}

// Runs until the cursor row holds the bare prompt character and the disk
// drives have stopped, and stay so for two million cycles: the machine is
// waiting for a line (DOS shows a prompt briefly before it runs HELLO).
bool run_until_prompt(char prompt, uint64_t budget)
{
    // Column 1 holds the cursor, whose look differs between the machines.
    auto bare = [prompt](const std::string& row) {
        return row[0] == prompt && row.find_first_not_of(' ', 2) == std::string::npos;
    };
    int steady = 0;
    for (uint64_t spent = 0; spent <= budget; spent += 100000) {
        const int cv = machine.mem.ram[0x25];
        const bool quiet = !machine.disk.drive[0].motor && !machine.disk.drive[1].motor;
        steady = (quiet && cv < 24 && bare(screen_row(cv))) ? steady + 1 : 0;
        if (steady == 20) return true;
        run_cycles(100000);
    }
    return false;
}

} // namespace

// In Full and Hybrid modes the key wait is a host service that holds the
// processor, so these run the machine on its own thread.
TEST(Software, FullModeRunsApplesoftOnZelmServices)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/msbasic.rom", "msbasic.rom"});
    test_startup({"-F"});
    EXPECT_NE(screen_row(0).find("BASIC 2.0"), std::string::npos) << dump();
    machine_thread_start();
    EXPECT_TRUE(machine_thread_wait_screen("\n]", 10000)) << dump();
    EXPECT_TRUE(machine_thread_type("PRINT 6*7\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n42 ", 10000)) << dump();
    EXPECT_TRUE(machine_thread_type("CALL -151\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n-", 10000)) << dump();
    EXPECT_TRUE(machine_thread_type("L300\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n0300:  ", 10000)) << dump();
    machine_thread_stop();
}

TEST(Software, HybridModeRunsApplesoftWithTheMonitorRom)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/msbasic.rom", "msbasic.rom"}, {"roms/monitor.rom", "monitor.rom"});
    test_startup({"-H"});
    machine_thread_start();
    EXPECT_TRUE(machine_thread_wait_screen("\n]", 10000)) << dump();
    EXPECT_TRUE(machine_thread_type("PRINT 6*7\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n42 ", 10000)) << dump();
    EXPECT_TRUE(machine_thread_type("CALL -151\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n*", 10000)) << dump();
    EXPECT_TRUE(machine_thread_type("300L\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n0300", 10000)) << dump();
    machine_thread_stop();
}

TEST(Software, IIPlusBootsDos33AndSavesAndLoadsAProgram)
{
    TempWorkDir wd;
    test_reset_machine();
    BRING_OR_SKIP({"roms/apple2.rom", "apple2.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "disk6a.dsk"}, {"disks/blank.dsk", "disk6b.dsk"});
    test_startup({});
    ASSERT_TRUE(run_until_prompt(']', 300'000'000)) << dump();
    ASSERT_TRUE(type_text("CATALOG\n")) << dump();
    EXPECT_TRUE(run_until_screen_contains("HELLO", 20'000'000)) << dump();
    ASSERT_TRUE(type_text("NEW\n10 PRINT \"KALVORAN\"\nSAVE KTEST,D2\n")) << dump();
    run_cycles(30'000'000);
    ASSERT_TRUE(type_text("CATALOG,D2\n")) << dump();
    EXPECT_TRUE(run_until_screen_contains("KTEST", 30'000'000)) << dump();
    disk_flush_all();

    // A fresh machine boots the same master and finds the program on drive 2.
    test_reset_machine();
    test_startup({});
    ASSERT_TRUE(run_until_prompt(']', 300'000'000)) << dump();
    ASSERT_TRUE(type_text("LOAD KTEST,D2\nLIST\n")) << dump();
    EXPECT_TRUE(run_until_screen_contains("10  PRINT \"KALVORAN\"", 30'000'000)) << dump();
    ASSERT_TRUE(type_text("RUN\n")) << dump();
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
    ASSERT_TRUE(run_until_prompt(']', 300'000'000)) << dump();
    ASSERT_TRUE(type_text("CATALOG\n")) << dump();
    EXPECT_TRUE(run_until_screen_contains("HELLO", 20'000'000)) << dump();
    disk_flush_all();
}
