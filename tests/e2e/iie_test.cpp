// //e with 128K: DOS 3.3 boots, PR#3 turns on the 80-column firmware, and
// Shift gives lower-case letters as the key table says.
#include "e2e/e2e_fixture.h"

TEST_F(E2E, IIeEightyColumnsAndLowerCase)
{
    E2E_NEEDS("roms/apple2e.rom", "apple2e.rom");
    E2E_NEEDS("roms/disk.rom", "disk.rom");
    E2E_NEEDS("disks/dos33-master.dsk", "disk6a.dsk");

    ASSERT_TRUE(start({"-E"})) << "no window";
    EXPECT_TRUE(wait_for_status(app, "Warning: //e support is experimental  (128K MODE)", 5000,
                                shot("warning")));
    ASSERT_TRUE(wait_for_text(app, "1980,1982", 180000, shot("boot")));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("boot")));

    // PR#3 starts the //e's own 80-column firmware at $C300, as on the
    // machine.
    ASSERT_TRUE(x_command(app, "pr#3"));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("pr3"), true));
    ASSERT_TRUE(x_command(app, "home", "]", true));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("home"), true));

    // Plain letters arrive as upper case, Shift+letter as lower case, which
    // the 80-column line input keeps.
    x_type(app, "print \"");
    for (const char* letter : {"a", "b", "c"}) x_key_with(app, "Shift_L", letter);
    x_type(app, "xyz\"");
    x_key(app, "Return");
    EXPECT_TRUE(wait_for_text(app, "PRINT \"abcXYZ\"", 10000, shot("typed"), true));
    EXPECT_TRUE(wait_for_text(app, "\nabcXYZ", 10000, shot("printed"), true));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("printed"), true));

    // A line wider than 40 columns stays on one row.
    ASSERT_TRUE(x_command(
        app, "print \"0123456789\";\"0123456789\";\"0123456789\";\"0123456789\";\"0123456789\"",
        "]", true));
    EXPECT_TRUE(wait_for_text(app, "\n01234567890123456789012345678901234567890123456789",
                              10000, shot("wide"), true));
    x_key(app, "End");
    EXPECT_EQ(app_wait(app, 10000), 0);
}
