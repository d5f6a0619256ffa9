// ][+ with the Disk II card: DOS 3.3 boots from drive 1, F1 swaps in another
// image, SAVE writes a program to it, and a second run reads it back. The
// settings file written at exit holds the three settings lines.
#include "e2e/e2e_fixture.h"

TEST_F(E2E, IIPlusDosSaveAndLoadAcrossRuns)
{
    E2E_NEEDS("roms/apple2.rom", "apple2.rom");
    E2E_NEEDS("roms/disk.rom", "disk.rom");
    E2E_NEEDS("disks/dos33-master.dsk", "disk6a.dsk");
    E2E_NEEDS("disks/blank.dsk", "work.dsk");
    const auto blank = read_file(dir + "/work.dsk");

    ASSERT_TRUE(start({})) << "no window";
    // The master's greeting program ends with its copyright line.
    ASSERT_TRUE(wait_for_text(app, "1980,1982", 180000, shot("boot")));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("boot")));
    ASSERT_TRUE(x_command(app, "catalog"));
    ASSERT_TRUE(wait_for_text(app, "HELLO", 20000, shot("catalog")));
    x_key(app, "space"); // the catalog pauses when the screen is full
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("catalog")));

    // Drive 1 now gets the blank copy; DOS stays resident in memory.
    x_key(app, "F1");
    ASSERT_TRUE(wait_for_status(app, "Disk for S6,D1:", 5000, shot("mount-prompt")));
    x_line(app, "work.dsk");
    EXPECT_TRUE(wait_for_status(app, "Disk type: DSK (DO)", 5000, shot("mounted")));

    for (const char* line : {"home", "10 print \"hello e2e\"", "save e2e"}) {
        ASSERT_TRUE(x_command(app, line)) << line;
        ASSERT_TRUE(wait_for_prompt(app, "]", 20000, shot("command"))) << line;
    }
    ASSERT_TRUE(x_command(app, "catalog"));
    ASSERT_TRUE(wait_for_text(app, "A 002 E2E", 20000, shot("saved")));
    x_key(app, "End");
    ASSERT_EQ(app_wait(app, 10000), 0);

    EXPECT_NE(read_file(dir + "/work.dsk"), blank) << "the SAVE never reached the image file";
    const auto rc = read_file(dir + "/kalvoran.rc");
    EXPECT_EQ(std::string(rc.begin(), rc.end()),
              "set scanlines off\nset multiplier 1\nset volume 50\nset speed real\n");

    // Second run: the master boots again, the saved disk sits in drive 2.
    std::filesystem::rename(dir + "/work.dsk", dir + "/disk6b.dsk");
    ASSERT_TRUE(start({})) << "no window on the second run";
    ASSERT_TRUE(wait_for_text(app, "1980,1982", 180000, shot("boot2")));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("boot2")));
    for (const char* line : {"home", "load e2e,d2"}) {
        ASSERT_TRUE(x_command(app, line)) << line;
        ASSERT_TRUE(wait_for_prompt(app, "]", 20000, shot("command2"))) << line;
    }
    ASSERT_TRUE(x_command(app, "list"));
    EXPECT_TRUE(wait_for_text(app, "10  PRINT \"HELLO E2E\"", 20000, shot("listed")));
    ASSERT_TRUE(x_command(app, "run"));
    EXPECT_TRUE(wait_for_text(app, "\nHELLO E2E", 10000, shot("ran")));
    x_key(app, "End");
    EXPECT_EQ(app_wait(app, 10000), 0);
}
