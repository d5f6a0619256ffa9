// Full mode on our free stand-in for the BASIC ROM, with no Apple ROM in
// the working directory: the notice, then a working ZELM monitor.
#include "integration_support.h"
#include "memory/memory.h"

TEST(FreeRom, FullModeShowsTheNoticeAndEntersTheMonitor)
{
    ASSERT_FIRMWARE_BUILT();
    TempWorkDir wd; // empty: the ROMs come from the data folder
    UseBuiltFirmware firmware;
    test_reset_machine();
    test_startup({"-F"});
    // A program for the monitor to list and run: LDA #$C1, STA $0400, RTS.
    const uint8_t program[] = {0xA9, 0xC1, 0x8D, 0x00, 0x04, 0x60};
    for (uint16_t i = 0; i < sizeof program; ++i) write_byte(static_cast<uint16_t>(0x300 + i), program[i]);
    machine_thread_start();
    EXPECT_TRUE(machine_thread_wait_screen("KALVORAN: APPLE ][+ AND //E EMULATOR", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_wait_screen("NONE IS IN THE ", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_wait_screen("\nWORKING DIRECTORY:", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_wait_screen("\n  APPLE2.ROM ", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_wait_screen("\n-", 10000)) << screen_dump();
    // The monitor lists and runs code, and comes back after a bare G too.
    EXPECT_TRUE(machine_thread_type("L300\n"));
    EXPECT_TRUE(machine_thread_wait_screen("0300:  A9C1", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_type("G300\n"));
    // The program's "A" lands at the top left, above the scrolled listing.
    EXPECT_TRUE(machine_thread_wait_screen("A" + std::string(39, ' ') + "\n0300:", 10000)) << screen_dump();
    EXPECT_TRUE(machine_thread_type("G\nL300\n"));
    EXPECT_TRUE(machine_thread_wait_screen("\n-L300", 10000)) << screen_dump();
    machine_thread_stop();
}
